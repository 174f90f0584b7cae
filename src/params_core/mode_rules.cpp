#include "params_core/mode_rules.h"

#include <algorithm>

namespace params {

namespace {

using namespace mode;

bool SiM(std::uint16_t calculationMode) {
    return calculationMode % 2 == 1;
}

// The analog output puts out colour coordinates of its own choosing.
bool AnalogCoordinates(std::uint16_t analogOutMode) {
    return analogOutMode == kAnalogXyInt || analogOutMode == kAnalogSiM ||
           analogOutMode == kAnalogSiMRef;
}

// The analog outputs, and what they leave of TRIGGER and EXTERN TEACH.
void AnalogOutputs(ModeOutcome& out) {
    ParameterBlock& w = out.words;
    const bool noEdgeOutput = w.analogOutMode == 0 || w.analogOutMode >= kAnalogRgbMm;
    if (noEdgeOutput) w.analogOut = kAnalogCont;
    out.analogOutVisible = !noEdgeOutput;
    out.analogZoomVisible = w.analogOutMode == kAnalogSiMRef;

    // The trigger is free only while neither the analog output nor the evaluation fixes the
    // moment of a measurement.
    auto triggerFree = [&w] {
        return w.analogOutMode < kAnalogRgbMm && w.analogOut == kAnalogCont &&
               w.evaluationMode < kFirstThreshold;
    };
    out.triggerEnabled = triggerFree();
    if (!out.triggerEnabled) w.trigger = kCont;
    out.externTeachEnabled = w.analogOut == kAnalogCont;
    if (!out.externTeachEnabled) w.externTeach = kTeachOff;

    if (w.digitalOutMode != kDigitalOff && w.evaluationMode < kFirstThreshold) {
        // The sensor calculates one kind of coordinates: the analog output takes the
        // calculation's.
        const bool analogSiM = w.analogOutMode != kAnalogXyInt;
        const bool mismatch =
            AnalogCoordinates(w.analogOutMode) && analogSiM != SiM(w.calculationMode);
        if (mismatch) {
            out.notices.push_back({NoticePage::Unchanged, kModeNoticeTitle, kAnalogOutModeNotice});
            w.analogOutMode = SiM(w.calculationMode) ? kAnalogSiM : kAnalogXyInt;
            out.analogZoomVisible = false;
            out.analogOutVisible = true;
            // siM REF had fixed the trigger; the output it became does not, and a second run
            // would free it anyway.
            out.triggerEnabled = triggerFree();
        }
    } else {
        // Without colour evaluation the calculation follows the analog output.
        w.calculationMode =
            (w.analogOutMode == kAnalogSiM || w.analogOutMode == kAnalogSiMRef) ? 1 : 0;
    }
}

// Without digital outputs there is nothing to evaluate, trigger or teach.
void DigitalOutputs(ModeOutcome& out) {
    ParameterBlock& w = out.words;
    out.evaluationVisible = w.digitalOutMode != kDigitalOff;
    if (out.evaluationVisible) return;
    w.trigger = kCont;
    w.externTeach = kTeachOff;
}

// Light source and power.
void LightAndPower(ModeOutcome& out) {
    ParameterBlock& w = out.words;
    if (w.ledMode == kLedOff) {
        if (w.externTeach == kDyn1) w.externTeach = kTeachOff;
        w.powerMode = kStat;
        w.power = 0;
        out.powerModeEnabled = false;
        out.powerEnabled = false;
        out.dynWinEnabled = false;
        return;
    }
    if (w.externTeach == kDyn1) {
        // The sensor tunes the power itself while it teaches.
        w.powerMode = kStat;
        out.powerModeEnabled = false;
        out.powerEnabled = false;
        out.dynWinEnabled = true;
        return;
    }
    if (w.externTeach == kStat1) {
        w.powerMode = kStat;
        out.powerModeEnabled = false;
    } else {
        out.powerModeEnabled = true;
    }
    const bool stat = w.powerMode == kStat;
    out.powerEnabled = stat;
    out.dynWinEnabled = !stat;
}

// What the trigger leaves of EXTERN TEACH and the parameter-set selector.
void TriggerDependencies(ModeOutcome& out) {
    ParameterBlock& w = out.words;
    if (w.trigger == kCont) {
        if (w.analogOut == kAnalogCont) out.externTeachEnabled = true;
    } else if (w.trigger == kSelf) {
        out.externTeachEnabled = true;
    } else {
        w.externTeach = kTeachOff;
        out.externTeachEnabled = false;
    }
    out.paraSetEnabled = w.trigger == kPara;
}

// The colour evaluation, with the digital outputs on: its modes, the teach-table columns,
// the trigger list, the limits and the active rows.
EvaluationControls Evaluation(const ModeInput& in, ModeOutcome& out) {
    ParameterBlock& w = out.words;
    EvaluationControls ev;

    // The colour-tolerance column has no use in MIN DIST.
    if (w.evaluationMode == kMinDist) ev.hiddenTeachColumn = w.calculationMode >= 2 ? 4 : 3;
    if (w.evaluationMode >= kCol2) {
        // Two outputs, each a fixed bit: no groups, two rows, binary outputs.
        w.colorGroup = 0;
        ev.groupControlsEnabled = false;
        w.maxVecNo = 2;
        ev.maxVecNoEnabled = false;
        w.digitalOutMode = kBinary;
        if (w.evaluationMode >= kFirstThreshold) {
            w.intLim = 0;
            ev.intLimEnabled = false;
            ev.calculationModeEnabled = false;
        }
    }
    ev.teachLabels = TeachColumnLabels(w.calculationMode, w.evaluationMode);

    // The external teach input shares its pin with EXT1 ... PARA.
    if (w.externTeach != kTeachOff) {
        if (w.trigger > kSelf) w.trigger = kCont;
        ev.triggerList = TriggerList::ContAndSelf;
    } else if (!in.triggerListComplete) {
        ev.triggerList = TriggerList::Complete;
    }

    const bool groups = w.colorGroup != 0;
    const std::uint16_t limit = MaxVecNoLimit(groups, w.digitalOutMode);
    if (w.maxVecNo > limit) {
        out.notices.push_back({NoticePage::Parameter, kModeNoticeTitle, kMaxVecNoNotice});
        w.maxVecNo = limit;
    }
    if (groups) {
        const std::uint16_t highest = GroupLimit(w.digitalOutMode);
        std::array<bool, kVectorCount> marked{};
        bool corrected = false;
        for (std::size_t r = 0; r < kVectorCount; ++r) {
            std::uint16_t& group = out.groups[r];
            if (group > highest) {
                group = 0;
                marked[r] = true;
                corrected = true;
            } else {
                marked[r] = in.groupMarked[r] && group == 0;
            }
        }
        if (corrected)
            out.notices.push_back({NoticePage::GroupHold, kModeNoticeTitle, kGroupNotice});
        ev.groupMarked = marked;
    }
    ev.activeRows = std::min<int>(w.maxVecNo, static_cast<int>(kVectorCount));
    return ev;
}

}  // namespace

std::array<const char*, kTeachCells> TeachColumnLabels(std::uint16_t calculationMode,
                                                       std::uint16_t evaluationMode) {
    if (evaluationMode >= kFirstThreshold) return {"THD", "", "", "", ""};
    const bool sim = SiM(calculationMode);
    if (calculationMode >= 2) {
        if (sim) return {"s", "i", "M", "TOL", ""};
        return {"X", "Y", "INT", "TOL", ""};
    }
    if (sim) return {"s", "i", "siTO", "M", "MTO"};
    return {"X", "Y", "CTO", "INT", "ITO"};
}

std::uint16_t MaxVecNoLimit(bool colorGroups, std::uint16_t digitalOutMode) {
    if (colorGroups) return static_cast<std::uint16_t>(kVectorCount);
    return digitalOutMode == mode::kBinary ? 3 : 2;
}

std::uint16_t GroupLimit(std::uint16_t digitalOutMode) {
    return digitalOutMode == mode::kBinary ? 2 : 1;
}

ModeOutcome ApplyModeRules(const ModeInput& input) {
    ModeOutcome out;
    out.words = input.words;
    out.groups = input.groups;
    AnalogOutputs(out);
    DigitalOutputs(out);
    LightAndPower(out);
    const std::uint16_t teaching = out.words.externTeach;
    TriggerDependencies(out);
    // A trigger that takes the teach input away also frees the power controls that the
    // external teach held; otherwise they would stay dimmed until the next run.
    if (out.words.externTeach != teaching) LightAndPower(out);
    // Decided on the DIGITAL OUTMODE as shown; COL2 may raise it to BINARY in there.
    if (out.evaluationVisible) out.evaluation = Evaluation(input, out);
    return out;
}

}  // namespace params
