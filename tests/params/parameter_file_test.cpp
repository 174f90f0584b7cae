#include "params_core/parameter_file.h"

#include <gtest/gtest.h>

#include <string>

#include "params_core/program_title.h"

namespace params {
namespace {

// Replaces the first `from` after the line "[section]" by `to`.
std::string ReplaceInSection(std::string text, const std::string& section, const std::string& from,
                             const std::string& to) {
    const std::size_t start = text.find("[" + section + "]\r\n");
    EXPECT_NE(start, std::string::npos) << section;
    const std::size_t at = text.find(from, start);
    EXPECT_NE(at, std::string::npos) << from;
    if (start == std::string::npos || at == std::string::npos) return text;
    return text.replace(at, from.size(), to);
}

std::string DefaultFileText() {
    return BuildParameterFile(ParameterSet{}).ToText();
}

// A set in which every stored word differs from every other and from its default.
ParameterSet DistinctSet() {
    ParameterSet set;
    std::uint16_t next = 40000;  // above 32767 on purpose
    for (std::size_t w = 0; w < kBlockWords; ++w) set.block[w] = next++;
    for (TeachVector& t : set.teach) {
        for (auto& c : t.cell) c = next++;
        t.group = next++;
        t.hold = next++;
        t.spare = next++;
    }
    return set;
}

TEST(ParameterFile, WrittenFileBeginsWithIdentificationThenParametersInWordOrder) {
    const std::string text = DefaultFileText();
    EXPECT_EQ(text.rfind("[GENERAL INFO]\r\n"
                         "FILE TYPE: = \"Parameter File\"\r\n"
                         "SCOPE VERSION: = \"VELORAX3-KVT-ANA-Scope V1.0\"\r\n"
                         "\r\n"
                         "[PARAMETER]\r\n"
                         "POWER = 500\r\n"
                         "POWER MODE = 0\r\n"
                         "AVERAGE = 1\r\n"
                         "EVALUATION MODE = 1\r\n"
                         "HOLD FAIL = 10\r\n"
                         "INTLIM = 0\r\n",
                         0),
              0u);
    EXPECT_NE(text.find("ANALOG ZOOM = 0\r\n"
                        "\r\n"
                        "[TEACH VECTOR 0]\r\n"
                        "CELL 0 = 1\r\n"
                        "CELL 1 = 1\r\n"
                        "CELL 2 = 1\r\n"
                        "CELL 3 = 1\r\n"
                        "CELL 4 = 1\r\n"
                        "GROUP = 0\r\n"
                        "HOLD = 10\r\n"
                        "\r\n"
                        "[TEACH VECTOR 1]\r\n"),
              std::string::npos);
    const std::size_t last = text.find("[TEACH VECTOR 30]\r\n");
    ASSERT_NE(last, std::string::npos);
    EXPECT_EQ(text.substr(last),
              "[TEACH VECTOR 30]\r\nCELL 0 = 1\r\nCELL 1 = 1\r\nCELL 2 = 1\r\n"
              "CELL 3 = 1\r\nCELL 4 = 1\r\nGROUP = 0\r\nHOLD = 10\r\n\r\n");
    // The spare word never reaches a file, and there is no 32nd vector.
    EXPECT_EQ(text.find("SPARE"), std::string::npos);
    EXPECT_EQ(text.find("TEACH VECTOR 31"), std::string::npos);
}

TEST(ParameterFile, RoundTripKeepsEveryStoredWordAndLeavesSpareAlone) {
    const ParameterSet saved = DistinctSet();
    const std::string text = BuildParameterFile(saved).ToText();
    // Unsigned words: no negative number in the file.
    EXPECT_EQ(text.find("= -"), std::string::npos);
    EXPECT_NE(text.find("POWER = 40000\r\n"), std::string::npos);

    const ini::IniObject file = ini::IniObject::Parse(text);
    EXPECT_TRUE(FileTypeMatches(file));
    EXPECT_TRUE(VersionMatches(file));

    ParameterSet loaded;
    for (std::size_t v = 0; v < kVectorCount; ++v)
        loaded.teach[v].spare = static_cast<std::uint16_t>(v + 7);
    const LoadReport report = ReadParameterItems(file, loaded);
    EXPECT_EQ(report.parameters, "");
    EXPECT_EQ(report.teachVectors, "");
    EXPECT_EQ(loaded.BlockWords(), saved.BlockWords());
    for (std::size_t v = 0; v < kVectorCount; ++v) {
        EXPECT_EQ(loaded.teach[v].cell, saved.teach[v].cell) << v;
        EXPECT_EQ(loaded.teach[v].group, saved.teach[v].group) << v;
        EXPECT_EQ(loaded.teach[v].hold, saved.teach[v].hold) << v;
        EXPECT_EQ(loaded.teach[v].spare, v + 7) << v;
    }
}

TEST(ParameterFile, TypeCheckIsCaseSensitiveWhileNamesAreNot) {
    std::string text = DefaultFileText();
    text = ReplaceInSection(text, "GENERAL INFO", "FILE TYPE: = \"Parameter File\"",
                            "file type: = \"parameter file\"");
    text = ReplaceInSection(text, "PARAMETER", "POWER = 500", "power = 123");
    text = ReplaceInSection(text, "PARAMETER", "[PARAMETER]", "[parameter]");
    text = ReplaceInSection(text, "TEACH VECTOR 5", "[TEACH VECTOR 5]", "[Teach Vector 5]");
    text = ReplaceInSection(text, "Teach Vector 5", "GROUP = 0", "group = 2");
    const ini::IniObject file = ini::IniObject::Parse(text);

    EXPECT_FALSE(FileTypeMatches(file));
    EXPECT_TRUE(VersionMatches(file));

    ParameterSet set;
    const LoadReport report = ReadParameterItems(file, set);
    EXPECT_EQ(set.block.power, 123);
    EXPECT_EQ(set.teach[5].group, 2);
    EXPECT_EQ(report.parameters, "");
    EXPECT_EQ(report.teachVectors, "");
}

TEST(ParameterFile, IdentificationMissingOrOfAnotherVersionDoesNotMatch) {
    const ini::IniObject empty;
    EXPECT_FALSE(FileTypeMatches(empty));
    EXPECT_FALSE(VersionMatches(empty));

    const std::string text =
        ReplaceInSection(DefaultFileText(), "GENERAL INFO", "Scope V1.0\"", "Scope V0.9\"");
    const ini::IniObject other = ini::IniObject::Parse(text);
    EXPECT_TRUE(FileTypeMatches(other));
    EXPECT_FALSE(VersionMatches(other));

    // Proceeding anyway reads the items normally.
    ParameterSet set;
    set.block.power = 1;
    EXPECT_EQ(ReadParameterItems(other, set).parameters, "");
    EXPECT_EQ(set.block.power, 500);
}

TEST(ParameterFile, ValuesKeepTheirLowSixteenBits) {
    std::string text = DefaultFileText();
    text = ReplaceInSection(text, "PARAMETER", "POWER = 500", "POWER = 70000");
    text = ReplaceInSection(text, "PARAMETER", "AVERAGE = 1", "AVERAGE = -1");
    text = ReplaceInSection(text, "TEACH VECTOR 2", "CELL 1 = 1", "CELL 1 = 65537");
    ParameterSet set;
    const LoadReport report = ReadParameterItems(ini::IniObject::Parse(text), set);
    EXPECT_EQ(set.block.power, 4464);
    EXPECT_EQ(set.block.average, 65535);
    EXPECT_EQ(set.teach[2].cell[1], 1);
    EXPECT_EQ(report.parameters, "");
    EXPECT_EQ(report.teachVectors, "");
}

TEST(ParameterFile, UnreadableParametersGetDefaultsAndAreReportedInWordOrder) {
    for (const char* bad : {"POWER = abc", "POWER = ", "POWER = 12x", "POWER = 99999999999"}) {
        std::string text = DefaultFileText();
        text = ReplaceInSection(text, "PARAMETER", "POWER = 500", bad);
        ParameterSet set;
        set.block.power = 7;
        const LoadReport report = ReadParameterItems(ini::IniObject::Parse(text), set);
        EXPECT_EQ(set.block.power, 500) << bad;
        EXPECT_EQ(report.parameters,
                  "Following parameter could not be read \nand where set to default value:\n\n"
                  "POWER\n")
            << bad;
    }

    // A missing item in the middle and EXTERN TEACH, which the report names EXTEACH.
    std::string text = DefaultFileText();
    text = ReplaceInSection(text, "PARAMETER", "EXTERN TEACH = 0\r\n", "");
    text = ReplaceInSection(text, "PARAMETER", "GAIN = 5\r\n", "");
    text = ReplaceInSection(text, "PARAMETER", "DYNWIN LO = 3200\r\n", "");
    ParameterSet set;
    set.block.externTeach = 3;
    set.block.gain = 1;
    set.block.dynWinLo = 0;
    const LoadReport report = ReadParameterItems(ini::IniObject::Parse(text), set);
    EXPECT_EQ(set.block.externTeach, 0);
    EXPECT_EQ(set.block.gain, 5);
    EXPECT_EQ(set.block.dynWinLo, 3200);
    EXPECT_EQ(report.parameters,
              "Following parameter could not be read \nand where set to default value:\n\n"
              "EXTEACH\nDYNWIN LO\nGAIN\n");
    EXPECT_EQ(report.teachVectors, "");
}

TEST(ParameterFile, MissingHoldReportsItsVectorOnceAndKeepsTheOtherItems) {
    ParameterSet saved = DistinctSet();
    std::string text = BuildParameterFile(saved).ToText();
    const std::string hold = "HOLD = " + std::to_string(saved.teach[3].hold) + "\r\n";
    text = ReplaceInSection(text, "TEACH VECTOR 3", hold, "");
    // A second missing item of the same vector still names it only once.
    const std::string group = "GROUP = " + std::to_string(saved.teach[3].group) + "\r\n";
    text = ReplaceInSection(text, "TEACH VECTOR 3", group, "");

    ParameterSet loaded;
    const LoadReport report = ReadParameterItems(ini::IniObject::Parse(text), loaded);
    EXPECT_EQ(report.parameters, "");
    EXPECT_EQ(report.teachVectors,
              "Following teach vectors could not be read \nand where set to default value:\n\n"
              "TEACH VECTOR 3\n");
    EXPECT_EQ(loaded.teach[3].hold, 10);
    EXPECT_EQ(loaded.teach[3].group, 0);
    EXPECT_EQ(loaded.teach[3].cell, saved.teach[3].cell);
    EXPECT_EQ(loaded.teach[4].hold, saved.teach[4].hold);
}

TEST(ParameterFile, EmptyFileSetsEverythingToDefaultsAndReportsAll) {
    ParameterSet set = DistinctSet();
    const LoadReport report = ReadParameterItems(ini::IniObject{}, set);
    const ParameterSet defaults;
    EXPECT_EQ(set.BlockWords(), defaults.BlockWords());
    for (std::size_t v = 0; v < kVectorCount; ++v) {
        EXPECT_EQ(set.teach[v].cell, defaults.teach[v].cell);
        EXPECT_EQ(set.teach[v].hold, 10);
        EXPECT_NE(set.teach[v].spare, 0);  // untouched
    }
    EXPECT_NE(report.parameters.find("ANALOG ZOOM\n"), std::string::npos);
    EXPECT_NE(report.teachVectors.find("TEACH VECTOR 0\nTEACH VECTOR 1\n"), std::string::npos);
    EXPECT_EQ(report.teachVectors.substr(report.teachVectors.size() - 16), "TEACH VECTOR 30\n");
}

TEST(ParameterFile, TagsWithTrailingBlanksAreFound) {
    std::string text = DefaultFileText();
    text = ReplaceInSection(text, "PARAMETER", "POWER = 500", "  POWER    =   321   ");
    text = ReplaceInSection(text, "TEACH VECTOR 0", "HOLD = 10", "HOLD\t = 55");
    text = ReplaceInSection(text, "TEACH VECTOR 0", "[TEACH VECTOR 0]", "[ TEACH VECTOR 0 ]  ");
    ParameterSet set;
    const LoadReport report = ReadParameterItems(ini::IniObject::Parse(text), set);
    EXPECT_EQ(set.block.power, 321);
    EXPECT_EQ(set.teach[0].hold, 55);
    EXPECT_EQ(report.parameters, "");
    EXPECT_EQ(report.teachVectors, "");
}

}  // namespace
}  // namespace params
