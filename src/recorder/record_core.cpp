#include "recorder/record_core.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "params_core/program_title.h"

namespace recorder {

namespace {

// clang-format off
constexpr const char* kColumns[] = {"DATE",  "TIME",    "RED",   "GREEN",   "BLUE",
                                    "X s",   "Y i",     "INT M", "delta C", "COLOR",
                                    "GROUP", "TRIGGER", "TEMP"};
// clang-format on

std::string TwoDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

}  // namespace

RecordTime ComputeRecordTime(double interval, std::uint16_t valueCount) {
    RecordTime r;
    // Below the minimum, and anything that is no number, is the minimum.
    r.interval = interval >= kMinInterval ? interval : kMinInterval;
    double t = r.interval * valueCount;
    r.days = static_cast<std::uint16_t>(t / 86400.0);
    t -= r.days * 86400.0;
    r.hours = static_cast<std::uint16_t>(t / 3600.0);
    t -= r.hours * 3600.0;
    r.minutes = static_cast<std::uint16_t>(t / 60.0);
    t -= r.minutes * 60.0;
    r.seconds = t;
    return r;
}

RecordWords RecordWordsOf(std::span<const std::uint16_t> measurementWords) {
    RecordWords words{};
    for (std::size_t i = 0; i < words.size() && i < measurementWords.size(); ++i)
        words[i] = measurementWords[i];
    return words;
}

std::string DateStr(const DateTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d-%02d-%04d", t.month, t.day, t.year);
    return text;
}

std::string TimeStr(const DateTime& t) {
    return TwoDigits(t.hour) + ":" + TwoDigits(t.minute) + ":" + TwoDigits(t.second);
}

std::string FileHeader(std::string_view identification) {
    std::string h = "\n";
    h += "RECORD RESULTS OF: ";
    h += velorax::kProgramTitle;
    h += "\r\n";
    if (!identification.empty()) {
        h += "PANEL ID: ";
        h += identification;
        h += "\r\n";
    }
    h += "\r\n";
    for (std::size_t i = 0; i < std::size(kColumns); ++i) {
        if (i > 0) h += '\t';
        h += kColumns[i];
    }
    h += "\r\n";
    return h;
}

std::string DataLine(const DateTime& t, const RecordWords& words) {
    std::string line = DateStr(t) + "\t" + TimeStr(t) + "\t";
    for (std::size_t i = 0; i < words.size(); ++i) {
        const int value =
            i == kDeltaCWord ? static_cast<std::int16_t>(words[i]) : static_cast<int>(words[i]);
        line += std::to_string(value);
        line += i + 1 < words.size() ? "\t" : "\r\n";
    }
    return line;
}

// --- the file ---------------------------------------------------------------------------------

bool RecordFile::Fail(const std::string& path, std::string_view what) {
    ++lost_;
    lastError_ = std::string(what) + " " + path + ": " + std::strerror(errno);
    return false;
}

bool RecordFile::Create(const std::string& path, std::string_view identification) {
    errno = 0;
    if (std::remove(path.c_str()) != 0 && errno != ENOENT) return Fail(path, "cannot replace");
    return Append(path, FileHeader(identification));
}

bool RecordFile::Append(const std::string& path, std::string_view line) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "ab");  // binary: no newline translation
    if (!file) return Fail(path, "cannot open");
    const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    const int writeErrno = errno;
    // A full disk may show only when the buffer goes out.
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        if (!written) errno = writeErrno;
        return Fail(path, "cannot write");
    }
    ++written_;
    return true;
}

void RecordFile::ResetCounts() {
    written_ = 0;
    lost_ = 0;
    lastError_.clear();
}

EndReport RecordingEnd(int frames, const RecordFile& file, std::string_view path) {
    EndReport r;
    if (file.Lost() == 0) {
        r.text = "File has been saved!";  // the frame counter tells how many
        return r;
    }
    r.success = false;
    r.text = std::to_string(file.Lost()) + " of " + std::to_string(frames) +
             " recorded frames could not be written to the record file!\n" + file.LastError() +
             "\n\n" + std::to_string(file.Written()) + " lines were saved in " + std::string(path) +
             ".";
    return r;
}

std::string UnmeasuredText(int count) {
    return std::to_string(count) +
           (count == 1 ? " FRAME WITHOUT MEASURED VALUES WAS"
                       : " FRAMES WITHOUT MEASURED VALUES WERE") +
           " NOT RECORDED!";
}

}  // namespace recorder
