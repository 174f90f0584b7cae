#include "calib/calib_page.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

#include "device/corrections.h"
#include "link/link_texts.h"
#include "link/replies.h"
#include "ui/controls.h"

namespace calib {

using ui::Text;

namespace {

using C = CalibPage;
using ui::Field;

constexpr const char* kFactorHelp =
    " Edit Box for the calibration factor.\n Default value is 1024. \nMinimum value is 0. Maximum "
    "value is 4096.";
constexpr const char* kRawHelp = "Displays the RAW values of RED, GREEN and BLUE.";
constexpr const char* kCalibratedHelp =
    "Displays the calibrated values of RED, GREEN and BLUE. \nFormula: CALIBRATED DATA = (RAW "
    "DATA * CF) / 1024 ";
constexpr const char* kOffsetHelp = "Edit Box for the offset values. ";
constexpr const char* kMeasuredOffsetHelp = "Displays the offset values. ";

}  // namespace

const ui::ControlRow<C> C::kControls[] = {
    {"MAINP", "ButtonSendCF", Field<&C::sendCF>(), "CBF_ButtonSendCF", &C::CBF_ButtonSendCF,
     "Calibration factors for RED,GREEN and BLUE will be send to the EEPROM of the sensor."},
    {"MAINP", "ButtonGetCF", Field<&C::getCF>(), "CBF_ButtonGetCF", &C::CBF_ButtonGetCF,
     "Calibration factors for RED,GREEN and BLUE will be read from the sensor."},
    {"MAINP", "ButtonCalcCF", Field<&C::calcCF>(), "CBF_ButtonCalcCF", &C::CBF_ButtonCalcCF,
     "Calculate the calibration factors for RED, GREEN and BLUE. "},
    {"MAINP", "ButtonSelfCalibration", Field<&C::selfCalibration>(),
     "CBF_ButtonStartSelfCalibration", &C::CBF_ButtonStartSelfCalibration,
     " Sensor calculates the calibration factors for RED, GREEN and BLUE. "},
    {"MAINP", "EditSetValue", Field<&C::setValue>(), "CBF_EditSetValue", nullptr,
     "Choose the setvalue for RED,GREEN and BLUE. "},
    {"MAINP", "EditMaxDelta", Field<&C::maxDelta>(), "CBF_EditMaxDelta", nullptr,
     "Choose the maximum DELTA value of RED,GREEN and BLUE. "},
    {"MAINP", "DispRawDelta", Field<&C::rawDelta>(), "CBF_DispRawDelta", nullptr,
     "Displays the delta of the raw values of RED, GREEN and BLUE. \nDelta is the peak to peak "
     "value of the lowest number of RED, GREEN or BLUE \nand the highest number of RED, GREEN or "
     "BLUE of the RAW-DATAS."},
    {"MAINP", "ButtonSendOffset", Field<&C::sendOffset>(), "CBF_ButtonSendOffset",
     &C::CBF_ButtonSendOffset,
     "Offset values for RED,GREEN and BLUE will be send to the EEPROM of the sensor."},
    {"MAINP", "ButtonGetOffset", Field<&C::getOffset>(), "CBF_ButtonGetOffset",
     &C::CBF_ButtonGetOffset, "Offset values for RED,GREEN and BLUE will be read from the sensor."},
    {"MAINP", "ButtonCalcOffset", Field<&C::calcOffset>(), "CBF_ButtonCalcOffset",
     &C::CBF_ButtonCalcOffset, "Detect the offset values for RED, GREEN and BLUE. "},
    {"MAINP", "ButtonCloseOffsetCompensation", Field<&C::closeOffset>(),
     "CBF_ButtonCloseOffsetCompensation", &C::CBF_ButtonCloseOffsetCompensation,
     "Close PANEL and return to MAIN PANEL. ", "Close offset page"},
};

namespace {

// Controls of one kind per colour: red, green, blue.
struct Triple {
    const char* names[3];
    const char* callbacks[3];
    const char* help;
    const char* labels[3];
};
const Triple kFactorBoxes = {{"EditCFR", "EditCFG", "EditCFB"},
                             {"CBF_EditCFR", "CBF_EditCFG", "CBF_EditCFB"},
                             kFactorHelp,
                             {"Calibration factor red", "Calibration factor green",
                              "Calibration factor blue"}};
const Triple kOffsetBoxes = {{"EditRedOffset", "EditGreenOffset", "EditBlueOffset"},
                             {"CBF_EditRedOffset", "CBF_EditGreenOffset", "CBF_EditBlueOffset"},
                             kOffsetHelp,
                             {"Offset red", "Offset green", "Offset blue"}};
const Triple kRawDisplays = {{"DispRawRed", "DispRawGreen", "DispRawBlue"},
                             {"CBF_DispBarsRAW", "CBF_DispBarsRAW", "CBF_DispBarsRAW"},
                             kRawHelp,
                             {"Raw red", "Raw green", "Raw blue"}};
const Triple kRawBars = {{"BarRawRed", "BarRawGreen", "BarRawBlue"},
                         {"CBF_DispBarsRAW", "CBF_DispBarsRAW", "CBF_DispBarsRAW"},
                         kRawHelp,
                         {"Raw red bar", "Raw green bar", "Raw blue bar"}};
const Triple kCalDisplays = {{"DispCalRed", "DispCalGreen", "DispCalBlue"},
                             {"CBF_DispBars", "CBF_DispBars", "CBF_DispBars"},
                             kCalibratedHelp,
                             {"Calibrated red", "Calibrated green", "Calibrated blue"}};
const Triple kCalBars = {{"BarCalRed", "BarCalGreen", "BarCalBlue"},
                         {"CBF_DispBars", "CBF_DispBars", "CBF_DispBars"},
                         kCalibratedHelp,
                         {"Calibrated red bar", "Calibrated green bar", "Calibrated blue bar"}};
const Triple kMeasuredOffsets = {
    {"DispRedOffset", "DispGreenOffset", "DispBlueOffset"},
    {"CBF_DispRedOffset", "CBF_DispGreenOffset", "CBF_DispBlueOffset"},
    kMeasuredOffsetHelp,
    {"Measured offset red", "Measured offset green", "Measured offset blue"}};

template <class T>
void LookUpTriple(ui::Lookup& look, ui::Runtime& runtime, const Triple& t, std::array<T*, 3>& out) {
    for (std::size_t i = 0; i < 3; ++i) {
        out[i] = static_cast<T*>(ui::LookUpControl(look, "MAINP", t.names[i], &T::staticMetaObject));
        if (out[i])
            ui::AttachControl(runtime, out[i], t.callbacks[i], {}, QString::fromLatin1(t.help),
                              t.labels[i]);
    }
}

constexpr const char* kSendPowerTitle = "SEND POWER";
constexpr const char* kSendPowerText =
    "Make sure, that the sensor shines on a WHITE target! \nSelect a proper POWER value that the "
    "RAW DATAS are within the dynamic range.  \nRepeat as long as the intensity for the RAW DATAS "
    "is NOT OK.";
constexpr const char* kConfirmTitle = "CONFIRM CALCULATION!";
constexpr const char* kConfirmText =
    "Are you sure, that you have selected the right calibration parameters? ";
constexpr const char* kDeclinedText =
    "Please insert the right values and press \n CALCULATE CALIBRATION FACTORS again.";
constexpr const char* kDeltaTooHigh =
    "The maximum delta of the raw data values RED,GREEN and BLUE is to high. \nCalibration is not "
    "possible. \nVerify, that the sensor shines on a WHITE target! \nIncrease MAXIMUM DELTA OF "
    "RAW DATAS! ";
constexpr const char* kOutOfRange =
    "One of the calibration factor is out of range. \nCalibration is not possible. \nVerify, that "
    "the senor shines on a WHITE target! \nChoose a proper POWER value. ";
constexpr const char* kNoFrames =
    "No measurement of the calculation reached the PC. \nCalibration is not possible. \nCheck the "
    "connection to the sensor and try again. ";
constexpr const char* kPassedTitle = "CALIBRATION PASSED!";
constexpr const char* kPassedText =
    "Calibration successful! \nCalibration factors were sent to the EEPROM of the sensor. \nGO "
    "mode will be activated. ";
constexpr const char* kConfirmWithSend = "Confirm calibration factors with SEND CF.";
constexpr const char* kCalcOffsetTitle = "CALCULATE OFFSET";
constexpr const char* kCalcOffsetText = "Make sure, that the receiver of the sensor is covered!";
constexpr int kBlinkEvery = 5;
// A measurement frame up to the raw values the means are taken of.
constexpr std::size_t kMeasurementBytes = 2 * 14;

void ShowBar(QProgressBar* bar, int value) {
    const int v = std::clamp(value, bar->minimum(), bar->maximum());
    if (bar->value() != v) bar->setValue(v);
}

}  // namespace

CalibPage::CalibPage(session::PageContext& context) : Page(context) {}

void CalibPage::LookUp(ui::Lookup& look) {
    ui::AttachControls<C>(look, ctx.runtime, *this, kControls);
    LookUpTriple(look, ctx.runtime, kFactorBoxes, factors);
    LookUpTriple(look, ctx.runtime, kOffsetBoxes, offsets);
    LookUpTriple(look, ctx.runtime, kRawDisplays, raw);
    LookUpTriple(look, ctx.runtime, kRawBars, rawBars);
    LookUpTriple(look, ctx.runtime, kCalDisplays, calibrated);
    LookUpTriple(look, ctx.runtime, kCalBars, calibratedBars);
    LookUpTriple(look, ctx.runtime, kMeasuredOffsets, measuredOffsets);
}

void CalibPage::RegisterBusy(ui::Busy& busy) {
    for (QPushButton* b : {sendCF, getCF, calcCF, selfCalibration, sendOffset, getOffset, calcOffset})
        busy.Register(b, ui::BusyRole::Transaction);
}

void CalibPage::StartUp() {
    ui::SetButtonColour(calcCF, ui::kButtonIdle);
    // The boxes are what SEND writes and what the hardware file records: the session's copy
    // follows every edit.
    for (QSpinBox* box : {factors[0], factors[1], factors[2], offsets[0], offsets[1], offsets[2]})
        QObject::connect(box, &QSpinBox::valueChanged, ctx.mainPanel, [this] { TakeBoxes(); });
    TakeBoxes();
    QObject::connect(&S(), &session::Session::CorrectionsChanged, ctx.mainPanel,
                     [this] { ShowCorrections(); });
    // The raw values follow every frame of whichever loop runs, once the page is in front.
    displays_.ShownIn(ui::PageWidget(ctx.mainTabs, session::kPageCalibration));
    S().AddFrameConsumer(session::FrameStage::Displays, [this] { UpdateRawValues(); });
    QObject::connect(&S(), &session::Session::LoopEnded, ctx.mainPanel, [this] { FlushDisplays(); });
}

// --- displays --------------------------------------------------------------------------------

void CalibPage::UpdateRawValues() {
    displays_.Request();
}

void CalibPage::WriteDisplays() {
    const session::MeasuredValues& m = S().Measured();
    const std::array<int, 3> rawValues = {m.rawRed, m.rawGreen, m.rawBlue};
    const std::array<int, 3> calValues = {m.red, m.green, m.blue};
    for (std::size_t i = 0; i < 3; ++i) {
        ui::SetValue(raw[i], rawValues[i]);
        ShowBar(rawBars[i], rawValues[i]);
        ui::SetValue(calibrated[i], calValues[i]);
        ShowBar(calibratedBars[i], calValues[i]);
    }
    ui::SetValue(rawDelta, RawDelta(m.rawRed, m.rawGreen, m.rawBlue));
}

void CalibPage::ShowCorrections() {
    const session::Corrections c = S().CorrectionValues();
    for (std::size_t i = 0; i < 3; ++i) {
        ui::SetValue(factors[i], c.factors[i]);
        ui::SetValue(offsets[i], c.offsets[i]);
    }
}

void CalibPage::TakeBoxes() {
    session::Corrections c;
    for (std::size_t i = 0; i < 3; ++i) {
        c.factors[i] = static_cast<std::uint16_t>(factors[i]->value());
        c.offsets[i] = static_cast<std::uint16_t>(offsets[i]->value());
    }
    S().SetCorrections(c);
}

// --- calibration factors -----------------------------------------------------------------------

bool CalibPage::SendCalibrationFactors() {
    TakeBoxes();
    return device::WriteCorrections(S().Link(), device::Correction::Factors,
                                    S().CorrectionValues().factors) == sensorlink::Outcome::Reply;
}

void CalibPage::CBF_ButtonSendCF(ui::Event e) {
    if (e != ui::Event::Commit) return;
    ui::BusyScope busy(ctx.busy);
    SendCalibrationFactors();
}

void CalibPage::CBF_ButtonGetCF(ui::Event e) {
    if (e != ui::Event::Commit) return;
    ui::BusyScope busy(ctx.busy);
    S().ReadCorrectionValues();
}

void CalibPage::CBF_ButtonCalcCF(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (!S().popups.Confirm(Text(kSendPowerTitle), Text(kSendPowerText))) return;
    ui::BusyScope busy(ctx.busy);
    const Calculation calculation = CalculateCalibrationFactors();
    if (calculation == Calculation::Ended) return;
    // Only factors this calculation produced go to the EEPROM, and success is said only once
    // they are there.
    if (calculation == Calculation::NewFactors && SendCalibrationFactors())
        S().popups.Message(Text(kPassedTitle), Text(kPassedText));
    // Then the live loop, to see the calibrated values, while there is a line to run it on.
    if (S().Link().Up()) S().RunLiveLoop();
}

void CalibPage::Blink(bool red) {
    ui::SetButtonColour(calcCF, red ? ui::kButtonRunning : ui::kButtonIdle);
}

CalibPage::Calculation CalibPage::CalculateCalibrationFactors() {
    S().StopLoops();
    ui::Popups& popups = S().popups;
    if (!popups.Confirm(Text(kConfirmTitle), Text(kConfirmText))) {
        popups.Message(Text(ui::kInfoTitle), Text(kDeclinedText));
        return Calculation::NotCalculated;
    }
    PassSums sums;
    int pass = 0;
    session::Loop passes;
    passes.passes = kCalculationPasses;
    // A failed pass has been reported and adds nothing; the passes go on.
    passes.skipFailedPasses = true;
    // Only a measurement counts: an error frame's words would be those of an earlier frame,
    // and a mean over them no calibration.
    passes.errorFrames = session::ErrorFrames::Skip;
    passes.beforePass = [&] {
        if (pass % kBlinkEvery == 0) Blink(pass / kBlinkEvery % 2 == 0);
    };
    passes.frame = [&](const sensorlink::Exchange& e) {
        if (e.payload.size() < kMeasurementBytes) return true;  // a short frame no more
        S().UnpackMeasurement(e);
        UpdateRawValues();
        const session::MeasuredValues& m = S().Measured();
        sums.Add(m.rawRed, m.rawGreen, m.rawBlue);
        return true;
    };
    passes.passDone = [&](const sensorlink::Exchange&) { ++pass; };
    const session::LoopEnd end = S().RunLoop(passes);
    Blink(false);
    FlushDisplays();
    if (end != session::LoopEnd::Finished) return Calculation::Ended;
    Means means;
    if (!MeansOf(sums, &means)) {
        popups.Message(Text(ui::kAttentionTitle), Text(kNoFrames));
        return Calculation::NotCalculated;
    }
    const Factors f = ComputeFactors(means, static_cast<std::uint16_t>(setValue->value()),
                                     static_cast<std::uint16_t>(maxDelta->value()));
    if (f.result == FactorResult::DeltaTooHigh) {
        popups.Message(Text(ui::kAttentionTitle), Text(kDeltaTooHigh));
        return Calculation::NotCalculated;
    }
    if (f.result == FactorResult::OutOfRange) {
        popups.Message(Text(ui::kAttentionTitle), Text(kOutOfRange));
        return Calculation::NotCalculated;
    }
    for (std::size_t i = 0; i < 3; ++i) ui::SetValue(factors[i], f.values[i]);
    return Calculation::NewFactors;
}

void CalibPage::CBF_ButtonStartSelfCalibration(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (!S().popups.Confirm(Text(kSendPowerTitle), Text(kSendPowerText))) return;
    ui::BusyScope busy(ctx.busy);
    SelfCalibration();
}

void CalibPage::SelfCalibration() {
    const auto result = device::SelfCalibrate(S().Link());
    if (!result) return;
    for (std::size_t i = 0; i < 3; ++i) ui::SetValue(factors[i], result->factors[i]);
    ui::SetValue(setValue, result->setValue);
    ui::SetValue(maxDelta, result->maxDelta);
    TakeBoxes();
    S().popups.Message(Text(ui::kAttentionTitle), Text(kConfirmWithSend));
}

// --- offsets ----------------------------------------------------------------------------------

void CalibPage::SendOffsets() {
    TakeBoxes();
    device::WriteCorrections(S().Link(), device::Correction::Offsets,
                             S().CorrectionValues().offsets);
}

void CalibPage::MeasureOffsets() {
    if (!device::MeasureOffsets(S().Link()).Ok()) return;
    if (!S().ReadCorrectionValues()) return;
    for (std::size_t i = 0; i < 3; ++i) ui::SetValue(measuredOffsets[i], S().CorrectionValues().offsets[i]);
}

void CalibPage::CBF_ButtonSendOffset(ui::Event e) {
    if (e != ui::Event::Commit) return;
    ui::BusyScope busy(ctx.busy);
    SendOffsets();
}

void CalibPage::CBF_ButtonGetOffset(ui::Event e) {
    if (e != ui::Event::Commit) return;
    ui::BusyScope busy(ctx.busy);
    S().ReadCorrectionValues();
}

void CalibPage::CBF_ButtonCalcOffset(ui::Event e) {
    if (e != ui::Event::Commit) return;
    if (!S().popups.Confirm(Text(kCalcOffsetTitle), Text(kCalcOffsetText))) return;
    ui::BusyScope busy(ctx.busy);
    MeasureOffsets();
}

void CalibPage::CBF_ButtonCloseOffsetCompensation(ui::Event e) {
    if (e != ui::Event::Commit) return;
    // Locked again: only the service password shows the page once more.
    ui::SetTabPageVisible(ctx.mainTabs, session::kPageOffset, false);
    ui::SetActiveTabPage(ctx.mainTabs, session::kPageParameter);
}

}  // namespace calib
