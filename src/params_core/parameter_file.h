#pragma once
// The parameter file: one ParameterSet as INI text.
//
//   [GENERAL INFO]
//   FILE TYPE: = "Parameter File"
//   SCOPE VERSION: = "VELORAX3-KVT-ANA-Scope V1.0"
//
//   [PARAMETER]
//   POWER = 500                 the 20 words of the ParameterBlock in word order,
//   ...                         unsigned 0 ... 65535
//   ANALOG ZOOM = 0
//
//   [TEACH VECTOR 0]            one section per vector 0 ... 30
//   CELL 0 = 1 ... CELL 4 = 1
//   GROUP = 0
//   HOLD = 10                   the spare word is never stored
//
// Loading is split into steps so that the dialog flow can ask its questions between them.

#include <string>

#include "ini/ini.h"
#include "params_core/parameter_set.h"

namespace params {

inline constexpr char kGeneralInfoSection[] = "GENERAL INFO";
inline constexpr char kFileTypeTag[] = "FILE TYPE:";
inline constexpr char kScopeVersionTag[] = "SCOPE VERSION:";
inline constexpr char kParameterFileType[] = "Parameter File";
inline constexpr char kParameterSection[] = "PARAMETER";

// File dialog of saving and loading.
inline constexpr char kParameterFileDefaultName[] = "Parameter.ini";
inline constexpr char kParameterFileFilter[] = "*.ini";
inline constexpr char kParameterFileDialogTitle[] = "Parameter";

// Pop-ups of the saving and loading flow.
inline constexpr char kTitleAttention[] = "ATTENTION!";
inline constexpr char kTitleReport[] = "Attention!";
inline constexpr char kNoFileSelected[] = "No file was selected!";
inline constexpr char kNotAParameterFile[] =
    "Selected file is not a parameter file! \nDo you want to proceed anyway?";
inline constexpr char kVersionMismatch[] =
    "Selected file and scope version do not match! \nDo you want to proceed anyway?";
inline constexpr char kNoParameterRead[] = "No parameter where read!";
inline constexpr char kParameterReportHead[] =
    "Following parameter could not be read \nand where set to default value:\n\n";
inline constexpr char kTeachVectorReportHead[] =
    "Following teach vectors could not be read \nand where set to default value:\n\n";

// "TEACH VECTOR 7", "CELL 3".
std::string TeachVectorSection(std::size_t vector);
std::string CellTag(std::size_t cell);

// Section "PARAMETER" and the 31 vector sections; the hardware information file reuses it.
void PutParameterItems(ini::IniObject& file, const ParameterSet& set);

// The whole parameter file.
ini::IniObject BuildParameterFile(const ParameterSet& set);

// "FILE TYPE:" is exactly "Parameter File" (case matters; a missing item does not match).
bool FileTypeMatches(const ini::IniObject& file);
// "SCOPE VERSION:" is exactly the program title.
bool VersionMatches(const ini::IniObject& file);

struct LoadReport {
    // Each empty when nothing was missing; otherwise the head line and one name per line,
    // ready for a pop-up titled kTitleReport (parameters first, then teach vectors).
    std::string parameters;
    std::string teachVectors;
};

// Reads every parameter and teach-vector item into the set. A value that can be read keeps
// its low 16 bits; an item that cannot be read gets its default and is reported. The spare
// words stay as they are.
LoadReport ReadParameterItems(const ini::IniObject& file, ParameterSet& set);

}  // namespace params
