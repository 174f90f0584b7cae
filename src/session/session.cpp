#include "session/session.h"

#include <memory>

#include "device/corrections.h"
#include "device/sensor.h"
#include "link/link_texts.h"
#include "link/replies.h"

namespace session {

Session::Session(const QString& dir, ui::Popups& popupsIn, const SessionOptions& options,
                 QObject* parent)
    : QObject(parent), filesDir(dir), popups(popupsIn) {
    wait_.SetClock(options.clock);
    link_ = std::make_unique<sensorlink::Link>(linkState_, *this, &wait_);
    if (options.portScanner) link_->Ports().SetScanner(options.portScanner);
}

Session::~Session() {
    // Waits still on the stack return at once and touch nothing.
    wait_.Abort();
    link_.reset();
}

void Session::ReportLinkFailure(std::string_view text) {
    app_.loopRunning = false;
    emit LinkFailed(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

bool Session::ReportPlausibility(const sensorlink::Exchange& reply, std::string_view tail) {
    return link_->ReportPlausibility(reply, tail);
}

void Session::ReportRefused(std::string_view text) {
    emit ExchangeRefused(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void Session::SetParameters(const params::ParameterSet& set) {
    EditParameters([&set](params::ParameterModel& m) { return m.Load(set); });
}

void Session::EditParameters(
    const std::function<params::ModelChange(params::ParameterModel&)>& edit) {
    const params::ModelChange change = edit(model_);
    emit ParametersChanged();
    if (change.teachTable) emit TeachTableChanged();
    for (const params::Notice& notice : change.notices) emit ModeNotice(notice);
    const params::ParameterBlock& w = model_.Set().block;
    ModeView view;
    view.digitalOutMode = w.digitalOutMode;
    view.evaluationMode = w.evaluationMode;
    view.calculationMode = w.calculationMode;
    view.analogOutMode = w.analogOutMode;
    view.analogOut = w.analogOut;
    view.externTeach = w.externTeach;
    view.trigger = w.trigger;
    view.colorGroup = w.colorGroup != 0 ? 1 : 0;  // as the switch shows it
    view.maxVecNo = w.maxVecNo;
    view.powerMode = w.powerMode;
    SetModes(view);
}

void Session::SetModes(const ModeView& view) {
    modes_ = view;
    emit ModesChanged();
}

void Session::SetRowColors(const RowColors& colors) {
    rowColors_ = colors;
    emit RowColorsChanged();
}

void Session::SetRowText(std::size_t row, const std::string& text) {
    model_.SetRowText(row, text);
    emit RowTextsChanged();
}

void Session::SetRowTexts(const params::TeachRowTexts& texts) {
    model_.SetRowTexts(texts);
    emit RowTextsChanged();
}

void Session::Restart(const QString& panelSettingsPath) {
    app_ = AppState{};
    model_.SelectTarget(TransferTarget::Ram);
    model_.SelectSet(0);
    app_.panelSettingsPath = panelSettingsPath;
}

void Session::StopLoops() {
    app_.loopRunning = false;
    ++stops_;
}

LoopEnd Session::RunLoop(const Loop& loop) {
    // Every loop, the scope scan with its own flag too, is a loop while it runs.
    LoopScope scope(*this);
    const std::uint64_t stopsBefore = stops_;
    // A loop that goes on past failed passes does not look at the shared flag, which every
    // report clears: only STOP ends it.
    const auto running = [&] {
        if (stops_ != stopsBefore) return false;
        if (loop.skipFailedPasses) return true;
        return loop.flag ? *loop.flag : app_.loopRunning;
    };
    device::Loop run = loop;
    if (loop.skipFailedPasses) {
        // A failed pass was reported, which cleared the shared flag; the passes go on, and
        // while they do the loop runs.
        run.passDone = [this, &stopsBefore, done = loop.passDone](const sensorlink::Exchange& e) {
            if (stops_ == stopsBefore) app_.loopRunning = true;
            if (done) done(e);
        };
    }
    switch (device::RunLoop(*link_, wait_, run, running, this)) {
        case device::LoopEnd::Finished:
            return LoopEnd::Finished;
        case device::LoopEnd::NotRunning:
            // A flag cleared by STOP (or the loop's own flag) stopped it; one cleared
            // otherwise, by a report.
            return stops_ != stopsBefore || loop.flag ? LoopEnd::Stopped : LoopEnd::Failed;
        case device::LoopEnd::Failed:
            return LoopEnd::Failed;
        case device::LoopEnd::LinkEnded:
            return LoopEnd::LinkEnded;
        case device::LoopEnd::Gone:
            // The session is gone: its flag and signals with it.
            scope.SessionGone();
            return LoopEnd::LinkEnded;
    }
    return LoopEnd::Finished;
}

LoopEnd Session::RunLiveLoop() {
    Loop live;
    // An error frame is taken as the sensor sent it (its code said where it has a text):
    // its payload, if any, is what the sensor measured.
    live.errorFrames = ErrorFrames::Take;
    // SEND and GET pressed during the loop run here, between two measurements, so only one
    // exchange is ever on the link.
    live.beforePass = [this] {
        if (app_.sendRequest) SendParameters();
        if (app_.loopRunning && app_.getRequest) GetParameters();
    };
    live.frame = [this](const sensorlink::Exchange& e) {
        TakeMeasurementReply(e);
        return true;
    };
    return RunLoop(live);
}

void Session::TakeMeasurementReply(const sensorlink::Exchange& reply) {
    UnpackMeasurement(reply);
    TakeFrame();
}

void Session::UnpackMeasurement(const sensorlink::Exchange& reply) {
    // The words a short frame does not carry stay as the last frame left them.
    std::array<std::uint16_t, kMeasuredWords> words = MeasuredWords(measured_);
    sensorlink::UnpackMeasurement(reply.payload, words);
    measured_ = TakeMeasuredValues(words);
}

bool Session::ReadCorrectionValues() {
    const auto values = device::ReadCorrections(*link_);
    if (!values) return false;
    corrections_.factors = values->factors;
    corrections_.offsets = values->offsets;
    emit CorrectionsChanged();
    return true;
}

void Session::AddFrameConsumer(FrameStage stage, std::function<void()> consumer) {
    consumers_[static_cast<std::size_t>(stage)].push_back(std::move(consumer));
}

void Session::ClearFrameConsumers() {
    for (auto& stage : consumers_) stage.clear();
}

void Session::TakeFrame() {
    for (const auto& stage : consumers_)
        for (const auto& consume : stage) consume();
    emit FrameTaken();
}

void Session::SetIdentificationText(const QString& text) {
    identification_ = text;
    emit IdentificationChanged(text);
}

void Session::SetSensorConfirmed(bool confirmed) {
    sensorConfirmed_ = confirmed;
    emit SensorConfirmedChanged(confirmed);
}

void Session::Close() {
    StopLoops();
    wait_.Abort();
}

LoopScope::LoopScope(Session& session) : session_(session) {
    session_.app_.loopRunning = true;
    emit session_.LoopStarted();
}

LoopScope::~LoopScope() {
    if (gone_) return;
    session_.app_.loopRunning = false;
    emit session_.LoopEnded();
}

}  // namespace session
