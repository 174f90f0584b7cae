#pragma once
// One measurement frame as a line of velorax-cli's output, free of Qt: a line of the record
// file (recorder/record_core.h writes those) or a JSON object of named fields.
//
//   {"red":1200,"green":1100,"blue":900,"x":...,"y":...,"int":...,"deltaC":-1,
//    "colorNo":255,"groupNo":255,"trigger":0,"temperature":31,"rawRed":...,"rawGreen":...,
//    "rawBlue":...,"rgbMinMax":[6 words],"extra":[3 words],"id":"line 4","seq":17,
//    "time":"2024-05-01T12:00:00.123+02:00"}
//
// Words as the sensor sent them (unsigned 16 bits), deltaC as a signed number (-1: no taught
// colour within its tolerance), colorNo and groupNo 255: none recognised. "id" is there only
// when the sensor was given a name; "seq" counts the frames of one run from 1, so that lines
// of many sensors merged into one stream show which are missing.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "link/commands.h"
#include "recorder/record_core.h"

namespace cli {

// When a frame was taken: local date and time, milliseconds and the offset from UTC.
struct Stamp {
    recorder::DateTime local;
    int millisecond = 0;
    int utcOffsetSeconds = 0;
};
Stamp LocalStamp();  // the machine's clock

// ISO 8601 with milliseconds and the offset: 2024-05-01T12:00:00.123+02:00.
std::string IsoTime(const Stamp& stamp);
void AppendIsoTime(std::string& text, const Stamp& stamp);

using FrameWords = std::span<const std::uint16_t, sensorlink::kMeasurementWords>;

// `id` without control characters (the command line refuses them); quotes and backslashes
// are escaped.
std::string JsonLine(FrameWords words, const Stamp& stamp, std::string_view id, std::uint64_t seq);
// `text` as a JSON string, quotes around it: quotes and backslashes escaped, control
// characters as \u00XX.
void AppendJsonString(std::string& out, std::string_view text);
// The record file's data line (date, time, the eleven recorded words).
std::string RecordLine(FrameWords words, const Stamp& stamp);

}  // namespace cli
