#include "params_core/parameter_file.h"

#include "params_core/program_title.h"

namespace params {

namespace {

// The loaders read the two identification texts into a buffer of this size.
constexpr std::size_t kIdentBufferSize = 1024;

constexpr char kGroupTag[] = "GROUP";
constexpr char kHoldTag[] = "HOLD";

bool IdentEquals(const ini::IniObject& file, const char* tag, std::string_view expected) {
    const auto value = file.GetStringIntoBuffer(kGeneralInfoSection, tag, kIdentBufferSize);
    return value.value_or(std::string()) == expected;
}

// Reads one word; false when the item cannot be read, leaving the word alone.
bool ReadWord(const ini::IniObject& file, std::string_view section, std::string_view tag,
              std::uint16_t& word) {
    const auto value = file.GetInt(section, tag);
    if (!value) return false;
    // Out-of-range values keep their low 16 bits, as the sensor would see them.
    word = static_cast<std::uint16_t>(*value);
    return true;
}

}  // namespace

std::string TeachVectorSection(std::size_t vector) {
    return "TEACH VECTOR " + std::to_string(vector);
}

std::string CellTag(std::size_t cell) {
    return "CELL " + std::to_string(cell);
}

void PutParameterItems(ini::IniObject& file, const ParameterSet& set) {
    for (std::size_t w = 0; w < kBlockWords; ++w) {
        file.PutInt(kParameterSection, kParameters[w].label, static_cast<long>(set.block[w]));
    }
    for (std::size_t v = 0; v < kVectorCount; ++v) {
        const std::string section = TeachVectorSection(v);
        const TeachVector& t = set.teach[v];
        for (std::size_t c = 0; c < t.cell.size(); ++c) {
            file.PutInt(section, CellTag(c), static_cast<long>(t.cell[c]));
        }
        file.PutInt(section, kGroupTag, static_cast<long>(t.group));
        file.PutInt(section, kHoldTag, static_cast<long>(t.hold));
    }
}

ini::IniObject BuildParameterFile(const ParameterSet& set) {
    ini::IniObject file;
    file.PutString(kGeneralInfoSection, kFileTypeTag, kParameterFileType);
    file.PutString(kGeneralInfoSection, kScopeVersionTag, velorax::kProgramTitle);
    PutParameterItems(file, set);
    return file;
}

bool FileTypeMatches(const ini::IniObject& file) {
    return IdentEquals(file, kFileTypeTag, kParameterFileType);
}

bool VersionMatches(const ini::IniObject& file) {
    return IdentEquals(file, kScopeVersionTag, velorax::kProgramTitle);
}

LoadReport ReadParameterItems(const ini::IniObject& file, ParameterSet& set) {
    LoadReport report;

    std::string missing;
    for (std::size_t w = 0; w < kBlockWords; ++w) {
        const ParameterInfo& info = kParameters[w];
        if (!ReadWord(file, kParameterSection, info.label, set.block[w])) {
            set.block[w] = info.defaultValue;
            missing += info.reportName;
            missing += '\n';
        }
    }
    if (!missing.empty()) report.parameters = kParameterReportHead + missing;

    missing.clear();
    const TeachVector defaults;
    for (std::size_t v = 0; v < kVectorCount; ++v) {
        const std::string section = TeachVectorSection(v);
        TeachVector& t = set.teach[v];
        bool allRead = true;
        auto read = [&](std::string_view tag, std::uint16_t& word, std::uint16_t fallback) {
            if (!ReadWord(file, section, tag, word)) {
                word = fallback;
                allRead = false;
            }
        };
        for (std::size_t c = 0; c < t.cell.size(); ++c)
            read(CellTag(c), t.cell[c], defaults.cell[c]);
        read(kGroupTag, t.group, defaults.group);
        read(kHoldTag, t.hold, defaults.hold);
        if (!allRead) missing += section + '\n';
    }
    if (!missing.empty()) report.teachVectors = kTeachVectorReportHead + missing;

    return report;
}

}  // namespace params
