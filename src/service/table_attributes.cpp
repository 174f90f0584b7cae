#include "service/table_attributes.h"

#include "params_core/parameter_file.h"
#include "params_core/program_title.h"

namespace service {

namespace {

// The identification texts are compared as the other loaders read them.
constexpr std::size_t kIdentBufferSize = 1024;

bool IdentEquals(const ini::IniObject& file, const char* tag, std::string_view expected) {
    return file.GetStringIntoBuffer(params::kGeneralInfoSection, tag, kIdentBufferSize)
               .value_or(std::string()) == expected;
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

int ContinuationsAfter(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF7) return 3;
    if (lead >= 0xE0) return lead <= 0xEF ? 2 : 0;
    if (lead >= 0xC0) return 1;
    return 0;
}

}  // namespace

std::string RowSection(std::size_t row) {
    return "TABLE ATTR OF TEACH VECTOR " + std::to_string(row);
}

void WriteRowAttributes(ini::IniObject& file, const RowAttributes& rows) {
    for (std::size_t i = 0; i < kRowCount; ++i) {
        const std::string section = RowSection(i);
        file.PutInt(section, kRowColorTag, rows.colors[i]);
        file.PutString(section, kRowTextTag, rows.texts[i]);
    }
}

ini::IniObject BuildTableAttributesFile(const RowAttributes& rows) {
    ini::IniObject file;
    file.PutString(params::kGeneralInfoSection, params::kFileTypeTag, kTableAttributesFileType);
    file.PutString(params::kGeneralInfoSection, params::kScopeVersionTag, velorax::kProgramTitle);
    WriteRowAttributes(file, rows);
    return file;
}

bool FileTypeMatches(const ini::IniObject& file) {
    return IdentEquals(file, params::kFileTypeTag, kTableAttributesFileType);
}

bool VersionMatches(const ini::IniObject& file) {
    return IdentEquals(file, params::kScopeVersionTag, velorax::kProgramTitle);
}

std::optional<std::int32_t> ReadRowColor(const ini::IniObject& file, std::size_t row) {
    const auto value = file.GetInt(RowSection(row), kRowColorTag);
    // A negative number or one beyond 24 bits has no red, green and blue to show; keeping
    // its low bits would paint a colour nobody chose.
    if (!value || *value < 0 || *value > kMaxRowColor) return std::nullopt;
    return *value;
}

std::string ReadRowAttributes(const ini::IniObject& file, RowAttributes& rows) {
    std::string missing;
    for (std::size_t i = 0; i < kRowCount; ++i) {
        if (const auto color = ReadRowColor(file, i)) {
            rows.colors[i] = *color;
        } else {
            rows.colors[i] = defaultRowColors[i];
            missing += RowSection(i) + '\n';
        }
        rows.texts[i] = CutCharacters(
            file.GetString(RowSection(i), kRowTextTag).value_or(std::string()),
            kMaxRowTextChars);
    }
    return missing.empty() ? std::string() : kReportHead + missing;
}

std::string CutCharacters(const std::string& text, std::size_t maxChars) {
    std::size_t chars = 0;
    int pending = 0;  // continuation bytes the current character's lead byte announced
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (pending > 0 && IsContinuation(byte)) {
            --pending;
            continue;
        }
        // Anything else starts a character, a stray continuation byte included, so junk
        // cannot run on unbounded.
        if (chars == maxChars) return text.substr(0, i);
        ++chars;
        pending = ContinuationsAfter(byte);
    }
    return text;
}

}  // namespace service
