// A serial adapter pulled out while the live loop runs: the pseudo-terminal of the simulated
// sensor closes under the program. One report, the port closed, the loop ended (no spinning
// on a dead line), and TRY TO CONNECT works again once the adapter is back.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "measure/measure_page.h"
#include "program_fixture.h"
#include "sim/server/sim_server.h"

using testing_support::TestProgram;

TEST(UnpluggedAdapter, OneReportThePortClosedAndTryToConnectWorksWhenItIsBack) {
    QTemporaryDir dir;
    const QString tty = dir.filePath(QStringLiteral("velorax-tty"));
    sim::SimServer sensor;
    ASSERT_TRUE(sensor.StartPty(tty));
    TestProgram p(testing_support::SerialSettingsText(tty));
    ASSERT_TRUE(p.program);
    p->StartUp();
    session::Session& s = p.Session();
    ASSERT_TRUE(testing_support::ConnectedWithoutFailure(s));

    int reports = 0;
    QObject::connect(&s, &session::Session::LinkFailed, &s, [&](const QString&) { ++reports; });
    int frames = 0;
    QObject::connect(&s, &session::Session::FrameTaken, &s, [&] {
        if (++frames == 5) sensor.Stop();  // the adapter goes
        if (frames > 1000) s.StopLoops();
    });
    p.Control<QPushButton>("MAINP", "ButtonGo")->click();  // returns when the loop has ended
    EXPECT_EQ(frames, 5);
    EXPECT_EQ(reports, 1);
    EXPECT_FALSE(s.App().loopRunning);
    EXPECT_FALSE(s.Link().SerialOpen());

    // Back again at the same place: TRY TO CONNECT finds the sensor.
    ASSERT_TRUE(sensor.StartPty(tty));
    p.Control<QPushButton>("MAINP", "ButtonTryToConnect")->click();
    EXPECT_EQ(reports, 1) << s.LinkStatus().message;
    EXPECT_TRUE(s.Link().SerialOpen());
    frames = 0;
    QObject::connect(&s, &session::Session::FrameTaken, &s, [&] {
        if (frames >= 3) s.StopLoops();
    });
    p.Control<QPushButton>("MAINP", "ButtonGo")->click();
    EXPECT_GE(frames, 3);
    EXPECT_EQ(reports, 1);
}
