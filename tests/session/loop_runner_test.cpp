// The loop runner and its one failure policy, on both transports against the simulated
// sensor: error frames, failed exchanges, a line that goes away, STOP, and the calibration's
// kind of loop that goes on past failed passes.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTimer>

#include "device/corrections.h"
#include "device/hardware.h"
#include "device/sensor.h"
#include "device/transfer.h"
#include "link/link_texts.h"
#include "session/session.h"
#include "sim/model/faults.h"
#include "sim/server/sim_server.h"

namespace {

enum class Transport { Tcp, Serial };

// A session whose link is connected to the simulated sensor, and what it reported.
class LoopRunner : public ::testing::TestWithParam<Transport> {
  protected:
    void SetUp() override {
        session::Session& s = session;
        if (GetParam() == Transport::Tcp) {
            ASSERT_TRUE(sensor.StartTcp(0));
            s.SetComProtocol(sensorlink::ComProtocol::Tcp);
            ASSERT_EQ(s.Link().ConnectTcp(QStringLiteral("127.0.0.1"), sensor.TcpPort()), 0);
        } else {
            const QString tty = dir.filePath(QStringLiteral("tty"));
            ASSERT_TRUE(sensor.StartPty(tty));
            const int number = s.Link().Ports().AddDevicePath(tty);
            ASSERT_GE(s.Link().OpenSerialPort(number, 4), 0) << s.LinkStatus().message;
        }
        QObject::connect(&s, &session::Session::LinkFailed, &s,
                         [this](const QString& text) { reports << text; });
    }
    void Fault(const char* spec) { sensor.Model().Faults().Add(*sim::ParseFault(spec)); }
    // A measurement loop that counts its frames; a safety stop after 200.
    session::Loop Counting() {
        session::Loop loop;
        loop.frame = [this](const sensorlink::Exchange& e) {
            ++frames;
            if (e.outcome == sensorlink::Outcome::ErrorReply) ++errorFrames;
            if (frames >= 200) session.StopLoops();
            return true;
        };
        return loop;
    }
    static QString Text(std::string_view text) {
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }

    QTemporaryDir dir;
    sim::SimServer sensor;
    ui::ScriptedPopups popups;
    session::Session session{QStringLiteral("/nonexistent"), popups};
    QStringList reports;
    int frames = 0;
    int errorFrames = 0;
};

}  // namespace

// An error frame is a frame: a code with a text is reported, and that report ends the loop;
// any other code goes on without a word.
TEST_P(LoopRunner, AnErrorFrameIsTakenAndOnlyItsReportEndsTheLoop) {
    Fault("error:3@8#2");
    Fault("error:1@8#5");
    EXPECT_EQ(session.RunLoop(Counting()), session::LoopEnd::Failed);
    EXPECT_EQ(frames, 5);
    EXPECT_EQ(errorFrames, 2);
    EXPECT_EQ(reports, QStringList{Text(sensorlink::ErrorReplyText(1))});
    EXPECT_FALSE(session.LoopRunning());
}

TEST_P(LoopRunner, AFailedExchangeEndsTheLoopWithOneReport) {
    Fault("badcrc-payload@8#3");
    EXPECT_EQ(session.RunLoop(Counting()), session::LoopEnd::Failed);
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(reports, QStringList{Text(sensorlink::kDataFrameText)});
}

// The calibration's passes go on past a failed one, but a line that is gone ends them at
// once with one report, and STOP ends them too.
TEST_P(LoopRunner, PassesThatSkipFailuresStillEndOnALostLineAndOnStop) {
    Fault("badcrc-payload@8#2");
    Fault("close-after:5@8");
    session::Loop passes = Counting();
    passes.passes = 100;
    passes.skipFailedPasses = true;
    int done = 0;
    passes.passDone = [&](const sensorlink::Exchange&) { ++done; };
    EXPECT_EQ(session.RunLoop(passes), session::LoopEnd::LinkEnded);
    // The second pass failed; the fifth frame was the last, if it came before the hang-up
    // (a serial line drops what arrives with its error).
    EXPECT_GE(frames, 3);
    EXPECT_LE(frames, 4);
    EXPECT_LE(done, 6);
    ASSERT_EQ(reports.size(), 2) << reports.join(" | ").toStdString();
    EXPECT_EQ(reports[0], Text(sensorlink::kDataFrameText));
    EXPECT_EQ(reports[1], GetParam() == Transport::Tcp ? Text(sensorlink::kServerClosedText)
                                                       : Text(sensorlink::kTimeoutText));
    EXPECT_FALSE(session.Link().Up());
}

TEST_P(LoopRunner, StopEndsEveryLoopTheSkippingOneToo) {
    for (bool skipping : {false, true}) {
        frames = 0;
        session::Loop loop = Counting();
        loop.skipFailedPasses = skipping;
        loop.frame = [&](const sensorlink::Exchange&) {
            if (++frames == 3) session.StopLoops();
            return true;
        };
        EXPECT_EQ(session.RunLoop(loop), session::LoopEnd::Stopped) << skipping;
        EXPECT_EQ(frames, 3);
    }
    EXPECT_TRUE(reports.isEmpty());
}

// Each sequence's result says how it ended and carries the text the user was told, the same
// text the session showed; a plain reply carries none.
TEST_P(LoopRunner, SequenceResultsCarryTheTextThatWasReported) {
    sensorlink::Link& link = session.Link();
    const auto said = [this](const device::Done& done, sensorlink::Outcome outcome) {
        EXPECT_EQ(done.outcome, outcome);
        ASSERT_FALSE(reports.isEmpty());
        EXPECT_EQ(QString::fromStdString(done.failure), reports.back());
    };
    Fault("short:100@194#1");
    said(device::ReadHardwareData(link), sensorlink::Outcome::Failed);
    EXPECT_EQ(reports.back().toStdString(), sensorlink::kDataFrameText);
    Fault("error:3@194#1");
    said(device::ReadHardwareData(link), sensorlink::Outcome::ErrorReply);
    EXPECT_EQ(reports.back().toStdString(), sensorlink::RefusalText(3));
    Fault("error:1@190#1");
    said(device::ChangeBaudRate(link, 4), sensorlink::Outcome::ErrorReply);
    Fault("badcrc-header@2#1");
    params::ParameterSet set;
    said(device::GetFromSensor(link, set, 0, false), sensorlink::Outcome::Failed);
    set.block.power = 65535;  // out of range: the sensor puts its default in its place
    said(device::SendToSensor(link, set, 0, false), sensorlink::Outcome::ErrorReply);
    EXPECT_TRUE(reports.back().startsWith("INFO!\n")) << reports.back().toStdString();

    const qsizetype before = reports.size();
    const auto values = device::ReadCorrections(link);
    EXPECT_TRUE(values.Ok() && values.has_value());
    EXPECT_TRUE(values.failure.empty());
    EXPECT_EQ(reports.size(), before);
}

INSTANTIATE_TEST_SUITE_P(Transports, LoopRunner,
                         ::testing::Values(Transport::Tcp, Transport::Serial),
                         [](const auto& info) {
                             return std::string(info.param == Transport::Tcp ? "Tcp" : "Serial");
                         });
