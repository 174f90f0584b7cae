#include "session/session.h"

#include "link/commands.h"
#include "link/link_texts.h"
#include "link/replies.h"

namespace session {

Session::Session(const QString& dir, ui::Popups& popupsIn, const SessionOptions& options,
                 QObject* parent)
    : QObject(parent), programDir(dir), popups(popupsIn) {
    wait_.SetClock(options.clock);
    link_ = std::make_unique<sensorlink::Link>(linkState, *this, &wait_);
    if (options.portScanner) link_->Ports().SetScanner(options.portScanner);
}

Session::~Session() {
    // Waits still on the stack return at once and touch nothing.
    wait_.Abort();
    link_.reset();
}

void Session::ReportLinkFailure() {
    app.loopRunning = false;
    linkState.linkOk = false;
    if (link_) app.tcpConnected = link_->TcpConnected();  // a server may have closed
    emit LinkFailed(QString::fromStdString(linkState.message));
}

void Session::ReportFailure(const QString& text) {
    linkState.message = text.toStdString();
    ReportLinkFailure();
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
    modes = view;
    emit ModesChanged();
}

void Session::SetRowColors(const RowColors& colors) {
    rowColors = colors;
    emit RowColorsChanged();
}

void Session::SendParameters() {
    if (parameters_) parameters_->Send();
}

void Session::GetParameters() {
    if (parameters_) parameters_->Get();
}

void Session::RunLiveLoop() {
    LoopScope running(*this);
    while (app.loopRunning) {
        // SEND and GET pressed during the loop run here, between two measurements, so only
        // one exchange is ever on the link.
        if (app.sendRequest) SendParameters();
        if (!app.loopRunning) break;
        if (app.getRequest) GetParameters();
        if (!app.loopRunning) break;
        if (link_->Command(sensorlink::cmd::kMeasure, 0) != 1) {
            // Reported already, which cleared the flag; a refused or aborted exchange is
            // not, and must not turn into a loop that never waits.
            break;
        }
        // An error reply carries no frame; it has been reported and ended the loop.
        if (linkState.replyCommand == 0) break;
        TakeMeasurementReply();
    }
}

void Session::TakeMeasurementReply() {
    UnpackMeasurement();
    TakeFrame();
}

void Session::UnpackMeasurement() {
    link_->UnpackReply();
    measured = TakeMeasuredValues(std::span(linkState.measurementWords).first<kMeasuredWords>());
}

bool Session::ReadCorrectionValues() {
    if (link_->Command(sensorlink::cmd::kReadCorrection, 0) != 1) return false;
    if (linkState.replyCommand == 0) return false;  // an error reply, reported
    const auto values = sensorlink::DecodeCorrectionValues(link_->ReplyPayload());
    if (!values) {
        // Words the reply does not carry would be stale ones, then sent back to the EEPROM.
        ReportFailure(QString::fromUtf8(sensorlink::kDataFrameText.data(),
                                        static_cast<qsizetype>(sensorlink::kDataFrameText.size())));
        return false;
    }
    link_->UnpackWords();
    corrections.factors = values->factors;
    corrections.offsets = values->offsets;
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

void Session::Close() {
    app.loopRunning = false;
    wait_.Abort();
}

LoopScope::LoopScope(Session& session) : session_(session) {
    session_.app.loopRunning = true;
    emit session_.LoopStarted();
}

LoopScope::~LoopScope() {
    session_.app.loopRunning = false;
    emit session_.LoopEnded();
}

}  // namespace session
