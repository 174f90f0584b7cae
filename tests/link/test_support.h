#pragma once
// Shared pieces of the link tests: an observer that records every report, a clock the
// test moves by hand, and a scripted peer that answers requests with prepared bytes.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/commands.h"
#include "link/link.h"
#include "link/link_state.h"
#include "wait_for.h"

namespace linktest {

class RecordingObserver : public sensorlink::FailureObserver {
  public:
    // The state is the link's: the texts come with the reports.
    explicit RecordingObserver(sensorlink::LinkState& /*state*/) {}
    void ReportLinkFailure(std::string_view text) override { reports.emplace_back(text); }
    void ReportRefused(std::string_view text) override { refusals.emplace_back(text); }
    std::vector<std::string> reports;
    std::vector<std::string> refusals;
};

using FakeClock = testing_support::ManualClock;

using testing_support::WaitFor;

QByteArray Bytes(const std::vector<std::uint8_t>& bytes);
// The payload of a reply as words, low byte first.
std::vector<std::uint16_t> Words(const sensorlink::Exchange& reply);
QByteArray Frame(std::uint8_t command, std::uint16_t parameter,
                 const std::vector<std::uint16_t>& words = {});

// One thing the peer does in answer to a request: after `delayMs` (0: at once, in the same
// pass as the request), run `before`, write `bytes`, and hang up if `hangUp`.
struct Step {
    Step(QByteArray bytes_ = {}, int delayMs_ = 0, std::function<void()> before_ = {},
         bool hangUp_ = false)
        : bytes(std::move(bytes_)),
          delayMs(delayMs_),
          before(std::move(before_)),
          hangUp(hangUp_) {}
    QByteArray bytes;
    int delayMs = 0;
    std::function<void()> before;
    bool hangUp = false;
};
using Script = std::vector<Step>;

// Collects request frames from its transport and plays one script per request, in the
// order they were queued; a request with no script left gets silence.
class ScriptedPeer {
  public:
    virtual ~ScriptedPeer() = default;
    void Answer(Script script) { scripts_.push_back(std::move(script)); }
    void AnswerFrame(const QByteArray& frame) { Answer({Step{frame}}); }
    // Drops the scripts not played yet and a request not read whole.
    void Forget() {
        scripts_.clear();
        pending_.clear();
    }
    virtual void Send(const QByteArray& bytes) = 0;  // at once, unasked
    virtual void HangUp() = 0;
    QList<QByteArray> requests;

  protected:
    void Feed(const QByteArray& incoming);
    QObject context_;

  private:
    void Play(std::shared_ptr<Script> script, std::size_t index);
    QByteArray pending_;
    std::deque<Script> scripts_;
};

class TcpPeer : public ScriptedPeer {
  public:
    TcpPeer();
    ~TcpPeer() override;
    quint16 Port() const;
    bool HasClient() const;
    void Send(const QByteArray& bytes) override;
    void HangUp() override;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// The master side of a pseudo-terminal; the link opens the slave by its path.
class PtyPeer : public ScriptedPeer {
  public:
    PtyPeer();
    ~PtyPeer() override;
    bool Ok() const;
    QString SlavePath() const;
    void Send(const QByteArray& bytes) override;
    void HangUp() override;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace linktest
