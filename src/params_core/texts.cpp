#include "params_core/texts.h"

#include <array>

#include "params_core/parameter_set.h"

namespace params {

namespace {

constexpr ValueItem kPowerModeItems[] = {{"STAT", 0}, {"DYN", 1}};

constexpr ValueItem kEvaluationModeItems[] = {
    {"FIRST HIT", 0},     {"BEST HIT", 1},     {"MIN DIST", 2},       {"COL2", 3},
    {"THD Red Green", 4}, {"THD Red Blue", 5}, {"THD Green Blue", 6},
};

constexpr ValueItem kDigitalOutModeItems[] = {
    {"OFF", 0}, {"DIRECT LO", 1}, {"BINARY", 2}, {"DIRECT HI", 3}};

constexpr ValueItem kTriggerItems[] = {
    {"CONT", 0}, {"SELF", 1}, {"EXT1", 2}, {"EXT2", 3}, {"EXT3", 4}, {"TRANS", 5}, {"PARA", 6},
};

constexpr ValueItem kExternTeachItems[] = {{"OFF", 0}, {"ON", 1}, {"STAT1", 2}, {"DYN1", 3}};

constexpr ValueItem kCalculationModeItems[] = {
    {"X Y INT - 2D", 0}, {"s i   M - 2D", 1}, {"X Y INT - 3D", 2}, {"s i   M - 3D", 3}};

constexpr ValueItem kColorGroupItems[] = {{"OFF", 0}, {"ON", 1}};

constexpr ValueItem kLedModeItems[] = {{"DC", 0}, {"AC", 1}, {"OFF", 2}, {"PULSE", 3}};

constexpr ValueItem kGainItems[] = {
    {"AMP1", 1}, {"AMP2", 2}, {"AMP3", 3}, {"AMP4", 4},
    {"AMP5", 5}, {"AMP6", 6}, {"AMP7", 7}, {"AMP8", 8},
};

constexpr ValueItem kAnalogOutModeItems[] = {{"OFF", 0},   {"RGB", 1},    {"X Y INT", 2},
                                             {"s i M", 3}, {"RGB MM", 4}, {"siM REF", 5}};

constexpr ValueItem kAnalogOutItems[] = {{"CONT", 0}, {"IN0 L->H", 1}};

struct WordItems {
    std::size_t word;
    std::span<const ValueItem> items;
};

constexpr WordItems kWordItems[] = {
    {kPowerMode, kPowerModeItems},
    {kEvaluationMode, kEvaluationModeItems},
    {kDigitalOutMode, kDigitalOutModeItems},
    {kTrigger, kTriggerItems},
    {kExternTeach, kExternTeachItems},
    {kCalculationMode, kCalculationModeItems},
    {kColorGroup, kColorGroupItems},
    {kLedMode, kLedModeItems},
    {kGain, kGainItems},
    {kAnalogOutMode, kAnalogOutModeItems},
    {kAnalogOut, kAnalogOutItems},
};

constexpr HelpText kHelpTexts[] = {
    // --- texts whose wording the panel has always used -----------------------------------
    {"CBF_SlidePower",
     "Select the intensity of the transmitter LED. \n0 = no intensity,  1000 = full "
     "intensity."},
    {"CBF_EditIntegral",
     "Select the number (0...250) of values \nover which the raw signal is integrated."},
    {"CBF_EditGain",
     "Select a amplification stage of the receicer. \nAMP1 is the lowest amplification. "
     "\nAMP8 is the highest amplification. "},
    {"CBF_EditVMaxVecNo",
     "Select the number of color vectors which should be checked \nin the TEACH TABLE "
     "beginning with row 0. \n\nAktive rows in the TEACH TABLE are \nlabelled green, inactive "
     "are labelled red."},
    {"CBF_EditColorGroups", "Activate color groups. \nNot possible when EVALMODE=COL2."},
    {"CBF_EditHold", "Select the minimum pulse length when a digital output changes."},
    {"CBF_EditResetHold", "Table Hold will be set to this value \nwhen Button RESET is pressed."},
    {"CBF_ButtonSend",
     "All the parameters of the PC-User-Interface are transferred to the sensor or to a "
     "selectable file. \nThe target of the parameter transfer is determined by the select "
     "button (RAM, EEPROM, FILE). \n\nShortcut Key: F9. "},
    {"CBF_ButtonGet",
     "Sensor or file parameters are transferred to the PC-User-Interface. \nThe source of the "
     "parameter transfer is determined by the select button (RAM, EEPROM, FILE). \n\nShortcut "
     "Key: F10. "},
    {"CBF_SelectMem", "Select source respectively the target for the parameter transfer."},
    {"CBF_SelectParaSet", "Select parameter set which should be transfered."},

    // --- mode descriptions ------------------------------------------------------------------
    {"CBF_EditPmode",
     "Select the POWER MODE of the transmitter LED. \n\n"
     "STAT: The power is held at the value of POWER. \n"
     "DYN: The power is tuned dynamically, so that the received \n"
     "signal stays within DYNWIN LO and DYNWIN HI. \n\n"
     "With EXTERN TEACH = STAT1 or DYN1 or LED MODE = OFF \nthe POWER MODE is STAT."},
    {"CBF_EditLedMode",
     "Select the LED MODE of the light source. \n\n"
     "DC: The light source is permanently on. \n"
     "AC: The light source is modulated. \n"
     "OFF: The light source is off. POWER is set to 0 \nand POWER MODE to STAT. \n"
     "PULSE: The light source is pulsed."},
    {"CBF_EditDigOutmode",
     "Select the DIGITAL OUTMODE of the digital outputs. \n\n"
     "OFF: Digital outputs and color evaluation are switched off. \n"
     "DIRECT LO: Each output stands for one color row (or color group) \n"
     "and is set LO when that row is detected. \n"
     "BINARY: The number of the detected row (or color group) \n"
     "is put out binary coded. \n"
     "DIRECT HI: Each output stands for one color row (or color group) \n"
     "and is set HI when that row is detected. \n\n"
     "Without color groups DIRECT LO and DIRECT HI check up to 2 rows, \nBINARY up to 3 rows."},
    {"CBF_EditAnaOutmode",
     "Select the ANALOG OUTMODE, the signals at the analog outputs. \n\n"
     "OFF: No color coordinates are put out. \n"
     "RGB: The signals RED, GREEN and BLUE are put out. \n"
     "X Y INT: The color coordinates X, Y and INT are put out. \n"
     "s i M: The color coordinates s, i and M are put out. \n"
     "RGB MM: The minimum and maximum values of RED, GREEN and BLUE, \n"
     "detected while IN0 is high, span the output range. \n"
     "siM REF: At a rising edge of IN0 the present s i M values \n"
     "are taken as 5V reference. ANALOG ZOOM sets the zoom factor. \n\n"
     "With color evaluation X Y INT or s i M must match the CALCULATION MODE."},
    {"CBF_EditAnaOut",
     "Select when the ANALOG OUT values are put out. \n\n"
     "CONT: The analog outputs follow the measured values continuously. \n"
     "IN0 L->H: The analog outputs are updated at a rising edge of IN0 \n"
     "and frozen until the next rising edge. \n\n"
     "With ANALOG OUTMODE OFF, RGB MM or siM REF ANALOG OUT is CONT."},
    {"CBF_EditEvalmode",
     "Select the EVALUATION MODE of the color evaluation. \n\n"
     "FIRST HIT: The first row of the TEACH TABLE (beginning with row 0) \n"
     "whose tolerance contains the measured color is put out. \n"
     "BEST HIT: Of all rows whose tolerance contains the measured color \n"
     "the row with the smallest distance is put out. \n"
     "MIN DIST: The row with the smallest distance to the measured color \n"
     "is put out, without a color tolerance. \n"
     "COL2: Rows 0 and 1 are checked and shown at OUT0 and OUT1. \n"
     "THD Red Green, THD Red Blue, THD Green Blue: \n"
     "The first named signal is compared with the threshold THD of row 0 (OUT0), \n"
     "the second with the threshold THD of row 1 (OUT1). \n"
     "An output is HI while the signal is higher than its threshold."},
    {"CBF_EditCalcmode",
     "Select the CALCULATION MODE of the color evaluation. \n\n"
     "X Y INT - 2D: Color coordinates X, Y and INT. The color tolerance CTO \n"
     "is a circle in the X/Y plane, the intensity tolerance ITO a band. \n"
     "s i   M - 2D: Color coordinates s, i and M with the tolerances siTO and MTO. \n"
     "X Y INT - 3D: Color coordinates X, Y and INT with one tolerance TOL \n"
     "in the three-dimensional color space. \n"
     "s i   M - 3D: Color coordinates s, i and M with one tolerance TOL. \n\n"
     "Switching between 2D and 3D converts the TEACH TABLE."},
    {"CBF_EditExteach",
     "Select the EXTERN TEACH mode. \n\n"
     "OFF: External teach is off. \n"
     "ON: External teach to all rows, stored in the EEPROM. \n"
     "STAT1: External teach to row 0 at the POWER value, stored in the RAM. \n"
     "DYN1: External teach to row 0 with dynamically adjusted power, \nstored in the RAM. \n\n"
     "While EXTERN TEACH is not OFF, TRIGGER offers only CONT and SELF."},
    {"CBF_EditTrigger",
     "Select the TRIGGER mode of the color evaluation. \n\n"
     "CONT: The sensor evaluates continuously. \n"
     "SELF: The sensor triggers itself. \n"
     "EXT1, EXT2, EXT3: The evaluation is triggered externally \nthrough the input IN0 (+24V). \n"
     "TRANS: External trigger through IN0 for the transmission of the result. \n"
     "PARA: The inputs select parameter set 0 or 1. \n"
     "Parameter set 1 can only be transferred with TRIGGER = PARA. \n\n"
     "EXT1 ... PARA are offered only while EXTERN TEACH is OFF."},
    {"CBF_EditIntlim",
     "Select the intensity limit INTLIM. \n"
     "When INT (or M) falls below INTLIM, the color evaluation stops \n"
     "and the error state is put out (color number 255, delta C = -1). \n\n"
     "With POWER MODE = DYN the display INT shows the transmitter power \n"
     "instead of the intensity; the sensor still evaluates the real intensity."},

    // --- short texts -----------------------------------------------------------------------
    {"CBF_EditAverage",
     "Select the number of scanning values \nover which the raw signal is averaged."},
    {"CBF_EditDynWinLoHi",
     "Select the dynamic window DYNWIN LO ... DYNWIN HI. \nWith POWER MODE = DYN the "
     "transmitter power is tuned \nso that the received signal stays within this window."},
    {"CBF_EditAnaZoom",
     "Select the zoom factor of the analog outputs \nwhen ANALOG OUTMODE = siM REF."},
    {"CBF_EditGridGroups",
     "Assign a color group to each row of the TEACH TABLE. \nUsed when COLOR GROUP is "
     "activated. \n\nOUTMODE=DIRECT LO or DIRECT HI: GROUP 0 and 1. \nOUTMODE=BINARY: GROUP "
     "0, 1 and 2."},
    {"CBF_EditGridHold",
     "Select the minimum pulse length when a digital output changes. \n\nRow HOLD FAIL holds "
     "the hold time of the fail condition, \nthe other rows the hold times of the rows of the "
     "TEACH TABLE."},
    {"CBF_GridCtt",
     "TEACH TABLE: reference colors and tolerances of the rows 0 ... 30. \nThe meaning of the "
     "columns depends on CALCULATION MODE \nand EVALUATION MODE. \n\nActive rows are labelled "
     "green, inactive are labelled red."},
    {"CBF_EditID",
     "Enter the identification of the sensor. \nIt is kept with the panel settings and shown "
     "on the recorder page \nand on the big displays."},
};

}  // namespace

std::span<const ValueItem> ValueItems(std::size_t word) {
    for (const WordItems& w : kWordItems) {
        if (w.word == word) return w.items;
    }
    return {};
}

const char* ValueLabel(std::size_t word, std::uint16_t value) {
    for (const ValueItem& item : ValueItems(word)) {
        if (item.value == value) return item.label;
    }
    return nullptr;
}

std::span<const HelpText> ParameterHelpTexts() {
    return kHelpTexts;
}

const char* ParameterHelpText(std::string_view callback) {
    for (const HelpText& h : kHelpTexts) {
        if (callback == h.callback) return h.text;
    }
    return nullptr;
}

}  // namespace params
