#include "params_core/hardware_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "params_core/parameter_file.h"

namespace params {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// The lines of "[section]" up to its closing empty line.
std::vector<std::string> SectionLines(const std::string& text, const std::string& section) {
    const std::vector<std::string> all = Lines(text);
    std::vector<std::string> out;
    bool inside = false;
    for (const std::string& line : all) {
        if (line == "[" + section + "]") {
            inside = true;
        } else if (inside) {
            if (line.empty()) break;
            out.push_back(line);
        }
    }
    return out;
}

HardwareSnapshot Snapshot() {
    HardwareSnapshot s;
    s.firmware = "VELORAX3 KVT-ANA FW 2.07 \"beta\"";
    for (std::size_t i = 0; i < kHardwareDataWords; ++i)
        s.data[i] = static_cast<std::uint16_t>(i * 0x0101u + 0x0F00u * (i % 3));
    s.data[0] = 0x0000;
    s.data[255] = 0xFFFF;
    s.factors = {1024, 65535, 0};
    s.offsets = {12, 0, 40000};
    s.parameters.block[0] = 41000;
    s.parameters.teach[30].hold = 60000;
    return s;
}

TEST(HardwareFile, SectionsComeInTheirOrderWithIdentificationAndCorrections) {
    const std::string text = BuildHardwareFile(Snapshot()).ToText();

    std::vector<std::string> sections;
    for (const std::string& line : Lines(text))
        if (!line.empty() && line.front() == '[') sections.push_back(line);
    ASSERT_EQ(sections.size(), 5u + kVectorCount);
    EXPECT_EQ(sections[0], "[GENERAL INFO]");
    EXPECT_EQ(sections[1], "[HARDWARE INFO]");
    EXPECT_EQ(sections[2], "[CALIBRATION FACTOR]");
    EXPECT_EQ(sections[3], "[OFFSET]");
    EXPECT_EQ(sections[4], "[PARAMETER]");
    for (std::size_t v = 0; v < kVectorCount; ++v)
        EXPECT_EQ(sections[5 + v], std::string("[").append(TeachVectorSection(v)).append("]"));

    EXPECT_EQ(SectionLines(text, "GENERAL INFO"),
              (std::vector<std::string>{
                  "FILE TYPE: = \"Hardware Initial File\"",
                  "SCOPE VERSION: = \"VELORAX3-KVT-ANA-Scope V1.0\"",
                  "FIRMWARE VERSION: = \"VELORAX3 KVT-ANA FW 2.07 \\\"beta\\\"\"",
              }));
    EXPECT_EQ(SectionLines(text, "CALIBRATION FACTOR"),
              (std::vector<std::string>{"RED = 1024", "GREEN = 65535", "BLUE = 0"}));
    EXPECT_EQ(SectionLines(text, "OFFSET"),
              (std::vector<std::string>{"RED = 12", "GREEN = 0", "BLUE = 40000"}));
}

TEST(HardwareFile, ParameterSectionsAreThoseOfTheParameterFile) {
    const HardwareSnapshot s = Snapshot();
    const std::string hardware = BuildHardwareFile(s).ToText();
    const std::string parameter = BuildParameterFile(s.parameters).ToText();
    const std::string from = "[PARAMETER]\r\n";
    ASSERT_NE(parameter.find(from), std::string::npos);
    ASSERT_NE(hardware.find(from), std::string::npos);
    // Everything from the parameter section to the end is byte for byte the same.
    EXPECT_EQ(hardware.substr(hardware.find(from)), parameter.substr(parameter.find(from)));
    EXPECT_NE(hardware.find("POWER = 41000\r\n"), std::string::npos);
}

TEST(HardwareFile, DataIsAlwaysThirteenQuotedPiecesOfHexDigits) {
    struct Case {
        const char* name;
        HardwareSnapshot snapshot;
    };
    const Case cases[] = {{"every word differs", Snapshot()}, {"all zero", HardwareSnapshot{}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ini::IniObject file = BuildHardwareFile(c.snapshot);
        const std::vector<std::string> lines = SectionLines(file.ToText(), "HARDWARE INFO");
        ASSERT_EQ(lines.size(), 13u);
        std::string joined;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::string number = std::to_string(i + 1);
            number.insert(0, 4 - number.size(), '0');
            const std::string tag = "DATA Line" + number + " = \"";
            ASSERT_EQ(lines[i].rfind(tag, 0), 0u) << lines[i];
            ASSERT_EQ(lines[i].back(), '"');
            const std::string piece = lines[i].substr(tag.size(), lines[i].size() - tag.size() - 1);
            EXPECT_EQ(piece.size(), i < 12 ? 80u : 64u);
            joined += piece;
        }
        ASSERT_EQ(joined.size(), 4 * kHardwareDataWords);
        // Word by word, zero-padded, most significant digit first.
        for (std::size_t w = 0; w < kHardwareDataWords; ++w) {
            char expected[5];
            std::snprintf(expected, sizeof expected, "%04X", c.snapshot.data[w]);
            ASSERT_EQ(joined.substr(4 * w, 4), expected) << "word " << w;
        }
        // The reader joins the pieces back into the one value.
        EXPECT_EQ(ini::IniObject::Parse(file.ToText()).GetString("HARDWARE INFO", "DATA"), joined);
    }
}

}  // namespace
}  // namespace params
