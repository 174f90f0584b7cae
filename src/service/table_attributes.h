#pragma once
// The teach-table row attributes (indicator colour and free-text description per row) as INI
// text: the table-attributes file, and the same row sections inside the panel settings file.
//
//   [GENERAL INFO]                      (table-attributes file only)
//   FILE TYPE: = "Table Attributes"
//   SCOPE VERSION: = "VELORAX3-KVT-ANA-Scope V1.0"
//
//   [TABLE ATTR OF TEACH VECTOR 0]      one section per row 0 ... 30
//   Row color = 16711680                0xRRGGBB as a decimal integer
//   Row specification = "free text"
//
// Colours read back: a signed decimal from 0 to 16777215 (0xFFFFFF) is taken as it is.
// Anything else (a missing or blank item, text that is not a number, a negative value or one
// beyond 24 bits) cannot be a row colour: the row gets its palette colour and is reported.
// Row texts read back keep at most 99 characters, cut between UTF-8 characters.
//
// Free of Qt: the page puts the values into its table, the tests check the text.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "ini/ini.h"
#include "params_core/parameter_file.h"
#include "params_core/parameter_model.h"
#include "params_core/texts.h"

namespace service {

inline constexpr std::size_t kRowCount = 31;  // teach vectors 0 ... 30
using RowColors = std::array<std::int32_t, kRowCount>;
using RowTexts = params::TeachRowTexts;  // the parameter model holds them

inline constexpr char kTableAttributesFileType[] = "Table Attributes";
inline constexpr char kRowColorTag[] = "Row color";
inline constexpr char kRowTextTag[] = "Row specification";

inline constexpr std::int32_t kMaxRowColor = 0xFFFFFF;
inline constexpr std::size_t kMaxRowTextChars = 99;

// Row i gets entry i mod 15.
inline constexpr std::array<std::int32_t, 15> kPalette = {
    0xFF0000, 0x80FF00, 0x0000FF, 0x000000, 0xFF80C0, 0xFFFF00, 0x808000, 0x800080,
    0x80FFFF, 0xFF0080, 0x400080, 0xFF00FF, 0x008000, 0x408080, 0x800000,
};

constexpr RowColors MakeDefaultRowColors() {
    RowColors colors{};
    for (std::size_t i = 0; i < kRowCount; ++i) colors[i] = kPalette[i % kPalette.size()];
    return colors;
}
// The row colours after a reset, at start-up and for rows a file does not give.
inline constexpr RowColors defaultRowColors = MakeDefaultRowColors();

// File dialog of saving and loading.
inline constexpr char kDefaultFileName[] = "TableAttributes.ini";
inline constexpr char kFileFilter[] = "*.ini";
inline constexpr char kDialogTitle[] = "TableAttributes";

// Pop-ups of the page; those every file of the program shares are the parameter file's.
using params::kNoFileSelected;
using params::kTitleAttention;
using params::kTitleReport;
using params::kVersionMismatch;
inline constexpr const char* kNothingRead = params::kNoParameterRead;
inline constexpr char kNotATableAttributesFile[] =
    "Selected file is not a table attributes file! \nDo you want to proceed anyway?";
inline constexpr const char* kResetQuestion = params::kResetTableQuestion;
inline constexpr char kReportHead[] =
    "Following teach vectors could not be read \nand where set to default value:\n\n";
inline constexpr char kWriteFailed[] = "The table attributes file could not be written:\n";

struct RowAttributes {
    RowColors colors = defaultRowColors;
    RowTexts texts{};
};

// "TABLE ATTR OF TEACH VECTOR 7".
std::string RowSection(std::size_t row);

// The 31 row sections, appended to `file` (the table-attributes file and the panel settings).
// Colours are written as they are held.
void WriteRowAttributes(ini::IniObject& file, const RowAttributes& rows);

// The whole table-attributes file.
ini::IniObject BuildTableAttributesFile(const RowAttributes& rows);

// "FILE TYPE:" is exactly "Table Attributes"; "SCOPE VERSION:" is exactly the program title.
// A missing item does not match.
bool FileTypeMatches(const ini::IniObject& file);
bool VersionMatches(const ini::IniObject& file);

// A colour item as read; nullopt when it cannot be a row colour (see above).
std::optional<std::int32_t> ReadRowColor(const ini::IniObject& file, std::size_t row);

// Reads all 31 rows into `rows`. A row without a usable colour gets its default colour; a
// missing row text is empty. Returns the report for a pop-up titled kTitleReport: the
// head line and one section name per line for every row whose colour was not read, or
// empty when every colour was read. The caller decides whether to show it.
std::string ReadRowAttributes(const ini::IniObject& file, RowAttributes& rows);

// At most `maxChars` characters of UTF-8 text, never cutting inside a character. A byte
// that cannot start or continue a character counts as one.
std::string CutCharacters(const std::string& text, std::size_t maxChars);

}  // namespace service
