#pragma once
// The calibration page and the offset compensation page: the three calibration factors
// (read, written, computed from 100 frames on a white target, or computed by the sensor),
// the raw and calibrated values of every live frame, and the dark offsets (read, written,
// measured with the receiver covered). The offset page is a service page: the shell shows
// it only after the service password; its close button hides it again.
//
// The factor and offset boxes are the master copy while the user edits; the session's
// `corrections` follows them, and a read from the sensor (CorrectionsChanged) fills them.

#include <array>

#include "calib/calib_core.h"
#include "session/page.h"
#include "ui/controls.h"
#include "ui/refresh.h"

class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace calib {

class CalibPage final : public session::Page {
  public:
    explicit CalibPage(session::PageContext& context);

    void LookUp(ui::Lookup& look) override;
    void RegisterBusy(ui::Busy& busy) override;
    void StartUp() override;

    // The raw values, their spread and the calibrated values of the last frame (once per
    // screen refresh while frames come; FlushDisplays writes what is due now).
    void UpdateRawValues();
    void FlushDisplays() { displays_.Flush(); }
    // The factors of the boxes to the sensor; true when it took them as they are.
    bool SendCalibrationFactors();
    // What a calculation came to.
    enum class Calculation {
        NewFactors,     // the factors are in the boxes, not yet sent
        NotCalculated,  // declined, no frame, spread too high, a factor out of range (said)
        Ended,          // STOP, or the line went away: nothing more is done
    };
    // 100 frames, their means, the factors into the boxes; anything but NewFactors leaves
    // the boxes as they were.
    Calculation CalculateCalibrationFactors();
    void SelfCalibration();
    void SendOffsets();
    void MeasureOffsets();

  private:
    static const ui::ControlRow<CalibPage> kControls[];

    // --- callbacks ----------------------------------------------------------------------
    void CBF_ButtonSendCF(ui::Event e);
    void CBF_ButtonGetCF(ui::Event e);
    void CBF_ButtonCalcCF(ui::Event e);
    void CBF_ButtonStartSelfCalibration(ui::Event e);
    void CBF_ButtonSendOffset(ui::Event e);
    void CBF_ButtonGetOffset(ui::Event e);
    void CBF_ButtonCalcOffset(ui::Event e);
    void CBF_ButtonCloseOffsetCompensation(ui::Event e);

    // Controls.
    QPushButton *sendCF = nullptr, *getCF = nullptr, *calcCF = nullptr,
                *selfCalibration = nullptr;
    QPushButton *sendOffset = nullptr, *getOffset = nullptr, *calcOffset = nullptr,
                *closeOffset = nullptr;
    std::array<QSpinBox*, 3> factors{};
    std::array<QSpinBox*, 3> offsets{};
    std::array<QLineEdit*, 3> raw{};
    std::array<QProgressBar*, 3> rawBars{};
    std::array<QLineEdit*, 3> calibrated{};
    std::array<QProgressBar*, 3> calibratedBars{};
    std::array<QLineEdit*, 3> measuredOffsets{};
    QLineEdit* rawDelta = nullptr;
    QSpinBox* setValue = nullptr;
    QSpinBox* maxDelta = nullptr;

    void WriteDisplays();
    void ShowCorrections();
    void TakeBoxes();  // the boxes into the session's corrections
    void Blink(bool red);

    ui::Refresh displays_{[this] { WriteDisplays(); }};
};

}  // namespace calib
