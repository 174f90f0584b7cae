// The session without any panel: the order in which a frame reaches its consumers, loops
// that always end, the failure report, and closing while something waits.

#include "session/session.h"

#include <gtest/gtest.h>

#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTimer>

namespace {

struct Fixture {
    ui::ScriptedPopups popups;
    session::Session session{QStringLiteral("/nonexistent"), popups};
};

}  // namespace

TEST(Session, AFrameReachesItsConsumersInStageOrder) {
    Fixture f;
    QStringList order;
    using session::FrameStage;
    // Added in the order pages happen to be built, not the order a frame needs.
    f.session.AddFrameConsumer(FrameStage::Charts, [&] { order << "charts"; });
    f.session.AddFrameConsumer(FrameStage::Teach, [&] { order << "teach"; });
    f.session.AddFrameConsumer(FrameStage::Displays, [&] { order << "displays"; });
    f.session.AddFrameConsumer(FrameStage::RawValues, [&] { order << "raw"; });
    f.session.AddFrameConsumer(FrameStage::Charts, [&] { order << "record graph"; });
    QSignalSpy taken(&f.session, &session::Session::FrameTaken);
    f.session.TakeFrame();
    EXPECT_EQ(order, (QStringList{"raw", "displays", "charts", "record graph", "teach"}));
    EXPECT_EQ(taken.count(), 1);
}

TEST(Session, ALoopEndsOnEveryWayOut) {
    Fixture f;
    QSignalSpy started(&f.session, &session::Session::LoopStarted);
    QSignalSpy ended(&f.session, &session::Session::LoopEnded);
    auto loop = [&](bool failEarly) {
        session::LoopScope running(f.session);
        EXPECT_TRUE(f.session.App().loopRunning);
        if (failEarly) return;
        f.session.Link().Report("TIMEOUT!");  // a failure clears the flag at once
        EXPECT_FALSE(f.session.App().loopRunning);
    };
    loop(true);
    EXPECT_FALSE(f.session.App().loopRunning);
    loop(false);
    EXPECT_EQ(started.count(), 2);
    EXPECT_EQ(ended.count(), 2);
}

TEST(Session, FailuresClearTheFlagsAndAreToldOnce) {
    Fixture f;
    QSignalSpy failed(&f.session, &session::Session::LinkFailed);
    session::LoopScope loop(f.session);
    f.session.Link().Report("INFO!\n2 PARAMETER IN RAM");
    EXPECT_FALSE(f.session.App().loopRunning);
    EXPECT_EQ(f.session.LinkStatus().message, "INFO!\n2 PARAMETER IN RAM");
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed.at(0).at(0).toString(), "INFO!\n2 PARAMETER IN RAM");
}

TEST(Session, AParameterEditRunsTheModeRulesOnceAndIsAnnouncedInOrder) {
    Fixture f;
    QStringList order;
    QObject::connect(&f.session, &session::Session::ParametersChanged, [&] { order << "changed"; });
    QObject::connect(&f.session, &session::Session::TeachTableChanged, [&] { order << "teach"; });
    QObject::connect(&f.session, &session::Session::ModeNotice,
                     [&](const params::Notice&) { order << "notice"; });
    QObject::connect(&f.session, &session::Session::ModesChanged, [&] { order << "modes"; });
    // DIRECT HI without colour groups signals two colours: MAX VEC NO 7 is set to 2, once.
    f.session.EditParameters([](params::ParameterModel& m) {
        m.SetWord(params::kDigitalOutMode, 1);
        return m.SetWord(params::kMaxVecNo, 7);
    });
    EXPECT_EQ(order, (QStringList{"changed", "notice", "modes"}));
    EXPECT_EQ(f.session.Parameters().block.maxVecNo, 2);
    EXPECT_EQ(f.session.Modes().maxVecNo, 2);
    // Into 3D: the teach cells are converted and the tables told.
    order.clear();
    f.session.EditParameters(
        [](params::ParameterModel& m) { return m.SetWord(params::kCalculationMode, 3); });
    EXPECT_EQ(order, (QStringList{"changed", "teach", "modes"}));
    EXPECT_TRUE(f.session.Modes().SiM());
    // Without a sensor a SEND fails and a GET leaves the model as it was.
    const params::ParameterSet before = f.session.Parameters();
    EXPECT_NE(f.session.GetParameters(), sensorlink::Outcome::Reply);
    EXPECT_EQ(f.session.Parameters().BlockWords(), before.BlockWords());
    EXPECT_EQ(f.session.Parameters().TeachWords(), before.TeachWords());
}

TEST(Session, ClosingEndsAWaitInProgressAndEveryLaterOne) {
    Fixture f;
    bool never = false;
    QTimer::singleShot(0, &f.session, [&] { f.session.Close(); });
    EXPECT_EQ(f.session.Wait().WaitUntil([&] { return never; }), ui::WaitEnd::Aborted);
    EXPECT_EQ(f.session.Wait().WaitUntil([&] { return never; }, 10.0), ui::WaitEnd::Aborted);
    EXPECT_FALSE(f.session.Link().Command(7, 0).Frame());  // no exchange after closing
}

TEST(Session, ASessionDestroyedDuringALoopsExchangeIsNotTouchedAfterwards) {
    // The loop's way out cleared the session's flag and told its signals: after the session
    // was gone (the sanitizer build sees the write).
    QTcpServer sensor;
    ASSERT_TRUE(sensor.listen(QHostAddress::LocalHost));
    ui::ScriptedPopups popups;
    auto* s = new session::Session(QStringLiteral("/nonexistent"), popups);
    s->SetComProtocol(sensorlink::ComProtocol::Tcp);
    ASSERT_EQ(s->Link().ConnectTcp(QStringLiteral("127.0.0.1"), sensor.serverPort()), 0);
    session::Loop waitForFrames;
    waitForFrames.pace = session::Pace::SensorSends;
    int passes = 0;
    waitForFrames.passDone = [&](const sensorlink::Exchange&) { ++passes; };
    QTimer::singleShot(10, [&] { delete s; });
    EXPECT_EQ(s->RunLoop(waitForFrames), session::LoopEnd::LinkEnded);
    EXPECT_EQ(passes, 0);
}

TEST(Session, IdentificationTextIsToldToWhoeverShowsIt) {
    Fixture f;
    QSignalSpy changed(&f.session, &session::Session::IdentificationChanged);
    f.session.SetIdentificationText("Line 3 / station 2");
    EXPECT_EQ(f.session.IdentificationText(), "Line 3 / station 2");
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toString(), "Line 3 / station 2");
}
