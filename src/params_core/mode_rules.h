#pragma once
// The mode rules: many parameters only make sense in certain combinations of modes. From the
// words the parameter controls show, ApplyModeRules works out which values the modes force,
// which controls a user may see and operate, the teach-table column labels, the limits of
// MAX VEC NO and of the group numbers, and the messages that explain a correction. It has
// no state: the result depends on the input alone, and feeding the result back in changes
// nothing more. The parameter page reads its controls into a ModeInput and applies the
// ModeOutcome to them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "params_core/parameter_set.h"

namespace params {

inline constexpr std::size_t kTeachCells = 5;  // cells of a teach vector, table columns 1..5

// Values of the mode words that the rules name.
namespace mode {
inline constexpr std::uint16_t kStat = 0;  // POWER MODE
inline constexpr std::uint16_t kLedOff = 2;
inline constexpr std::uint16_t kMinDist = 2;  // EVALUATION MODE
inline constexpr std::uint16_t kCol2 = 3;
inline constexpr std::uint16_t kFirstThreshold = 4;  // THD Red Green; 5 and 6 follow
inline constexpr std::uint16_t kDigitalOff = 0;      // DIGITAL OUTMODE
inline constexpr std::uint16_t kBinary = 2;
inline constexpr std::uint16_t kCont = 0;  // TRIGGER
inline constexpr std::uint16_t kSelf = 1;
inline constexpr std::uint16_t kPara = 6;
inline constexpr std::uint16_t kTeachOff = 0;  // EXTERN TEACH
inline constexpr std::uint16_t kStat1 = 2;
inline constexpr std::uint16_t kDyn1 = 3;
inline constexpr std::uint16_t kAnalogXyInt = 2;  // ANALOG OUTMODE
inline constexpr std::uint16_t kAnalogSiM = 3;
inline constexpr std::uint16_t kAnalogRgbMm = 4;
inline constexpr std::uint16_t kAnalogSiMRef = 5;
inline constexpr std::uint16_t kAnalogCont = 0;  // ANALOG OUT; anything else is IN0 L->H
}  // namespace mode

inline constexpr const char* kModeNoticeTitle = "INFO!";
inline constexpr const char* kAnalogOutModeNotice =
    "ATTENTION! \nIf DIGITAL OUTMODE and ANALOG OUTMODE are enabled, \neither X Y INT or s i M "
    "can be calculated. \nANALOG OUTMODE will be set depending of CALCULATION MODE.";
inline constexpr const char* kMaxVecNoNotice =
    "ATTENTION! \n\nMAXCOL-No. is too high. \n\nIf color group is disabled and OUMODE=DIRECT LO "
    "or \nDIRECT HI, the maximum number is 2. \nIf OUTMODE=BINARY, the maximum number is 3. "
    "\n\nIf color group is enabled, the maximum number is 31. \n\nMAXCOL-No. will be set to "
    "maximum value.";
inline constexpr const char* kGroupNotice =
    "ATTENTION! \nIf OUTMODE=DIRECT HI or DIRECT LO: \n2 groups are possible! GROUP 0 and 1. "
    "\nIf OUTMODE=BINARY: \n3 groups are possible. GROUP 0,1,2. \n\n Cell will be set to 0.";

struct ModeInput {
    ParameterBlock words;                              // as the controls show them
    std::array<std::uint16_t, kVectorCount> groups{};  // the group table, row 1 first
    // Group cells marked as corrected (red) by an earlier run.
    std::array<bool, kVectorCount> groupMarked{};
    bool triggerListComplete = true;  // TRIGGER offers EXT1 ... PARA
};

// What becomes of the TRIGGER list.
enum class TriggerList { Keep, ContAndSelf, Complete };

// The page of the main tab control a message is about, brought to the front before it shows.
enum class NoticePage { Unchanged, Parameter, GroupHold };

struct Notice {
    NoticePage page;
    const char* title;
    const char* text;
};

// What the rules decide only while the digital outputs evaluate colours (DIGITAL OUTMODE not
// OFF). Without them the teach table, group table and trigger list are out of use and keep
// whatever state they last had.
struct EvaluationControls {
    bool maxVecNoEnabled = true;
    bool intLimEnabled = true;
    bool calculationModeEnabled = true;
    bool groupControlsEnabled = true;  // COLOR GROUP switch, group table, its reset button
    int hiddenTeachColumn = 0;         // 1-based; 0: all five cells shown
    std::array<const char*, kTeachCells> teachLabels{};
    TriggerList triggerList = TriggerList::Keep;
    int activeRows = 0;  // teach rows 1 ... activeRows are checked by the sensor
    // With colour groups on, one flag per group-table row: marked red because its number
    // was too high and was set to 0. A mark stays until the cell holds another number (or
    // the table is reset), so that the next run does not wipe out what this one showed.
    // Empty while colour groups are off: the cells keep their marking.
    std::optional<std::array<bool, kVectorCount>> groupMarked;
};

struct ModeOutcome {
    ParameterBlock words;  // what the controls must show now
    std::array<std::uint16_t, kVectorCount> groups{};

    bool analogOutVisible = true;
    bool analogZoomVisible = false;
    bool triggerEnabled = true;
    bool externTeachEnabled = true;
    bool powerModeEnabled = true;
    bool powerEnabled = true;
    bool dynWinEnabled = false;
    // The group and hold page, the teach table page and MAX VEC NO, INTLIM, EVALUATION MODE,
    // CALCULATION MODE, EXTERN TEACH and TRIGGER.
    bool evaluationVisible = true;
    bool paraSetEnabled = false;  // the selector of parameter set 1
    std::optional<EvaluationControls> evaluation;
    std::vector<Notice> notices;  // in the order they are shown
};

ModeOutcome ApplyModeRules(const ModeInput& input);

// The labels of the five teach-table columns in a calculation and evaluation mode.
std::array<const char*, kTeachCells> TeachColumnLabels(std::uint16_t calculationMode,
                                                       std::uint16_t evaluationMode);

// The largest MAX VEC NO and the largest group number the digital outputs can signal.
std::uint16_t MaxVecNoLimit(bool colorGroups, std::uint16_t digitalOutMode);
std::uint16_t GroupLimit(std::uint16_t digitalOutMode);

}  // namespace params
