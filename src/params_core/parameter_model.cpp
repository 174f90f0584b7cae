#include "params_core/parameter_model.h"

namespace params {

ParameterModel::ParameterModel() {
    ApplyRules(false);
}

ModelChange ParameterModel::Load(const ParameterSet& set) {
    set_ = set;
    // EXT1 ... PARA exist only while EXTERN TEACH is off; with the list to match, a TRIGGER
    // above SELF stays what it came as.
    triggerListComplete_ = set.block.externTeach == mode::kTeachOff;
    return ApplyRules(true);
}

ModelChange ParameterModel::SetWord(std::size_t word, std::uint16_t value) {
    if (word >= kBlockWords) return {};
    const std::uint16_t before = set_.block[word];
    set_.block[word] = value;
    bool converted = false;
    if (word == kCalculationMode && Is3D(before) != Is3D(value)) {
        ConvertTeachVectors(set_, before, value);
        converted = true;
    }
    return ApplyRules(converted);
}

ModelChange ParameterModel::SetGroup(std::size_t vector, std::uint16_t group) {
    if (vector >= kVectorCount) return {};
    set_.teach[vector].group = group;
    return ApplyRules(false);
}

ModelChange ParameterModel::SetHold(std::size_t vector, std::uint16_t hold) {
    if (vector >= kVectorCount) return {};
    set_.teach[vector].hold = hold;
    return ApplyRules(false);
}

ModelChange ParameterModel::SetTeachCells(const std::vector<TeachCell>& cells) {
    bool changed = false;
    for (const TeachCell& c : cells) {
        if (c.vector >= kVectorCount || c.cell >= kTeachCells) continue;
        set_.teach[c.vector].cell[c.cell] = c.value;
        changed = true;
    }
    return ApplyRules(changed);
}

void ParameterModel::SelectSet(std::uint16_t set) {
    transfer_.set = set == 1 && modes_.paraSetEnabled ? 1 : 0;
}

ModelChange ParameterModel::ResetGroups() {
    for (TeachVector& t : set_.teach) t.group = 0;
    groupMarks_ = {};
    return ApplyRules(false);
}

ModelChange ParameterModel::ResetHolds(std::uint16_t hold) {
    set_.block.holdFail = hold;
    for (TeachVector& t : set_.teach) t.hold = hold;
    return ApplyRules(false);
}

ModelChange ParameterModel::ApplyRules(bool teachChanged) {
    ModeInput in;
    in.words = set_.block;
    for (std::size_t v = 0; v < kVectorCount; ++v) in.groups[v] = set_.teach[v].group;
    in.groupMarked = groupMarks_;
    in.triggerListComplete = triggerListComplete_;
    ModeOutcome out = ApplyModeRules(in);

    ModelChange change;
    change.teachTable = teachChanged;
    // A calculation mode forced into the other dimension takes the teach cells along, as a
    // change by hand does.
    const std::uint16_t layout = set_.block.calculationMode;
    set_.block = out.words;
    if (Is3D(layout) != Is3D(out.words.calculationMode)) {
        ConvertTeachVectors(set_, layout, out.words.calculationMode);
        change.teachTable = true;
    }
    for (std::size_t v = 0; v < kVectorCount; ++v) set_.teach[v].group = out.groups[v];
    if (out.evaluation) {
        if (out.evaluation->triggerList != TriggerList::Keep)
            triggerListComplete_ = out.evaluation->triggerList == TriggerList::Complete;
        if (out.evaluation->groupMarked) groupMarks_ = *out.evaluation->groupMarked;
    }
    change.notices = std::move(out.notices);
    out.notices.clear();
    modes_ = std::move(out);
    // Without TRIGGER PARA the sensor runs parameter set 0.
    if (!modes_.paraSetEnabled) transfer_.set = 0;
    return change;
}

}  // namespace params
