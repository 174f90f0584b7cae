#pragma once
// The parameter controls of the main panel (parameter page, group and hold page, teach
// table) and the transfers SEND and GET between them, the sensor and parameter files.

#include <array>
#include <cstdint>

#include "params/mode_rules.h"
#include "params/parameter_set.h"
#include "session/page.h"
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

class ParameterPanel final : public session::Page, public session::ParameterAccess {
  public:
    explicit ParameterPanel(session::PageContext& context);

    void LookUp(ui::Lookup& look) override;
    void RegisterBusy(ui::Busy& busy) override;
    void StartUp() override;

    // Controls -> ParameterSet (spare words untouched) and back. Values that came from the
    // sensor or a file go back exactly as they came, whatever range a control offers.
    void ReadControls() override;
    void WriteControls() override;
    // The mode rules on the page's controls: forced values written into the controls,
    // controls shown, hidden, dimmed, the teach-table labels, the TRIGGER list, the limits
    // with their messages and the row labels; then the resulting modes go to the session.
    void UpdateModeControls() override;

    // SEND with the selected target, GET with the given one; failures are reported
    // through the link.
    sensorlink::Outcome Send() override;
    sensorlink::Outcome Get(session::TransferTarget target) override;
    void SaveParameterFile();
    void LoadParameterFile();

  private:
    static const ui::ControlRow<ParameterPanel> kControls[];

    // --- callbacks -------------------------------------------------------------------
    void CBF_ButtonSend(ui::Event e);
    void CBF_ButtonGet(ui::Event e);
    void CBF_SelectMem(ui::Event e);
    void CBF_SelectParaSet(ui::Event e);
    void CBF_EditCalcmode(ui::Event e);
    void CBF_EditGridGroups(ui::Event e);
    void CBF_ButtonResetGroupTable(ui::Event e);
    void CBF_ButtonResetHoldTable(ui::Event e);
    void ModeChanged(ui::Event e);  // the mode selectors whose commit re-runs the mode rules

    // Controls.
    QSlider* power = nullptr;
    QSpinBox* powerNumber = nullptr;
    std::array<QWidget*, kBlockWords> wordControls{};  // nullptr for HOLD FAIL (hold table)
    QCheckBox* colorGroup = nullptr;
    QTableWidget* groupTable = nullptr;  // 31 rows: group of vector r-1
    QTableWidget* holdTable = nullptr;   // 32 rows: HOLD FAIL, then hold of vector r-2
    QTableWidget* teachTable = nullptr;  // 31 rows x 5 cells + indicator
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
    void WriteWord(std::size_t word, std::uint16_t value);
    // CONT and SELF only, or every trigger; the value shown stays if the list has it.
    void RebuildTriggerList(bool contAndSelfOnly);
    bool TriggerListComplete() const;
    void WriteTeachCells();
    // Rearranges the teach cells in the table between the 2D and 3D layouts.
    void ConvertTeachCells(std::uint16_t fromMode, std::uint16_t toMode);
    // What the rules decided for the colour evaluation, which needs the digital outputs.
    void ApplyEvaluation(const ModeOutcome& out);
    void PublishModes();
    void PaintRowColors();
    void PrepareTables();
    void PrepareControls();

    // The calculation mode the teach cells in the table are laid out for: the mode the
    // control showed when the cells were last written or converted.
    std::uint16_t teachLayoutMode_ = 0;
};

}  // namespace params
