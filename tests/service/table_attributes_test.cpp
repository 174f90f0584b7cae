#include "service/table_attributes.h"

#include <gtest/gtest.h>

#include <string>

namespace service {
namespace {

constexpr char kHead[] =
    "Following teach vectors could not be read \nand where set to default value:\n\n";

// All 31 rows with colour 1000 + i and a text; row `row` gets `body` instead.
ini::IniObject Rows(std::size_t row = kRowCount, const std::string& body = {}) {
    std::string text;
    for (std::size_t i = 0; i < kRowCount; ++i) {
        text.append("[").append(RowSection(i)).append("]\r\n");
        if (i == row)
            text.append(body);
        else
            text.append("Row color = ")
                .append(std::to_string(1000 + i))
                .append("\r\nRow specification = \"row\"\r\n");
    }
    return ini::IniObject::Parse(text);
}

TEST(RowAttrFile, WrittenInOrderAndReadBackUnchanged) {
    const std::string defaults = BuildTableAttributesFile(RowAttributes{}).ToText();
    EXPECT_EQ(defaults.rfind("[GENERAL INFO]\r\nFILE TYPE: = \"Table Attributes\"\r\n"
                             "SCOPE VERSION: = \"VELORAX3-KVT-ANA-Scope V1.0\"\r\n\r\n"
                             "[TABLE ATTR OF TEACH VECTOR 0]\r\nRow color = 16711680\r\n"
                             "Row specification = \"\"\r\n\r\n"
                             "[TABLE ATTR OF TEACH VECTOR 1]\r\nRow color = 8453888\r\n",
                             0),
              0u);
    EXPECT_TRUE(
        defaults.ends_with("[TABLE ATTR OF TEACH VECTOR 30]\r\nRow color = 16711680\r\n"
                           "Row specification = \"\"\r\n\r\n"));

    RowAttributes rows;
    rows.colors[0] = 0;
    rows.colors[30] = kMaxRowColor;
    rows.texts[0] = "Lid \"blue\" \\ 7\tmm\nsecond line\r";
    rows.texts[1] = "gr\xC3\xBCn ; [x] = y";
    RowAttributes back;
    back.colors.fill(-5);
    const ini::IniObject file = ini::IniObject::Parse(BuildTableAttributesFile(rows).ToText());
    EXPECT_TRUE(FileTypeMatches(file) && VersionMatches(file));
    EXPECT_EQ(ReadRowAttributes(file, back), "");
    EXPECT_EQ(back.colors, rows.colors);
    EXPECT_EQ(back.texts, rows.texts);
}

TEST(RowAttrFile, MissingColoursAreDefaultedAndReportedMissingTextsAreNot) {
    RowAttributes rows;
    EXPECT_EQ(ReadRowAttributes(Rows(16, "Row specification = \"kept\"\r\n"), rows),
              std::string(kHead) + "TABLE ATTR OF TEACH VECTOR 16\n");
    EXPECT_EQ(rows.colors[16], 0x80FF00);  // palette entry 1
    EXPECT_EQ(rows.texts[16], "kept");
    EXPECT_EQ(rows.colors[17], 1017);

    EXPECT_EQ(ReadRowAttributes(Rows(4, "Row color = 77\r\n"), rows), "");
    EXPECT_EQ(rows.texts[4], "");

    // Nothing readable (or another file type): every row defaulted and listed in order.
    rows.texts.fill("old");
    const std::string report = ReadRowAttributes(ini::IniObject{}, rows);
    EXPECT_EQ(rows.colors, defaultRowColors);
    EXPECT_EQ(rows.colors[30], 0xFF0000);
    EXPECT_EQ(rows.texts[30], "");
    std::string all = kHead;
    for (std::size_t i = 0; i < kRowCount; ++i) all += RowSection(i) + "\n";
    EXPECT_EQ(report, all);
    EXPECT_FALSE(FileTypeMatches(
        ini::IniObject::Parse("[GENERAL INFO]\r\nFILE TYPE: = \"table attributes\"\r\n")));
}

TEST(RowAttrFile, OnlyDecimalsWithinTwentyFourBitsAreColours) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"0", 0},         {"16777215", 0xFFFFFF}, {"+255", 255}, {"\"4660\"", 4660},
        {"16777216", -1}, {"2147483647", -1},     {"-1", -1},    {"99999999999", -1},
        {"0xFF0000", -1}, {"12abc", -1},          {"\"\"", -1},  {"1.5", -1},
    };
    for (const auto& [value, expected] : cases) {
        SCOPED_TRACE(value);
        RowAttributes rows;
        const std::string report =
            ReadRowAttributes(Rows(3, std::string("Row color = ") + value + "\r\n"), rows);
        EXPECT_EQ(rows.colors[3], expected < 0 ? defaultRowColors[3] : expected);
        EXPECT_EQ(report.empty(), expected >= 0);
    }
}

TEST(RowAttrFile, RowTextsComeBackWithAtMostNinetyNineCharacters) {
    RowAttributes rows;
    for (int i = 0; i < 10000; ++i) rows.texts[5] += static_cast<char>('a' + i % 26);
    for (int i = 0; i < 150; ++i) rows.texts[6] += "\xC3\xA4";
    rows.texts[7] = std::string(5000, '\x80');  // no character at all
    const std::string text = BuildTableAttributesFile(rows).ToText();
    EXPECT_NE(text.find("Row specification Line0125 = \""), std::string::npos);

    RowAttributes back;
    EXPECT_EQ(ReadRowAttributes(ini::IniObject::Parse(text), back), "");
    EXPECT_EQ(back.texts[5], rows.texts[5].substr(0, 99));
    EXPECT_EQ(back.texts[6], rows.texts[6].substr(0, 198));  // whole letters
    EXPECT_EQ(back.texts[7].size(), 99u);
    EXPECT_EQ(CutCharacters("ab\xE2\x82\xAC"
                            "c",
                            3),
              "ab\xE2\x82\xAC");
}

}  // namespace
}  // namespace service
