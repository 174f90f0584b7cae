#pragma once
// The record file and the arithmetic of the recorder, free of Qt: the record time of count
// mode, the header and data lines byte for byte, and the file itself, opened and closed for
// every line so that a line that was written is on disk, with a count of the lines that
// could not be written and why.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace recorder {

// The values of the mode selector.
enum RecordMode : int { kModeCount = 0, kModeContinuous = 1, kModeManual = 2, kModeTriggered = 3 };

inline constexpr double kMinInterval = 0.25;  // seconds

// The record time of count mode: the interval as it is used (never below 0.25 s) and the
// time all values take, split into days, hours, minutes and seconds with their fraction.
struct RecordTime {
    double interval = kMinInterval;
    std::uint16_t days = 0;
    std::uint16_t hours = 0;
    std::uint16_t minutes = 0;
    double seconds = 0.0;
};
RecordTime ComputeRecordTime(double interval, std::uint16_t valueCount);

// RED, GREEN, BLUE, X s, Y i, INT M, delta C, COLOR, GROUP, TRIGGER, TEMP as the sensor sent
// them; delta C (index 6) is written as a signed number.
inline constexpr std::size_t kRecordedWords = 11;
using RecordWords = std::array<std::uint16_t, kRecordedWords>;
inline constexpr std::size_t kDeltaCWord = 6;
// The first eleven words of a measurement frame, in the sensor's order; words it lacks are 0.
RecordWords RecordWordsOf(std::span<const std::uint16_t> measurementWords);

// A local date and time as the line shows it.
struct DateTime {
    int year = 2000, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
};
std::string DateStr(const DateTime& t);  // MM-DD-YYYY
std::string TimeStr(const DateTime& t);  // HH:MM:SS

// A line feed alone, "RECORD RESULTS OF: " and the program title, "PANEL ID: " and the
// identification text only when there is one, an empty line and the thirteen column names;
// every line but the first ends with CR LF.
std::string FileHeader(std::string_view identification);
// Date, time and the eleven words, tab-separated, ended by CR LF.
std::string DataLine(const DateTime& t, const RecordWords& words);

// The record file at one path. Each write opens the file for appending, writes and closes
// it; nothing is translated. A write that fails is counted with its reason, and the lines
// written before stay as they are.
class RecordFile {
  public:
    // A new file with the header alone: a file of that name is replaced. False when the
    // old file cannot be removed or the header cannot be written (the reason is kept).
    bool Create(const std::string& path, std::string_view identification);
    // One line appended to whatever the path names, header or not.
    bool Append(const std::string& path, std::string_view line);

    // Since the last ResetCounts: lines written and lines lost, and why the last was lost.
    int Written() const { return written_; }
    int Lost() const { return lost_; }
    const std::string& LastError() const { return lastError_; }
    void ResetCounts();

  private:
    bool Fail(const std::string& path, std::string_view what);
    int written_ = 0;
    int lost_ = 0;
    std::string lastError_;
};

// What the user reads when a recording ends: "File has been saved!" with the number of
// frames when every line reached the file; otherwise an ATTENTION! text with how many were
// lost, why, and how many were saved.
struct EndReport {
    bool success = true;
    std::string text;
};
EndReport RecordingEnd(int frames, const RecordFile& file, std::string_view path);

// Said after a recording in which `count` frames carried no measurement (an error frame, a
// short frame) and so wrote no line.
std::string UnmeasuredText(int count);

}  // namespace recorder
