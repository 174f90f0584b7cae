#pragma once
// The parameter controls of the main panel (parameter page, group and hold page): they show
// the session's parameter model and edit it through it; SEND, GET and the selectors of the
// memory and the parameter set. The teach table is the teach page's.

#include <array>
#include <cstdint>

#include "params_core/mode_rules.h"
#include "params_core/parameter_set.h"
#include "session/page.h"
#include "session/session.h"
#include "ui/controls.h"

class QCheckBox;
class QPushButton;
class QSlider;
class QSpinBox;
class QTableWidget;
class QWidget;

namespace params {

inline constexpr int kTeachColumns = 5;  // cells; column 6 is the row colour indicator

// The object name on the main panel of the control of parameter-block word `word`; nullptr
// for HOLD FAIL (a cell of the hold table) and for a word beyond the block.
const char* WordControlName(std::size_t word);

class ParameterPanel final : public session::Page {
  public:
    explicit ParameterPanel(session::PageContext& context);

    void LookUp(ui::Lookup& look) override;
    void RegisterBusy(ui::Busy& busy) override;
    void StartUp() override;

  private:
    static const ui::ControlRow<ParameterPanel> kControls[];

    // --- callbacks -------------------------------------------------------------------
    void CBF_ButtonSend(ui::Event e);
    void CBF_ButtonGet(ui::Event e);
    void CBF_SelectMem(ui::Event e);
    void CBF_SelectParaSet(ui::Event e);
    void CBF_EditGridGroups(ui::Event e);
    void CBF_EditGridHold(ui::Event e);
    void CBF_ButtonResetGroupTable(ui::Event e);
    void CBF_ButtonResetHoldTable(ui::Event e);
    // A word control changed by the user: the word into the model.
    void WordEdited(std::size_t word, ui::Event e);
    void PowerTyped(ui::Event e);

    // Controls.
    QSlider* power = nullptr;
    QSpinBox* powerNumber = nullptr;
    std::array<QWidget*, kBlockWords> wordControls{};  // nullptr for HOLD FAIL (hold table)
    QCheckBox* colorGroup = nullptr;
    QTableWidget* groupTable = nullptr;  // 31 rows: group of vector r-1
    QTableWidget* holdTable = nullptr;   // 32 rows: HOLD FAIL, then hold of vector r-2
    QSpinBox* resetHold = nullptr;
    QPushButton* resetGroups = nullptr;
    QPushButton* resetHolds = nullptr;
    QPushButton* send = nullptr;
    QPushButton* get = nullptr;
    QPushButton* selectRam = nullptr;
    QPushButton* selectEeprom = nullptr;
    QPushButton* selectFile = nullptr;
    QPushButton* selectParaSet0 = nullptr;
    QPushButton* selectParaSet1 = nullptr;

    std::uint16_t ReadWord(std::size_t word) const;
    // The control of `word` shows `value` (a check box: on for anything but 0).
    bool Shows(std::size_t word, std::uint16_t value) const;
    void WriteWord(std::size_t word, std::uint16_t value);
    // CONT and SELF only, or every trigger; the value shown stays if the list has it.
    void RebuildTriggerList(bool contAndSelfOnly);
    bool TriggerListComplete() const;
    // The model's values into the controls, then what the mode rules show, hide and dim.
    void ShowModel();
    void ShowModes();
    void ShowNotice(const Notice& notice);
    void PaintRowColors();
    void PrepareTables();
    void PrepareControls();
};

}  // namespace params
