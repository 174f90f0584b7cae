#include "ini/ini.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using ini::IniObject;
using namespace std::literals;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteAll(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Every string read back from a written object must equal what was put.
std::optional<std::string> RoundTrip(std::string_view tag, const std::string& value) {
    IniObject object;
    object.PutString("S", tag, value);
    return IniObject::Parse(object.ToText()).GetString("S", tag);
}

class IniFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "ini_test.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code error;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(dir_, error);
    }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path dir_;
};

IniObject SmallObject() {
    IniObject object;
    object.PutString("GENERAL INFO", "FILE TYPE:", "Parameter File");
    object.PutString("GENERAL INFO", "SCOPE VERSION:", "VELORAX3-KVT-ANA-Scope V1.0");
    object.PutInt("PARAMETER", "POWER", 500);
    object.PutInt("PARAMETER", "POWER MODE", 0);
    return object;
}

constexpr char kSmallText[] =
    "[GENERAL INFO]\r\n"
    "FILE TYPE: = \"Parameter File\"\r\n"
    "SCOPE VERSION: = \"VELORAX3-KVT-ANA-Scope V1.0\"\r\n"
    "\r\n"
    "[PARAMETER]\r\n"
    "POWER = 500\r\n"
    "POWER MODE = 0\r\n"
    "\r\n";

TEST(IniWriter, SmallObjectHasExactText) {
    EXPECT_EQ(SmallObject().ToText(), kSmallText);
    EXPECT_EQ(IniObject().ToText(), "");
}

TEST(IniWriter, PutReplacesInPlaceAndKeepsFirstUseOrder) {
    IniObject object;
    object.PutInt("B", "ONE", 1);
    object.PutInt("A", "X", 9);
    object.PutInt("B", "TWO", 2);
    object.PutInt("B", "THREE", 3);
    object.PutString(" b ", "  two ", "changed");
    object.PutInt("a", "x", -7);
    EXPECT_EQ(object.ToText(),
              "[B]\r\nONE = 1\r\nTWO = \"changed\"\r\nTHREE = 3\r\n\r\n"
              "[A]\r\nX = -7\r\n\r\n");
    // The first spelling of a name is the one kept.
    EXPECT_EQ(object.Sections()[0].name, "B");
    EXPECT_EQ(object.Sections()[0].items[1].tag, "TWO");
}

TEST(IniWriter, TagsAreTrimmedCutAndKeptOnOneLine) {
    IniObject object;
    object.PutInt("S", "  POWER  ", 1);
    const std::string longTag(300, 'T');
    object.PutInt("S", longTag, 2);
    // A blank at the cut would be lost when reading, so it is trimmed off.
    const std::string blankAtCut = std::string(254, 'U') + "  tail";
    object.PutInt("S", blankAtCut, 3);
    object.PutInt("S", "LINE\r\nBREAK", 4);
    object.PutInt("S", "", 5);

    const auto& items = object.Sections()[0].items;
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].tag, "POWER");
    EXPECT_EQ(items[1].tag, std::string(255, 'T'));
    EXPECT_EQ(items[2].tag, std::string(254, 'U'));
    EXPECT_EQ(items[3].tag.find_first_of("\r\n"), std::string::npos);

    const IniObject read = IniObject::Parse(object.ToText());
    EXPECT_EQ(read.GetInt("S", "power"), 1);
    EXPECT_EQ(read.GetInt("S", longTag), 2);
    EXPECT_EQ(read.GetInt("S", std::string(255, 't')), 2);
    EXPECT_EQ(read.GetInt("S", blankAtCut), 3);
    EXPECT_EQ(read.GetInt("S", "LINE\r\nBREAK"), 4);
    EXPECT_EQ(read.Sections()[0].items.size(), 4u);
}

TEST(IniWriter, StringsAreEscapedAndComeBack) {
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    all += '\0';
    all += "end";
    EXPECT_EQ(RoundTrip("ALL", all), all);

    IniObject object;
    object.PutString("S", "T", std::string("q\"b\\t\tn\nr\r\x01\x1b\x7f\xc3\xa4", 15));
    EXPECT_EQ(Lines(object.ToText())[1], "T = \"q\\\"b\\\\t\\tn\\nr\\r\\x01\\x1b\\x7f\xc3\xa4\"");

    EXPECT_EQ(RoundTrip("EMPTY", ""), "");
    EXPECT_EQ(RoundTrip("BLANKS", "  padded  "), "  padded  ");
    EXPECT_EQ(RoundTrip("LOOKS ESCAPED", "\\x41 \\n"), "\\x41 \\n");
}

TEST(IniWriter, LongValuesAreSplitIntoPiecesAndJoined) {
    IniObject object;
    object.PutString("S", "FIT", std::string(80, 'a'));
    object.PutString("S", "OVER", std::string(81, 'b'));
    // 79 characters and an escaped quote: the escape moves whole into the second piece.
    object.PutString("S", "ESC", std::string(79, 'c') + "\"");
    const auto lines = Lines(object.ToText());
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[1], "FIT = \"" + std::string(80, 'a') + "\"");
    EXPECT_EQ(lines[2], "OVER Line0001 = \"" + std::string(80, 'b') + "\"");
    EXPECT_EQ(lines[3], "OVER Line0002 = \"b\"");
    EXPECT_EQ(lines[4], "ESC Line0001 = \"" + std::string(79, 'c') + "\"");
    EXPECT_EQ(lines[5], "ESC Line0002 = \"\\\"\"");
    const IniObject read = IniObject::Parse(object.ToText());
    EXPECT_EQ(read.GetString("S", "OVER"), std::string(81, 'b'));
    EXPECT_EQ(read.GetString("S", "ESC"), std::string(79, 'c') + "\"");
    EXPECT_FALSE(read.HasItem("S", "OVER Line0001"));

    // Escapes of every length at every position, under a tag of full length.
    std::mt19937 random(7);
    std::string mixed;
    for (int i = 0; i < 2000; ++i) mixed += "a\"\x01\\\n"[random() % 5];
    const std::string tag(255, 'L');
    IniObject big;
    big.PutString("S", tag, mixed);
    const std::string text = big.ToText();
    for (const std::string& line : Lines(text)) {
        EXPECT_LE(line.size(), 1024u);
        if (line.find(" = ") != std::string::npos) {
            EXPECT_LE(line.size() - line.find(" = ") - 3, 82u) << line;
        }
    }
    EXPECT_EQ(IniObject::Parse(text).GetString("S", tag), mixed);
}

TEST(IniWriter, ValueBeyondLastPieceNumberIsCut) {
    IniObject object;
    object.PutString("S", "HUGE", std::string(9999 * 80 + 5, 'h'));
    const IniObject read = IniObject::Parse(object.ToText());
    EXPECT_EQ(read.GetString("S", "HUGE"), std::string(9999 * 80, 'h'));
}

TEST(IniReader, FollowsLineRules) {
    const std::string text =
        "\xEF\xBB\xBF"
        "ORPHAN = 1\n"
        "  [ First ]  \r\n"
        "; COMMENT = 1\n"
        "\t A = 1\n"
        "no equals sign\n"
        " = 5\n"
        "EMPTY =   \r\n"
        "B = x = y\r\n"
        "DUP = first\n"
        "dup = second\n"
        "[Odd]Name]\n"
        "C = \"quoted\"\n"
        "[broken] junk\n"
        "LOST = 1\n"
        "[first]\n"
        "MERGED = 2\n"
        "A = 99\n"
        "[unclosed\n"
        "ALSO LOST = 1";
    const IniObject read = IniObject::Parse(text);
    ASSERT_EQ(read.Sections().size(), 2u);
    EXPECT_EQ(read.Sections()[0].name, "First");
    EXPECT_EQ(read.Sections()[1].name, "Odd]Name");
    EXPECT_FALSE(read.HasSection("broken"));
    EXPECT_FALSE(read.HasItem("first", "ORPHAN"));
    EXPECT_FALSE(read.HasItem("first", "; COMMENT"));
    EXPECT_FALSE(read.HasItem("first", "EMPTY"));
    EXPECT_FALSE(read.HasItem("first", "LOST"));
    EXPECT_FALSE(read.HasItem("first", "ALSO LOST"));
    EXPECT_EQ(read.GetInt("  FIRST ", " a "), 1);
    EXPECT_EQ(read.GetString("first", "B"), "x = y");
    EXPECT_EQ(read.GetString("first", "DUP"), "first");
    EXPECT_EQ(read.GetInt("first", "MERGED"), 2);
    EXPECT_EQ(read.GetString("ODD]NAME", "C"), "quoted");
    EXPECT_EQ(read.Sections()[1].items[0].value, "\"quoted\"");
}

// Look-ups go through an index kept beside the items: it must follow every way the object
// changes (a put after reading, a copy, a second read) and find what a scan would.
TEST(IniReader, LookUpsFollowPutsCopiesAndRereads) {
    IniObject read = IniObject::Parse("[S]\nDUP = 1\ndup = 2\n[s]\nLATE = 3\n");
    read.PutInt("S", "Dup", 7);  // replaces the first, the one a reader gets
    read.PutInt(" s ", "NEW", 8);
    read.PutInt("T", "X", 9);
    const IniObject copy = read;
    EXPECT_EQ(copy.GetInt("s", "dup"), 7);
    EXPECT_EQ(copy.Sections()[0].items[1].value, "2");
    EXPECT_EQ(copy.GetInt("S", "late"), 3);
    EXPECT_EQ(copy.GetInt("S", "new"), 8);
    EXPECT_EQ(copy.GetInt("t", "x"), 9);
    EXPECT_EQ(copy.ToText(), "[S]\r\nDUP = 7\r\ndup = 2\r\nLATE = 3\r\nNEW = 8\r\n\r\n[T]\r\nX = 9\r\n\r\n");
    // A tag longer than a tag may be is found by its cut form, as it was written.
    read.PutInt("S", std::string(300, 'q'), 4);
    EXPECT_EQ(read.GetInt("S", std::string(260, 'Q')), 4);

    // A file read into the object replaces everything, the index too.
    const std::string path = testing::TempDir() + "/lookups.ini";
    ASSERT_TRUE(IniObject::Parse("[Other]\nA = 1\n").WriteToFile(path));
    ASSERT_TRUE(read.ReadFromFile(path));
    EXPECT_FALSE(read.HasSection("S"));
    EXPECT_FALSE(read.HasItem("T", "X"));
    EXPECT_EQ(read.GetInt("other", "a"), 1);
    std::remove(path.c_str());
}

TEST(IniReader, JoinsOnlyConsecutiveNumberedPieces) {
    const IniObject read = IniObject::Parse(
        "[S]\r\n"
        "A Line0001 = \"one \"\r\n"
        "; a comment does not break the run\r\n"
        "a line0002 = \"two\"\r\n"
        "A Line0004 = \"four\"\r\n"
        "B Line0002 = \"no start\"\r\n"
        "C Line0001 = 12\r\n"
        "C Line0002 = 34\r\n"
        "D Line0001 = \"abc\\\"\r\n"
        "D Line0002 = \"x41\"\r\n"
        "E Line0001 = \"half\r\n"
        "E Line0002 = done\"\r\n");
    EXPECT_EQ(read.GetString("S", "A"), "one two");
    EXPECT_EQ(read.GetString("S", "A Line0004"), "four");
    EXPECT_EQ(read.GetString("S", "B Line0002"), "no start");
    EXPECT_EQ(read.GetInt("S", "C"), 1234);
    // An escape broken across two pieces is not glued together.
    EXPECT_EQ(read.GetString("S", "D"), "abc\\x41");
    // Pieces that are not all quoted are joined as they stand, and the whole then counts.
    EXPECT_EQ(read.GetString("S", "E"), "halfdone");
}

TEST(IniReader, GetIntAcceptsOnlySigned32BitDecimals) {
    const IniObject read = IniObject::Parse(
        "[S]\n"
        "BLANK = \"\"\nSPACES = \"  \"\nWORD = abc\nTRAILING = 12abc\nOVER = 2147483648\n"
        "UNDER = -2147483649\nMIN = -2147483648\nMAX = 2147483647\nWIDE = 70000\n"
        "PLUS = +5\nPLUSMINUS = +-5\nMINUS = -\nZEROS = 007\nQUOTED = \"42\"\n"
        "INNER = \" 42\"\nHEX = 0x10\nFRACTION = 1.5\nHUGE = " +
        std::string(100000, '9') + "\n");
    for (const char* tag : {"BLANK", "SPACES", "WORD", "TRAILING", "OVER", "UNDER", "PLUSMINUS",
                            "MINUS", "INNER", "HEX", "FRACTION", "HUGE", "MISSING"}) {
        EXPECT_EQ(read.GetInt("S", tag), std::nullopt) << tag;
    }
    EXPECT_EQ(read.GetInt("S", "MIN"), INT32_MIN);
    EXPECT_EQ(read.GetInt("S", "MAX"), INT32_MAX);
    EXPECT_EQ(read.GetInt("S", "WIDE"), 70000);
    EXPECT_EQ(read.GetInt("S", "PLUS"), 5);
    EXPECT_EQ(read.GetInt("S", "ZEROS"), 7);
    EXPECT_EQ(read.GetInt("S", "QUOTED"), 42);
    EXPECT_EQ(read.GetInt("T", "MAX"), std::nullopt);

    IniObject object;
    object.PutInt("S", "NEG", -65535);
    object.PutInt("S", "LONG", LONG_MAX);
    const IniObject back = IniObject::Parse(object.ToText());
    EXPECT_EQ(back.GetInt("S", "NEG"), -65535);
    EXPECT_EQ(back.GetString("S", "LONG"), std::to_string(LONG_MAX));
    EXPECT_EQ(back.GetInt("S", "LONG"), std::nullopt);
}

TEST(IniReader, BufferReadsCutToBufferSizeLessOne) {
    IniObject object;
    object.PutString("S", "T", "abcdef");
    EXPECT_EQ(object.GetStringIntoBuffer("S", "T", 4), "abc");
    EXPECT_EQ(object.GetStringIntoBuffer("S", "T", 7), "abcdef");
    EXPECT_EQ(object.GetStringIntoBuffer("S", "T", 1), "");
    EXPECT_EQ(object.GetStringIntoBuffer("S", "T", 0), "");
    EXPECT_EQ(object.GetStringIntoBuffer("S", "MISSING", 10), std::nullopt);
}

TEST(IniReader, HostileInputNeverBreaksTheReader) {
    // Random bytes, and random lines built from the characters the reader cares about.
    std::mt19937 random(20240601);
    std::string junk(1 << 20, '\0');
    for (char& c : junk) c = static_cast<char>(random());
    const std::string_view alphabet = "[]=\"\\x0aZ ;\r\n\t\0"sv;
    std::string shaped;
    for (int i = 0; i < (1 << 18); ++i) {
        shaped += (random() % 16 == 0) ? std::string(" Line000") + char('1' + random() % 3)
                                       : std::string(1, alphabet[random() % alphabet.size()]);
    }
    for (const std::string* input : {&junk, &shaped}) {
        const IniObject read = IniObject::Parse(*input);
        const IniObject again = IniObject::Parse(read.ToText());
        for (const auto& section : read.Sections()) {
            EXPECT_TRUE(again.HasSection(section.name));
            for (const auto& item : section.items) {
                (void)read.GetInt(section.name, item.tag);
                (void)again.GetString(section.name, item.tag);
            }
        }
    }

    const std::string megabyte(1 << 20, 'm');
    const IniObject wide = IniObject::Parse("[S]\r\nLONG = \"" + megabyte + "\r\n[" + megabyte);
    EXPECT_EQ(wide.GetString("S", "LONG"), "\"" + megabyte);

    const IniObject odd = IniObject::Parse(
        "[S]\nLONE = \"abc\\\"\nHEX = \"\\x4g \\xZZ \\x4\"\nEND = \\x\nUNBALANCED = \"open\n"
        "NUL = a\0b\nQUOTE = \"\n"sv);
    EXPECT_EQ(odd.GetString("S", "LONE"), "abc\\");
    EXPECT_EQ(odd.GetString("S", "HEX"), "\\x4g \\xZZ \\x4");
    EXPECT_EQ(odd.GetString("S", "END"), "\\x");
    EXPECT_EQ(odd.GetString("S", "UNBALANCED"), "\"open");
    EXPECT_EQ(odd.GetString("S", "NUL"), std::string("a\0b", 3));
    EXPECT_EQ(odd.GetString("S", "QUOTE"), "\"");

    // Many sections named twice and many duplicate tags: a quadratic reader would stall.
    std::string many;
    for (int i = 0; i < 40000; ++i) many += "[S" + std::to_string(i % 20000) + "]\nT = 1\n";
    const IniObject manyRead = IniObject::Parse(many);
    EXPECT_EQ(manyRead.Sections().size(), 20000u);
    EXPECT_EQ(manyRead.Sections()[19999].items.size(), 2u);
}

// A file read and written again must read back to what was written: a save after a load may
// neither lose an item nor turn one into something else. Found by fuzzing: control characters
// before a '[' or a ';' made the line an item whose tag began with it, and written out at the
// start of a line it read back as a section or a comment.
TEST(IniReader, WhatItWritesReadsBackTheSame) {
    const std::string_view text =
        "[S]\r\n"
        "A = 1\r\n"
        "\0\0[GENERAL\0eInitial = \"\"\r INFO]\r\n"
        "\x01; NOTE = 2\r\n"
        "\x7f[T]\r\n"
        "B = 3\r\n"sv;
    const IniObject read = IniObject::Parse(text);
    const std::string written = read.ToText();
    const IniObject again = IniObject::Parse(written);
    EXPECT_EQ(again.ToText(), written);
    ASSERT_EQ(again.Sections().size(), read.Sections().size());
    // Control characters at the start of a line count as blanks, as they do around names.
    EXPECT_TRUE(read.HasSection("GENERAL eInitial = \"\"  INFO"));
    EXPECT_TRUE(read.HasSection("T"));
    EXPECT_EQ(read.GetInt("T", "B"), 3);
    EXPECT_FALSE(read.HasItem("GENERAL eInitial = \"\"  INFO", "; NOTE"));
    EXPECT_EQ(read.Sections()[0].items.size(), 1u);

    // A long value without quotes, as a hand-edited file may have one: written in pieces, it
    // must not lose the blanks where it was cut (a piece's value is trimmed when read).
    std::string spaced = "x";
    for (int i = 0; i < 150; ++i) spaced += " a";
    const IniObject loose = IniObject::Parse("[S]\r\nLOOSE = " + spaced + "\\x41\r\n");
    ASSERT_EQ(loose.GetString("S", "LOOSE"), spaced + "A");
    const IniObject looseAgain = IniObject::Parse(loose.ToText());
    EXPECT_EQ(looseAgain.GetString("S", "LOOSE"), spaced + "A");
}

TEST_F(IniFileTest, WritesCrLfFileAndReadsItBack) {
    const fs::path target = dir_ / "Parameter.ini";
    WriteAll(target, "old content that is longer than the new one ......................");
    ASSERT_TRUE(SmallObject().WriteToFile(target.string()));
    EXPECT_EQ(ReadAll(target), kSmallText);
    EXPECT_EQ(Entries(), std::vector<std::string>{"Parameter.ini"});

    IniObject read;
    ASSERT_TRUE(read.ReadFromFile(target.string()));
    EXPECT_EQ(read.GetString("general info", "file type:"), "Parameter File");
    EXPECT_EQ(read.GetInt("PARAMETER", "POWER"), 500);

    EXPECT_FALSE(read.ReadFromFile((dir_ / "missing.ini").string()));
    EXPECT_TRUE(read.Sections().empty());
    EXPECT_FALSE(read.ReadFromFile(dir_.string()));
}

TEST_F(IniFileTest, KeepsModeAndFollowsLinks) {
    const fs::path target = dir_ / "real.ini";
    WriteAll(target, "x");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    fs::create_symlink(target, dir_ / "link.ini");
    ASSERT_TRUE(SmallObject().WriteToFile((dir_ / "link.ini").string()));
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.ini"));
    EXPECT_EQ(ReadAll(target), kSmallText);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(IniFileTest, ReadOnlyTargetIsLeftAlone) {
    const fs::path target = dir_ / "locked.ini";
    WriteAll(target, "keep me");
    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    // No write bit counts as read-only also for the superuser.
    EXPECT_FALSE(SmallObject().WriteToFile(target.string()));
    EXPECT_EQ(ReadAll(target), "keep me");
    EXPECT_EQ(Entries(), std::vector<std::string>{"locked.ini"});

    if (::geteuid() != 0) {
        // The folder is read-only too: no temporary file can be made.
        ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
        ASSERT_EQ(::chmod(dir_.c_str(), 0555), 0);
        EXPECT_FALSE(SmallObject().WriteToFile(target.string()));
        EXPECT_EQ(ReadAll(target), "keep me");
        ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
    }
}

TEST_F(IniFileTest, FailedWriteLeavesNoTemporaryFile) {
    EXPECT_FALSE(SmallObject().WriteToFile((dir_ / "no such folder" / "a.ini").string()));
    EXPECT_FALSE(SmallObject().WriteToFile(dir_.string()));
    EXPECT_FALSE(SmallObject().WriteToFile(""));

    // A file size limit makes the write itself fail after the temporary file exists.
    const fs::path target = dir_ / "limited.ini";
    WriteAll(target, "before");
    IniObject big;
    big.PutString("S", "T", std::string(100000, 'z'));
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    rlimit small = oldLimit;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = big.WriteToFile(target.string());
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadAll(target), "before");
    EXPECT_EQ(Entries(), std::vector<std::string>{"limited.ini"});
}

}  // namespace
