// The record file byte for byte, the record time of count mode, and lines that cannot be
// written: counted, with their reason, and the lines before them kept.

#include "recorder/record_core.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace recorder;

namespace {

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A fresh directory under the temporary directory, removed with its files.
struct TempDir {
    TempDir() {
        char pattern[] = "/tmp/velorax-rec-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string File(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

const DateTime kWhen{2026, 3, 7, 9, 5, 2};

}  // namespace

TEST(RecordTime, SplitsIntoDaysHoursMinutesSecondsAndKeepsTheMinimumInterval) {
    RecordTime t = ComputeRecordTime(0.25, 1000);
    EXPECT_EQ(t.interval, 0.25);
    EXPECT_EQ(t.days, 0);
    EXPECT_EQ(t.hours, 0);
    EXPECT_EQ(t.minutes, 4);
    EXPECT_DOUBLE_EQ(t.seconds, 10.0);

    t = ComputeRecordTime(1.0, 65535);
    EXPECT_EQ(t.hours, 18);
    EXPECT_EQ(t.minutes, 12);
    EXPECT_DOUBLE_EQ(t.seconds, 15.0);

    t = ComputeRecordTime(86400.0, 3);  // three days
    EXPECT_EQ(t.days, 3);
    EXPECT_DOUBLE_EQ(t.seconds, 0.0);

    t = ComputeRecordTime(0.1, 10);  // below the minimum: 0.25 s
    EXPECT_EQ(t.interval, 0.25);
    EXPECT_DOUBLE_EQ(t.seconds, 2.5);
    t = ComputeRecordTime(1.5, 3);
    EXPECT_DOUBLE_EQ(t.seconds, 4.5);  // the fraction stays
    EXPECT_EQ(ComputeRecordTime(-3.0, 1).interval, 0.25);
    EXPECT_EQ(ComputeRecordTime(std::numeric_limits<double>::quiet_NaN(), 1).interval, 0.25);
}

TEST(RecordLines, HeaderAndDataLineByteForByte) {
    EXPECT_EQ(FileHeader(""),
              "\nRECORD RESULTS OF: VELORAX3-KVT-ANA-Scope V1.0\r\n\r\n"
              "DATE\tTIME\tRED\tGREEN\tBLUE\tX s\tY i\tINT M\tdelta C\tCOLOR\tGROUP\tTRIGGER\t"
              "TEMP\r\n");
    EXPECT_EQ(FileHeader("Line 4, station 2"),
              "\nRECORD RESULTS OF: VELORAX3-KVT-ANA-Scope V1.0\r\nPANEL ID: Line 4, station "
              "2\r\n\r\nDATE\tTIME\tRED\tGREEN\tBLUE\tX s\tY i\tINT M\tdelta C\tCOLOR\tGROUP\t"
              "TRIGGER\tTEMP\r\n");

    const RecordWords words{0xFFFF, 2, 3, 1500, 1200, 2000, 0xFFFF, 255, 7, 1, 31};
    EXPECT_EQ(DataLine(kWhen, words),
              "03-07-2026\t09:05:02\t65535\t2\t3\t1500\t1200\t2000\t-1\t255\t7\t1\t31\r\n");
    const RecordWords zero{};
    EXPECT_EQ(DataLine(DateTime{1999, 12, 31, 23, 59, 59}, zero),
              "12-31-1999\t23:59:59\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\r\n");
    EXPECT_NE(DataLine(kWhen, RecordWords{0, 0, 0, 0, 0, 0, 0x8000}).find("\t0\t-32768\t0\t"),
              std::string::npos);
}

TEST(RecordFile, ANewFileReplacesTheOldOneAndEveryLineIsOnDiskAtOnce) {
    TempDir dir;
    const std::string path = dir.File("record file ä.dat");  // blanks and a non-ASCII letter
    {
        std::ofstream old(path, std::ios::binary);
        old << "old contents";
    }
    RecordFile file;
    ASSERT_TRUE(file.Create(path, ""));
    EXPECT_EQ(Contents(path), FileHeader(""));
    const std::string line = DataLine(kWhen, RecordWords{1, 2, 3});
    ASSERT_TRUE(file.Append(path, line));
    EXPECT_EQ(Contents(path), FileHeader("") + line);  // closed after each line
    ASSERT_TRUE(file.Append(path, line));
    EXPECT_EQ(file.Written(), 3);
    EXPECT_EQ(file.Lost(), 0);

    // A line goes to whatever the path names, header or not.
    const std::string bare = dir.File("bare.dat");
    ASSERT_TRUE(file.Append(bare, line));
    EXPECT_EQ(Contents(bare), line);

    const EndReport end = RecordingEnd(2, file, path);
    EXPECT_TRUE(end.success);
    EXPECT_EQ(end.text, "File has been saved!");
}

TEST(RecordFile, LinesThatCannotBeWrittenAreCountedWithTheirReasonAndEarlierLinesStay) {
    TempDir dir;
    const std::string path = dir.File("rec.dat");
    RecordFile file;
    ASSERT_TRUE(file.Create(path, "ID"));
    const std::string line = DataLine(kWhen, RecordWords{4});
    ASSERT_TRUE(file.Append(path, line));
    file.ResetCounts();
    ASSERT_TRUE(file.Append(path, line));

    // The directory goes away in the middle of a recording.
    const std::string kept = Contents(path);
    const std::string gone = dir.File("gone/rec.dat");
    EXPECT_FALSE(file.Append(gone, line));
    EXPECT_FALSE(file.Append(gone, line));
    EXPECT_EQ(file.Written(), 1);
    EXPECT_EQ(file.Lost(), 2);
    EXPECT_NE(file.LastError().find("No such file or directory"), std::string::npos);
    EXPECT_EQ(Contents(path), kept);

    const EndReport end = RecordingEnd(3, file, gone);
    EXPECT_FALSE(end.success);
    EXPECT_EQ(end.text.find("2 of 3 recorded frames could not be written"), 0u) << end.text;
    EXPECT_NE(end.text.find("1 lines were saved"), std::string::npos);

    // A full disk shows when the file is closed.
    file.ResetCounts();
    EXPECT_FALSE(file.Append("/dev/full", line));
    EXPECT_EQ(file.Lost(), 1);
    EXPECT_NE(file.LastError().find("No space left"), std::string::npos) << file.LastError();

    // A header that cannot be written is said, too.
    EXPECT_FALSE(file.Create(dir.File("missing/new.dat"), ""));
    if (::geteuid() != 0) {  // root writes anywhere
        ::chmod(dir.path.c_str(), 0500);
        file.ResetCounts();
        EXPECT_FALSE(file.Append(dir.File("new.dat"), line));
        EXPECT_FALSE(file.Create(path, ""));  // nor can the old file be removed
        ::chmod(dir.path.c_str(), 0700);
    }
}
