#pragma once
// The selected modes as the mode-dependent controls left them, for every page that shows
// something mode-dependent. The parameter page runs the mode rules on its controls and
// publishes the result here (Session::SetModes); the other pages derive what they show
// from it with the functions below, so that they never read the parameter controls.
// Free of Qt.

#include <array>
#include <cstdint>

namespace session {

struct ModeView {
    std::uint16_t digitalOutMode = 0;
    std::uint16_t evaluationMode = 1;
    std::uint16_t calculationMode = 0;
    std::uint16_t analogOutMode = 1;
    std::uint16_t analogOut = 0;
    std::uint16_t externTeach = 0;
    std::uint16_t trigger = 0;
    std::uint16_t colorGroup = 0;
    std::uint16_t maxVecNo = 1;
    std::uint16_t powerMode = 0;  // STAT or DYN: the teach's default intensity tolerance

    // The colour evaluation runs (DIGITAL OUTMODE not OFF): the rules for the evaluation
    // mode, teach-table columns, limits and row colours apply only then.
    bool ColourEvaluation() const { return digitalOutMode != 0; }
    // s i M instead of X Y INT.
    bool SiM() const { return calculationMode == 1 || calculationMode == 3; }
    // The names of the three coordinates, as every display and graph of them is labelled.
    std::array<const char*, 3> CoordinateNames() const {
        if (SiM()) return {"s", "i", "M"};
        return {"X", "Y", "INT"};
    }
    bool ThreeD() const { return calculationMode >= 2; }

    bool ShowColorNo() const { return ColourEvaluation() && evaluationMode < 3; }
    bool ShowDeltaC() const { return ColourEvaluation() && evaluationMode < 3; }
    bool ShowOutLeds() const { return ColourEvaluation() && evaluationMode >= 3; }
    bool ShowGroup() const { return ColourEvaluation() && colorGroup == 1; }
    bool CloseColBig() const { return !ColourEvaluation() || evaluationMode > 3; }
    bool CloseGrpBig() const { return !ColourEvaluation() || colorGroup == 0; }
    bool ShowSimRef() const { return analogOutMode == 5; }
    bool ShowTrigLed() const {
        return analogOutMode == 4 || analogOutMode == 5 || analogOut == kAnalogOutIn0 ||
               (ColourEvaluation() && (externTeach != 0 || trigger != 0));
    }
    // The data panel's 2D and 3D pages.
    bool ShowColourViews() const { return ColourEvaluation() && evaluationMode < 4; }
    bool ShowPage2D() const { return ShowColourViews() && !ThreeD(); }
    bool ShowPage3D() const { return ShowColourViews() && ThreeD(); }
    // The coordinate page and the three coordinate displays.
    bool ShowCoordinates() const {
        return analogOutMode == 2 || analogOutMode == 3 || analogOutMode == 5 || ShowColourViews();
    }
    // Rows 1 ... this are active (green labels), the rest red; meaningful only while the
    // colour evaluation runs.
    int ActiveRows() const { return maxVecNo; }

    static constexpr std::uint16_t kAnalogOutIn0 = 1;  // ANALOG OUT "IN0 L->H"
};

}  // namespace session
