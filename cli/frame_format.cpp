#include "cli/frame_format.h"

#include <time.h>

#include <charconv>
#include <cstdlib>
#include <string_view>

namespace cli {

namespace {

// The field names of words 0 ... 13 with their punctuation; rgbMinMax and extra follow as
// arrays. Written with std::to_chars: the line is made for every frame of a loop that runs
// as fast as the sensor answers.
constexpr std::string_view kKeys[] = {
    "{\"red\":",         ",\"green\":",  ",\"blue\":",     ",\"x\":",       ",\"y\":",
    ",\"int\":",         ",\"deltaC\":", ",\"colorNo\":",  ",\"groupNo\":", ",\"trigger\":",
    ",\"temperature\":", ",\"rawRed\":", ",\"rawGreen\":", ",\"rawBlue\":"};
constexpr std::size_t kDeltaC = 6;
constexpr std::size_t kMinMax = 14;  // six words
constexpr std::size_t kExtra = 20;   // three words

void Number(std::string& out, long value) {
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    out.append(text, result.ptr);
}

// At least `width` digits, zeros in front.
void Padded(std::string& out, int value, int width) {
    char text[16];
    const auto result = std::to_chars(text, text + sizeof text, value);
    for (int n = static_cast<int>(result.ptr - text); n < width; ++n) out += '0';
    out.append(text, result.ptr);
}

void Array(std::string& out, FrameWords words, std::size_t first, std::size_t count) {
    out += '[';
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) out += ',';
        Number(out, words[first + i]);
    }
    out += ']';
}

}  // namespace

Stamp LocalStamp() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    // The local time of a second is worked out once: frames come many to a second.
    thread_local time_t cachedSecond = -1;
    thread_local tm local{};
    if (now.tv_sec != cachedSecond) {
        localtime_r(&now.tv_sec, &local);
        cachedSecond = now.tv_sec;
    }
    Stamp s;
    s.local = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
               local.tm_hour,        local.tm_min,     local.tm_sec};
    s.millisecond = static_cast<int>(now.tv_nsec / 1000000);
    s.utcOffsetSeconds = static_cast<int>(local.tm_gmtoff);
    return s;
}

std::string IsoTime(const Stamp& s) {
    std::string text;
    text.reserve(32);
    AppendIsoTime(text, s);
    return text;
}

void AppendIsoTime(std::string& text, const Stamp& s) {
    const int offset = std::abs(s.utcOffsetSeconds) / 60;
    Padded(text, s.local.year, 4);
    text += '-';
    Padded(text, s.local.month, 2);
    text += '-';
    Padded(text, s.local.day, 2);
    text += 'T';
    Padded(text, s.local.hour, 2);
    text += ':';
    Padded(text, s.local.minute, 2);
    text += ':';
    Padded(text, s.local.second, 2);
    text += '.';
    Padded(text, s.millisecond, 3);
    text += s.utcOffsetSeconds < 0 ? '-' : '+';
    Padded(text, offset / 60, 2);
    text += ':';
    Padded(text, offset % 60, 2);
}

std::string JsonLine(FrameWords words, const Stamp& stamp, std::string_view id, std::uint64_t seq) {
    std::string line;
    line.reserve(400);
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        line += kKeys[i];
        Number(line, i == kDeltaC ? static_cast<std::int16_t>(words[i]) : words[i]);
    }
    line += ",\"rgbMinMax\":";
    Array(line, words, kMinMax, 6);
    line += ",\"extra\":";
    Array(line, words, kExtra, 3);
    if (!id.empty()) {
        line += ",\"id\":";
        AppendJsonString(line, id);
    }
    line += ",\"seq\":";
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, seq);
    line.append(text, result.ptr);
    line += ",\"time\":\"";
    AppendIsoTime(line, stamp);
    line += "\"}\n";
    return line;
}

void AppendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (byte < 0x20 || byte == 0x7f) {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += ch;
        }
    }
    out += '"';
}

std::string RecordLine(FrameWords words, const Stamp& stamp) {
    return recorder::DataLine(stamp.local, recorder::RecordWordsOf(words));
}

}  // namespace cli
