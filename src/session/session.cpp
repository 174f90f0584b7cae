#include "session/session.h"

#include <memory>

#include "device/corrections.h"
#include "device/sensor.h"
#include "link/link_texts.h"
#include "link/replies.h"

namespace session {

Session::Session(const QString& dir, ui::Popups& popupsIn, const SessionOptions& options,
                 QObject* parent)
    : QObject(parent), programDir(dir), popups(popupsIn) {
    wait_.SetClock(options.clock);
    link_ = std::make_unique<sensorlink::Link>(linkState_, *this, &wait_);
    if (options.portScanner) link_->Ports().SetScanner(options.portScanner);
}

Session::~Session() {
    // Waits still on the stack return at once and touch nothing.
    wait_.Abort();
    link_.reset();
}

void Session::ReportLinkFailure() {
    app_.loopRunning = false;
    linkState_.linkOk = false;
    emit LinkFailed(QString::fromStdString(linkState_.message));
}

bool Session::ReportPlausibility(const sensorlink::Exchange& reply, std::string_view tail) {
    return link_->ReportPlausibility(reply, tail);
}

void Session::ReportRefused(std::string_view text) {
    emit ExchangeRefused(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void Session::ReadControls() {
    if (parameters_) parameters_->ReadControls();
}

void Session::WriteControls() {
    if (!parameters_) return;
    parameters_->WriteControls();
    emit ParametersWritten();
}

void Session::UpdateModeControls() {
    // The page publishes the result through SetModes.
    if (parameters_) parameters_->UpdateModeControls();
}

void Session::SetModes(const ModeView& view) {
    modes_ = view;
    emit ModesChanged();
}

void Session::SetRowColors(const RowColors& colors) {
    rowColors_ = colors;
    emit RowColorsChanged();
}

sensorlink::Outcome Session::SendParameters() {
    app_.sendRequest = false;
    return parameters_ ? parameters_->Send() : sensorlink::Outcome::Refused;
}

sensorlink::Outcome Session::GetParameters() {
    app_.getRequest = false;
    return GetParametersFrom(app_.transferTarget);
}

sensorlink::Outcome Session::GetParametersFrom(TransferTarget target) {
    return parameters_ ? parameters_->Get(target) : sensorlink::Outcome::Refused;
}

void Session::Restart(const QString& panelSettingsPath) {
    app_ = AppState{};
    app_.panelSettingsPath = panelSettingsPath;
}

void Session::StopLoops() {
    app_.loopRunning = false;
    ++stops_;
}

LoopEnd Session::RunLoop(const Loop& loop) {
    using sensorlink::Outcome;
    auto scope = loop.flag ? nullptr : std::make_unique<LoopScope>(*this);
    const std::uint64_t stopsBefore = stops_;
    // A loop that goes on past failed passes does not look at the shared flag, which every
    // report clears: only STOP ends it.
    const auto running = [&] {
        if (stops_ != stopsBefore) return false;
        if (loop.skipFailedPasses) return true;
        return loop.flag ? *loop.flag : app_.loopRunning;
    };
    // A flag cleared by STOP (or the loop's own flag) stopped it; one cleared otherwise, by a
    // report.
    const auto notRunning = [&] {
        return stops_ != stopsBefore || loop.flag ? LoopEnd::Stopped : LoopEnd::Failed;
    };
    double due = wait_.Now();
    LoopEnd end = LoopEnd::Finished;
    for (int pass = 0; loop.passes == 0 || pass < loop.passes; ++pass) {
        if (!running()) return notRunning();
        if (loop.goOn && !loop.goOn()) return LoopEnd::Finished;
        if (loop.beforePass) {
            loop.beforePass();
            if (!running()) return notRunning();
        }
        const double start = wait_.Now();
        if (loop.pace == Pace::Schedule) {
            // The starts keep to a schedule, so the lateness of every wake-up does not add
            // up over a long recording; a start more than a period late (a slow reply, a
            // long pop-up) moves the schedule on instead of catching up.
            if (start - due > loop.period) due = start;
            due += loop.period;
        }
        const sensorlink::Exchange e =
            loop.pace == Pace::SensorSends
                ? link_->ReceiveFrame(ui::kNoDeadline, [&running] { return running(); })
                : device::Measure(*link_);
        bool goOn = true;
        if (e.Frame()) {
            if (loop.frame) goOn = loop.frame(e);
        } else if (e.LinkEnded()) {
            end = LoopEnd::LinkEnded;
        } else if (e.outcome == Outcome::Stopped) {
            end = LoopEnd::Stopped;
        } else if (!loop.skipFailedPasses || e.outcome == Outcome::Refused) {
            // Reported (which cleared the flag); a refused exchange is not, and must not
            // turn into a loop that never waits.
            end = LoopEnd::Failed;
        }
        if (loop.passDone) loop.passDone(e);
        if (end != LoopEnd::Finished) return end;
        if (!goOn) return LoopEnd::Finished;
        if (!running()) return notRunning();
        if (loop.pace == Pace::Schedule) {
            const double left = due - wait_.Now();
            if (left > 0) {
                const ui::WaitEnd waited =
                    wait_.WaitUntil([&running] { return !running(); }, left, this);
                if (waited == ui::WaitEnd::Destroyed) {
                    // The session is gone: its flag and signals with it.
                    (void)scope.release();
                    return LoopEnd::LinkEnded;
                }
                if (waited == ui::WaitEnd::Aborted) return LoopEnd::LinkEnded;
            }
        }
    }
    return LoopEnd::Finished;
}

LoopEnd Session::RunLiveLoop() {
    Loop live;
    // SEND and GET pressed during the loop run here, between two measurements, so only one
    // exchange is ever on the link.
    live.beforePass = [this] {
        if (app_.sendRequest) SendParameters();
        if (app_.loopRunning && app_.getRequest) GetParameters();
    };
    live.frame = [this](const sensorlink::Exchange&) {
        TakeMeasurementReply();
        return true;
    };
    return RunLoop(live);
}

void Session::TakeMeasurementReply() {
    UnpackMeasurement();
    TakeFrame();
}

void Session::UnpackMeasurement() {
    link_->UnpackReply();
    measured_ = TakeMeasuredValues(std::span(linkState_.measurementWords).first<kMeasuredWords>());
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
    session_.app_.loopRunning = false;
    emit session_.LoopEnded();
}

}  // namespace session
