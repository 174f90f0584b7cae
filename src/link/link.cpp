#include "link/link.h"

#include <QThread>
#include <algorithm>

#include "link/frame.h"
#include "link/link_impl.h"
#include "link/link_texts.h"

namespace sensorlink {

using Status = FrameAssembler::Status;

Link::Impl::Impl(Link& owner_, LinkState& state_, FailureObserver& observer_, ui::EventWait* wait_)
    : owner(owner_), state(state_), observer(observer_) {
    if (!wait_) {
        ownWait = std::make_unique<ui::EventWait>();
        wait_ = ownWait.get();
    }
    wait = wait_;
}

ui::WaitEnd Link::Impl::WaitUntil(std::function<bool()> done, double timeoutSeconds) {
    return wait->WaitUntil(std::move(done), timeoutSeconds, &owner);
}

void Link::Impl::Fail(std::string_view text) {
    if (Aborted()) return;
    state.message.assign(text.begin(), text.end());
    observer.ReportLinkFailure(state.message);
}

void Link::Impl::Fail(const QString& text) {
    Fail(std::string_view(text.toStdString()));
}

bool Link::Impl::Refuse() {
    if (transacting == 0) return false;
    observer.ReportRefused(kExchangeRunningText);
    return true;
}

Transport& Link::Impl::Active() {
    if (state.comProtocol == ComProtocol::Tcp) return tcp;
    return serial;
}

const Transport& Link::Impl::Active() const {
    if (state.comProtocol == ComProtocol::Tcp) return tcp;
    return serial;
}

void Link::Impl::Arrived(Transport& transport) {
    if (!IsActive(transport)) {
        if (QIODevice* device = transport.Source()) device->readAll();
        return;
    }
    Pull();
    wait->Wake();
}

void Link::Impl::Changed() {
    wait->Wake();
}

void Link::Impl::ServerClosed(Transport& transport) {
    wait->Wake();
    if (!IsActive(transport)) return;
    ++closedReports;
    Fail(kServerClosedText);
}

// --- receiving ---------------------------------------------------------------------------

void Link::Impl::Pull() {
    QIODevice* device = Active().Source();
    if (device && device->isOpen() && device->bytesAvailable() > 0) {
        const std::span<std::uint8_t> space = assembler.Space();
        if (!space.empty()) {
            const qint64 got = device->read(reinterpret_cast<char*>(space.data()),
                                            static_cast<qint64>(space.size()));
            if (got > 0) assembler.Commit(static_cast<std::size_t>(got));
        }
    }
}

void Link::Impl::DiscardInput() {
    Active().DropInput();
    assembler.Clear();
    streamBroken = false;
}

void Link::Impl::Send(std::span<const std::uint8_t> request) {
    if (TransportDown()) return;  // the wait for the reply says so
    Active().Write(reinterpret_cast<const char*>(request.data()),
                   static_cast<qint64>(request.size()));
    // The request is with the system now, but what carries it on may be waiting for this
    // core: the terminal driver's work that hands it to the other side, or a process on this
    // machine woken to answer it (the simulator). Whatever the wait for the reply runs next
    // (a repaint, a chart) would hold that up for as long as it takes, and the reply with
    // it; let it go first.
    QThread::yieldCurrentThread();
}

Link::Impl::Got Link::Impl::Failed(std::string_view text) {
    streamBroken = true;
    QPointer<Link> guard(&owner);
    Fail(text);
    return guard ? Got::Failed : Got::Gone;
}

Exchange Link::Impl::Result(Got got) const {
    Exchange e;
    switch (got) {
        case Got::Frame:
            e.command = header.command;
            e.parameter = header.parameter;
            e.outcome = e.command == 0 ? Outcome::ErrorReply : Outcome::Reply;
            e.payload = payload;
            if (e.command == 0) e.failure = ErrorReplyText(e.parameter);
            break;
        case Got::Stopped:
            e.outcome = Outcome::Stopped;
            break;
        case Got::Failed:
            e.outcome = TransportDown() ? Outcome::LinkDown : Outcome::Failed;
            // Reported by now: by this exchange, or by the server that closed the connection.
            e.failure = state.message;
            break;
        case Got::Quiet:
        case Got::Gone:
            e.outcome = Outcome::Aborted;
            break;
    }
    return e;
}

Link::Impl::Got Link::Impl::Receive(double headerTimeout, const std::function<bool()>& keepWaiting,
                                    std::string_view headerLineText) {
    const auto stopped = [&keepWaiting] { return keepWaiting && !keepWaiting(); };
    // A server that closes the connection has said so itself: the exchange that fails for
    // it (the one that waited, or the next one) is not reported a second time.
    const auto fail = [this](std::string_view text) {
        if (closedClaimed != closedReports && TransportDown()) {
            closedClaimed = closedReports;
            streamBroken = true;
            return Got::Failed;
        }
        return Failed(text);
    };
    const auto lineError = [this] { return Active().LineStatus() > 0; };

    for (;;) {
        // The header: frames that came before the call are taken first.
        Pull();
        if (!assembler.HasHeader()) {
            if (stopped()) return Got::Stopped;
            const ui::WaitEnd end = WaitUntil(
                [this, &stopped] { return assembler.HasHeader() || TransportDown() || stopped(); },
                headerTimeout);
            if (end == ui::WaitEnd::Destroyed) return Got::Gone;
            if (end == ui::WaitEnd::Aborted) return Got::Quiet;
            Pull();
            if (!assembler.HasHeader()) {
                if (stopped()) return Got::Stopped;
                const bool line = lineError();
                return fail(line ? headerLineText : kTimeoutText);
            }
        }
        // A line error ends the exchange even when bytes arrived: they cannot be trusted.
        if (lineError()) return fail(headerLineText);

        const Status headerStatus = assembler.Front();
        if (headerStatus == Status::BadHeader) return fail(kHeaderFrameText);
        if (headerStatus == Status::TooLong) {
            // The reply buffer cannot hold it; none of the payload is looked at.
            return fail(kDataFrameText);
        }
        const FrameHeader front = assembler.Header();
        const std::uint32_t generation = assembler.Generation();
        if (front.command == 0) {
            // An error reply is reported, but the frame is still taken with its payload.
            const std::string_view text = ErrorReplyText(front.parameter);
            if (text.empty()) observer.NoteErrorCode(front.parameter);
            if (!text.empty()) {
                QPointer<Link> guard(&owner);
                Fail(text);
                if (!guard) return Got::Gone;
                if (Aborted()) return Got::Quiet;
                if (assembler.Generation() != generation) continue;
            }
        }

        // The payload has its own time.
        if (assembler.Front() == Status::Incomplete) {
            const ui::WaitEnd end = WaitUntil(
                [this, &stopped, generation] {
                    return assembler.Generation() != generation ||
                           assembler.Front() != Status::Incomplete || TransportDown() || stopped();
                },
                kReplyTimeoutSeconds);
            if (end == ui::WaitEnd::Destroyed) return Got::Gone;
            if (end == ui::WaitEnd::Aborted) return Got::Quiet;
            Pull();
            // An exchange that ran inside this wait took the frame: start over with what
            // comes after it.
            if (assembler.Generation() != generation) continue;
            if (assembler.Front() == Status::Incomplete) {
                if (stopped()) return Got::Stopped;
                return fail(kTimeoutText);
            }
            if (lineError()) return fail(kTimeoutText);
        }

        if (assembler.Front() == Status::BadPayload) return fail(kDataFrameText);
        header = front;
        const std::span<const std::uint8_t> bytes = assembler.FrontBytes().subspan(kHeaderSize);
        payload.assign(bytes.begin(), bytes.end());
        assembler.Pop();
        streamBroken = false;
        Pull();  // what stayed in the device for want of room
        return Got::Frame;
    }
}

Link::Impl::Got Link::Impl::ReceiveReply(std::uint8_t command,
                                         const std::function<bool(const Exchange&)>& isReply) {
    const double deadline = wait->Now() + kReplyTimeoutSeconds;
    for (;;) {
        const Got got = Receive(std::max(deadline - wait->Now(), 0.0), {});
        if (got != Got::Frame) return got;
        const bool answers = header.command == 0 || header.command == command;
        if (!answers) {
            ++strayFrames;
        } else if (!isReply || isReply(Result(got))) {
            return got;
        }
        // Past the reply time only a frame already here can still be the reply.
        Pull();
        if (wait->Now() >= deadline && !assembler.HasHeader()) return Failed(kTimeoutText);
    }
}

// --- Link --------------------------------------------------------------------------------

Link::Link(LinkState& state, FailureObserver& observer, ui::EventWait* wait, QObject* parent)
    : QObject(parent), impl_(std::make_unique<Impl>(*this, state, observer, wait)) {}

Link::~Link() {
    // Waits of the link still on the stack (the link destroyed from a callback inside one)
    // have the link as their guard: they return with Destroyed and touch nothing.
    if (QSerialPort* port = impl_->serial.port) {
        QObject::disconnect(port, nullptr, this, nullptr);
        port->close();
    }
    if (QTcpSocket* socket = impl_->tcp.socket) {
        QObject::disconnect(socket, nullptr, this, nullptr);
        socket->abort();
    }
}

ui::EventWait& Link::Wait() {
    return *impl_->wait;
}

void Link::SetClock(Clock* clock) {
    impl_->wait->SetClock(clock);
}

Exchange Link::Impl::Request(std::span<const std::uint8_t> request, bool dropPending,
                             const std::function<bool(const Exchange&)>& isReply) {
    if (Aborted()) return Exchange(Outcome::Aborted);
    if (Refuse()) return Exchange(Outcome::Refused);
    // After a failure nobody knows where the next frame starts.
    if (dropPending || streamBroken) DiscardInput();
    Send(request);
    ++transacting;
    const Got got = ReceiveReply(request[1], isReply);
    if (got == Got::Gone) return Exchange(Outcome::Aborted);
    --transacting;
    // Amid frames, the frames after a failure cannot be told apart: drop them all. (After a
    // request of its own the stream stays marked broken, and the next wait drops then.)
    if (got == Got::Failed && !dropPending) DiscardInput();
    return Result(got);
}

Exchange Link::Command(std::uint8_t command, std::uint16_t parameter,
                       std::span<const std::uint16_t> words) {
    // A frame never holds more than the buffer does.
    const std::vector<std::uint8_t> request =
        MakeWordFrame(command, parameter, words.first(std::min(words.size(), kMaxPayload / 2)));
    // A late reply of an earlier exchange must not be taken for this one's.
    return impl_->Request(request, true, {});
}

Exchange Link::CommandAmidFrames(std::uint8_t command, std::uint16_t parameter,
                                 const std::function<bool(const Exchange&)>& isReply) {
    // Frames the sensor sent on its own before it took the command are passed over, also
    // one that had begun; the reply has the usual time, however many come first.
    return impl_->Request(MakeFrame(command, parameter), false, isReply);
}

Exchange Link::ReceiveFrame(double timeoutSeconds, const std::function<bool()>& keepWaiting) {
    Impl& d = *impl_;
    if (d.Aborted()) return Exchange(Outcome::Aborted);
    if (d.Refuse()) return Exchange(Outcome::Refused);
    // After a failed request its reply may still be coming in pieces.
    if (d.streamBroken) d.DiscardInput();
    const Impl::Got got = d.Receive(timeoutSeconds, keepWaiting, kFrameWaitLineText);
    if (got == Impl::Got::Gone) return Exchange(Outcome::Aborted);
    const Exchange e = d.Result(got);
    // Where the next frame starts is unknown: drop all that came so far.
    if (got == Impl::Got::Failed) d.DiscardInput();
    return e;
}

bool Link::Up() const {
    return !impl_->TransportDown();
}

void Link::Report(std::string_view text) {
    impl_->Fail(text);
}

bool Link::ReportPlausibility(const Exchange& reply, std::string_view tail) {
    if (!reply.Ok() || reply.parameter == 0) return false;
    Report(PlausibilityText(reply.parameter, tail));
    return true;
}

std::uint64_t Link::StrayFrames() const {
    return impl_->strayFrames;
}

std::size_t Link::BytesWaiting() const {
    return impl_->assembler.Buffered();
}

bool Link::ReportRefusal(const Exchange& reply) {
    if (reply.outcome != Outcome::ErrorReply || !ErrorReplyText(reply.parameter).empty())
        return false;
    Report(RefusalText(reply.parameter));
    return true;
}

bool Link::Busy() const {
    return impl_->transacting > 0;
}

void Link::Abort() {
    impl_->wait->Abort();
}

bool Link::Aborted() const {
    return impl_->Aborted();
}

void Link::Wake() {
    impl_->wait->Wake();
}

SerialPortTable& Link::Ports() {
    return impl_->ports;
}

}  // namespace sensorlink
