#pragma once
// The sensor's data as the program and velorax-cli hold it: the parameter set (the 20 words
// of the parameter block and the teach table of 31 vectors with their group and hold, the
// spare words included) and the marks of group cells the mode rules corrected. Every change
// goes through here and the mode rules run once after it, so what the parameter controls
// show, what a file holds and what SEND sends are the same words. Free of Qt.
//
// Values keep all 16 bits as they came from the sensor or a file; the mode rules correct
// what they force and nothing else. The teach cells stay in the layout of the calculation
// mode: a change that takes it between 2D and 3D converts them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "params_core/mode_rules.h"
#include "params_core/parameter_set.h"

namespace params {

// What one change did, for whoever shows the data.
struct ModelChange {
    std::vector<Notice> notices;  // the mode rules' messages, in the order they are shown
    bool teachTable = false;      // a teach cell changed (an edit or a 2D/3D conversion)
};

// Where SEND and GET move the parameter set; the values are those of the memory selector.
enum class TransferTarget : std::uint16_t { Ram = 1, Eeprom = 2, File = 3 };

// Where SEND and GET go: the target, and which of the sensor's two parameter sets.
struct TransferChoice {
    TransferTarget target = TransferTarget::Ram;
    std::uint16_t set = 0;  // 0 or 1; 1 only while the modes allow it (TRIGGER PARA)
    bool operator==(const TransferChoice&) const = default;
};

// The free-text description of each teach-table row (UTF-8), as the table attributes page
// shows it; no part of what goes to the sensor.
using TeachRowTexts = std::array<std::string, kVectorCount>;

// One teach cell: vector 0 ... 30, cell 0 ... 4.
struct TeachCell {
    std::size_t vector;
    std::size_t cell;
    std::uint16_t value;
};

class ParameterModel {
  public:
    ParameterModel();

    const ParameterSet& Set() const { return set_; }
    // The mode rules' decisions for the data as it stands: what is shown and operable, the
    // teach-table labels, the active rows.
    const ModeOutcome& Modes() const { return modes_; }
    // Group cells whose number was too high and was set to 0, until they hold another one.
    const std::array<bool, kVectorCount>& GroupMarks() const { return groupMarks_; }
    // TRIGGER offers EXT1 ... PARA (only while EXTERN TEACH is off).
    bool TriggerListComplete() const { return triggerListComplete_; }
    // Where SEND and GET go. The mode rules take the set back to 0 whenever a change leaves
    // set 1 not allowed, and set 1 is not taken while it is not.
    const TransferChoice& Transfer() const { return transfer_; }
    void SelectTarget(TransferTarget target) { transfer_.target = target; }
    void SelectSet(std::uint16_t set);
    // The rows' descriptions. A whole set loaded leaves them as they are.
    const TeachRowTexts& RowTexts() const { return rowTexts_; }
    void SetRowText(std::size_t row, std::string text) {
        if (row < kVectorCount) rowTexts_[row] = std::move(text);
    }
    void SetRowTexts(const TeachRowTexts& texts) { rowTexts_ = texts; }

    // A whole set from the sensor or a file, taken as it came (its teach cells in the layout
    // of its own calculation mode), then the mode rules.
    ModelChange Load(const ParameterSet& set);
    // One word of the parameter block; CALCULATION MODE takes the teach cells along.
    ModelChange SetWord(std::size_t word, std::uint16_t value);
    ModelChange SetGroup(std::size_t vector, std::uint16_t group);
    ModelChange SetHold(std::size_t vector, std::uint16_t hold);
    ModelChange SetTeachCells(const std::vector<TeachCell>& cells);
    // Every group 0 and no mark; every hold (and HOLD FAIL) `hold`.
    ModelChange ResetGroups();
    ModelChange ResetHolds(std::uint16_t hold);

  private:
    ModelChange ApplyRules(bool teachChanged);

    ParameterSet set_;
    ModeOutcome modes_;
    std::array<bool, kVectorCount> groupMarks_{};
    bool triggerListComplete_ = true;
    TransferChoice transfer_;
    TeachRowTexts rowTexts_;
};

}  // namespace params
