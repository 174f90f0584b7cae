#include "link/link.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "link/crc8.h"
#include "link/frame.h"
#include "link/link_impl.h"
#include "link/link_texts.h"

namespace sensorlink {

double SteadyClock::Seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

Link::Impl::Impl(Link& owner_, LinkState& state_, FailureObserver& observer_)
    : owner(owner_), state(state_), observer(observer_) {}

// --- waiting -----------------------------------------------------------------------------

bool Link::Impl::Ready(Waiter& waiter) {
    if (aborted || waiter.done()) return true;
    return waiter.timeout >= 0 && Now() - waiter.start > waiter.timeout;
}

void Link::Impl::Quit(Waiter& waiter) {
    // Only once per pass: quitting a loop interrupts the event dispatcher, and doing it again
    // while a nested loop runs above this one would keep that loop from ever sleeping.
    if (waiter.woken) return;
    waiter.woken = true;
    waiter.loop.quit();
}

void Link::Impl::WakeReady() {
    for (Waiter* waiter : waiters) {
        if (!waiter->woken && Ready(*waiter)) Quit(*waiter);
    }
}

void Link::Impl::WakeAll() {
    for (Waiter* waiter : waiters) Quit(*waiter);
}

Link::Impl::WaitEnd Link::Impl::WaitUntil(std::function<bool()> done, double timeoutSeconds) {
    QPointer<Link> guard(&owner);
    Waiter waiter;
    waiter.done = std::move(done);
    waiter.start = Now();
    waiter.timeout = timeoutSeconds;

    // The deadline only wakes the loop; whether the time is up is the clock's answer, so an
    // injected clock decides it.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &waiter.loop, [&waiter] { Quit(waiter); });

    waiters.push_back(&waiter);
    if (waiters.size() == 1) {
        // After every batch of events, before the thread sleeps: a callback may have cleared
        // the caller's flag or moved the clock without any signal of the link's own.
        idleHook = QObject::connect(QAbstractEventDispatcher::instance(),
                                    &QAbstractEventDispatcher::aboutToBlock, &owner,
                                    [this] { WakeReady(); });
    }
    const auto leave = [&](WaitEnd end) {
        std::erase(waiters, &waiter);
        if (waiters.empty()) QObject::disconnect(idleHook);
        return end;
    };

    for (;;) {
        if (aborted) return leave(WaitEnd::Aborted);
        if (waiter.done()) return leave(WaitEnd::Done);
        if (waiter.timeout >= 0) {
            const double elapsed = Now() - waiter.start;
            if (elapsed > waiter.timeout) {
                // Bytes that reached the transport by the poll in which the time ran out
                // still count: take in what is pending, then look once more.
                QCoreApplication::processEvents();
                if (!guard) return WaitEnd::Destroyed;
                if (aborted) return leave(WaitEnd::Aborted);
                return leave(waiter.done() ? WaitEnd::Done : WaitEnd::TimedOut);
            }
            const double remainingMs = std::ceil((waiter.timeout - elapsed) * 1000.0);
            deadline.start(static_cast<int>(std::min(remainingMs, 1.0e9)) + 1);
        }
        waiter.woken = false;
        waiter.loop.exec();
        if (!guard) return WaitEnd::Destroyed;
        deadline.stop();
        if (!waiter.woken) {
            // QCoreApplication::exit() ends every nested loop: the program is closing.
            aborted = true;
            WakeAll();
            return leave(WaitEnd::Aborted);
        }
    }
}

void Link::Impl::Fail(std::string_view text) {
    if (aborted) return;
    state.message.assign(text.begin(), text.end());
    observer.ReportLinkFailure();
}

void Link::Impl::Fail(const QString& text) {
    Fail(std::string_view(text.toStdString()));
}

int Link::Impl::Available() {
    if (UsingTcp()) return state.receivedCount;
    const int queued = serial && serial->isOpen() ? static_cast<int>(serial->bytesAvailable()) : 0;
    state.receivedCount = queued;
    return queued;
}

bool Link::Impl::TcpDown() const {
    return !tcp || !tcpUp || tcp->state() != QAbstractSocket::ConnectedState;
}

bool Link::Impl::TransportDown() const {
    return UsingTcp() ? TcpDown() : !serial || !serial->isOpen() || serialError != 0;
}

// --- Link --------------------------------------------------------------------------------

Link::Link(LinkState& state, FailureObserver& observer, QObject* parent)
    : QObject(parent), impl_(std::make_unique<Impl>(*this, state, observer)) {}

Link::~Link() {
    // Waits that are still on the stack (the link destroyed from a callback inside one)
    // return at once and touch nothing.
    impl_->WakeAll();
    QObject::disconnect(impl_->idleHook);
    if (impl_->serial) {
        QObject::disconnect(impl_->serial, nullptr, this, nullptr);
        impl_->serial->close();
    }
    if (impl_->tcp) {
        QObject::disconnect(impl_->tcp, nullptr, this, nullptr);
        impl_->tcp->abort();
    }
}

void Link::SetClock(Clock* clock) {
    impl_->clock = clock ? clock : &impl_->steadyClock;
}

std::uint8_t Link::BuildRequest(std::uint8_t command, std::uint16_t wordCount,
                                std::uint16_t parameter, std::uint16_t length) {
    LinkState& s = impl_->state;
    std::uint8_t* out = s.request.data();
    // A frame never holds more than the buffer does.
    const auto payloadBytes =
        static_cast<std::uint16_t>(std::min<std::size_t>(length, kMaxPayload));
    out[0] = kStartByte;
    out[1] = command;
    WriteWord(out + 2, parameter);
    WriteWord(out + 4, payloadBytes);
    out[6] = kCrcStart;
    if (payloadBytes > 0) {
        const std::size_t words = std::min<std::size_t>(wordCount, kMaxPayload / 2);
        for (std::size_t k = 0; k < words; ++k) WriteWord(out + kHeaderSize + 2 * k, s.words[k]);
        out[6] = Crc8(out, kHeaderSize, payloadBytes);
    }
    out[7] = Crc8(out, 0, 7);
    return out[7];
}

int Link::Transact(int bytesToSend) {
    Impl& d = *impl_;
    if (d.aborted) return -1;
    const auto count = static_cast<qint64>(std::clamp<int>(bytesToSend, 0, kBufferSize));
    const auto* bytes = reinterpret_cast<const char*>(d.state.request.data());
    if (d.UsingTcp()) {
        // A late reply of an earlier exchange must not be taken for this one's.
        d.DrainTcp();
        d.state.reply.fill(0);
        d.state.comStatus = 0;
        d.state.receivedCount = 0;
        if (!d.TransportDown()) {
            d.tcp->write(bytes, count);
            d.tcp->flush();
        }
    } else {
        d.state.reply.fill(0);
        d.state.comStatus = 0;
        if (!d.TransportDown()) {
            d.serial->clear(QSerialPort::AllDirections);
            d.serial->write(bytes, count);
            d.serial->flush();
        }
    }
    QPointer<Link> guard(this);
    int result = ReceiveReplyHeader();
    if (result == 1 && guard && d.state.replyLength > 0) result = ReceiveReplyData();
    return result;
}

int Link::ReceiveReplyHeader() {
    Impl& d = *impl_;
    if (d.aborted) return -1;
    QPointer<Link> guard(this);
    const int available = WaitForBytes(kHeaderSize, kReplyTimeoutSeconds, {});
    if (!guard || d.aborted) return -1;
    const bool timedOut = available < static_cast<int>(kHeaderSize);
    if (!d.UsingTcp()) {
        d.state.comStatus = d.SerialStatus();
        d.ReadSerial(0, kHeaderSize);
    }
    if (timedOut || d.state.comStatus > 0) {
        d.Fail(kTimeoutText);
        return -1;
    }
    const int result = CheckReplyHeader();
    if (result == 1 && d.state.replyCommand == 0) {
        // An error reply is reported, but the exchange goes on and reads its payload.
        const std::string_view text = ErrorReplyText(d.state.replyParameter);
        if (!text.empty()) d.Fail(text);
    }
    return result;
}

int Link::CheckReplyHeader() {
    Impl& d = *impl_;
    const std::uint8_t* header = d.state.reply.data();
    if (Crc8(header, 0, kHeaderSize) != 0 || header[0] != kStartByte) {
        d.Fail(kHeaderFrameText);
        return -1;
    }
    const FrameHeader fields = ParseHeader(header);
    d.state.replyCommand = fields.command;
    d.state.replyParameter = fields.parameter;
    d.state.replyLength = fields.length;
    d.state.replyDataChecksum = fields.dataChecksum;
    return 1;
}

int Link::ReceiveReplyData() {
    Impl& d = *impl_;
    if (d.aborted) return -1;
    const std::size_t length = d.state.replyLength;
    if (length == 0) return 1;
    if (length > kMaxPayload) {
        // The reply buffer cannot hold it; nothing of it is read.
        d.Fail(kDataFrameText);
        return -1;
    }
    const int needed = static_cast<int>(d.UsingTcp() ? kHeaderSize + length : length);
    QPointer<Link> guard(this);
    const int available = WaitForBytes(needed, kReplyTimeoutSeconds, {});
    if (!guard || d.aborted) return -1;
    const bool timedOut = available < needed;
    if (!d.UsingTcp()) {
        d.state.comStatus = d.SerialStatus();
        d.ReadSerial(kHeaderSize, length);
    }
    if (timedOut || d.state.comStatus > 0) {
        d.Fail(kTimeoutText);
        return -1;
    }
    if (Crc8(d.state.reply.data(), kHeaderSize, length) != d.state.replyDataChecksum) {
        d.Fail(kDataFrameText);
        return -1;
    }
    return 1;
}

void Link::UnpackWords() {
    LinkState& s = impl_->state;
    const std::size_t length = std::min<std::size_t>(s.replyLength, kMaxPayload);
    UnpackWordsInto(s.reply.data() + kHeaderSize, length, s.words.data(), s.words.size());
}

void Link::UnpackReply() {
    LinkState& s = impl_->state;
    const std::size_t length = std::min<std::size_t>(s.replyLength, kMaxPayload);
    UnpackWordsInto(s.reply.data() + kHeaderSize, length, s.measurementWords.data(),
                    s.measurementWords.size());
}

int Link::Command(std::uint8_t command, std::uint16_t parameter,
                  std::span<const std::uint16_t> words) {
    LinkState& s = impl_->state;
    const std::size_t count = std::min<std::size_t>(words.size(), kMaxPayload / 2);
    std::copy_n(words.begin(), count, s.words.begin());
    const auto length = static_cast<std::uint16_t>(2 * count);
    BuildRequest(command, static_cast<std::uint16_t>(count), parameter, length);
    return Transact(static_cast<int>(kHeaderSize) + length);
}

int Link::WaitForBytes(int count, double timeoutSeconds, const std::function<bool()>& keepWaiting) {
    Impl& d = *impl_;
    // Checked after every batch of events: keep it cheap and free of side effects.
    const auto done = [&d, count, &keepWaiting] {
        return d.Available() >= count || d.TransportDown() || (keepWaiting && !keepWaiting());
    };
    if (d.WaitUntil(done, timeoutSeconds) == Impl::WaitEnd::Destroyed) return -1;
    return d.Available();
}

void Link::Abort() {
    impl_->aborted = true;
    impl_->WakeAll();
}

bool Link::Aborted() const {
    return impl_->aborted;
}

void Link::Wake() {
    impl_->WakeAll();
}

SerialPortTable& Link::Ports() {
    return impl_->ports;
}

}  // namespace sensorlink
