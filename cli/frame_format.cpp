#include "cli/frame_format.h"

#include <time.h>

#include <cstdio>
#include <cstdlib>

namespace cli {

namespace {

// The field names of words 0 ... 13; rgbMinMax and extra follow as arrays.
constexpr const char* kNames[] = {"red",         "green",  "blue",     "x",       "y",
                                  "int",         "deltaC", "colorNo",  "groupNo", "trigger",
                                  "temperature", "rawRed", "rawGreen", "rawBlue"};
constexpr std::size_t kDeltaC = 6;
constexpr std::size_t kMinMax = 14;  // six words
constexpr std::size_t kExtra = 20;   // three words

void Number(std::string& out, long value) {
    char text[24];
    const int n = std::snprintf(text, sizeof text, "%ld", value);
    out.append(text, static_cast<std::size_t>(n));
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
    tm local{};
    localtime_r(&now.tv_sec, &local);
    Stamp s;
    s.local = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
               local.tm_hour,        local.tm_min,     local.tm_sec};
    s.millisecond = static_cast<int>(now.tv_nsec / 1000000);
    s.utcOffsetSeconds = static_cast<int>(local.tm_gmtoff);
    return s;
}

std::string IsoTime(const Stamp& s) {
    const int offset = std::abs(s.utcOffsetSeconds) / 60;
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", s.local.year,
                  s.local.month, s.local.day, s.local.hour, s.local.minute, s.local.second,
                  s.millisecond, s.utcOffsetSeconds < 0 ? '-' : '+', offset / 60, offset % 60);
    return text;
}

std::string JsonLine(FrameWords words, const Stamp& stamp) {
    std::string line;
    line.reserve(400);
    line += '{';
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        line += '"';
        line += kNames[i];
        line += "\":";
        Number(line, i == kDeltaC ? static_cast<std::int16_t>(words[i]) : words[i]);
        line += ',';
    }
    line += "\"rgbMinMax\":";
    Array(line, words, kMinMax, 6);
    line += ",\"extra\":";
    Array(line, words, kExtra, 3);
    line += ",\"time\":\"";
    line += IsoTime(stamp);
    line += "\"}\n";
    return line;
}

std::string RecordLine(FrameWords words, const Stamp& stamp) {
    return recorder::DataLine(stamp.local, recorder::RecordWordsOf(words));
}

}  // namespace cli
