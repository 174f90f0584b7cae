// The calibration and offset pages against the in-process simulator looking at a white
// target: CALCULATE CF and the live frames after it, failed passes, refusals, self
// calibration, the correction values shared by both pages, short replies, and the service
// password gate.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFrame>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include "calib/calib_page.h"
#include "link/commands.h"
#include "link/link_texts.h"
#include "program_fixture.h"
#include "sim/model/faults.h"
#include "sim/model/scene.h"
#include "sim/server/sim_server.h"
#include "wait_for.h"

using testing_support::TestProgram;

namespace {

sim::ServerOptions WhiteTarget() {
    sim::ServerOptions o;
    o.model.scene = *sim::Scene::Parse("white 0.9 0.9 0.9 60\n");
    return o;
}

struct Calib : testing_support::SensorProgram {
    explicit Calib(ui::Clock* clock = nullptr)
        : SensorProgram(WhiteTarget(), testing_support::Transport::Tcp, clock) {}
    calib::CalibPage& page() { return Page<calib::CalibPage>(); }
    std::array<int, 3> Factors() {
        return {Control<QSpinBox>("MAINP", "EditCFR")->value(),
                Control<QSpinBox>("MAINP", "EditCFG")->value(),
                Control<QSpinBox>("MAINP", "EditCFB")->value()};
    }
    // GO until `frames` frames came; the last frame's calibrated values.
    std::array<int, 3> LiveFrames(int frames) {
        int n = 0;
        auto c = QObject::connect(&S(), &session::Session::FrameTaken, &S(), [&] {
            if (++n >= frames) S().StopLoops();
        });
        S().RunLiveLoop();
        QObject::disconnect(c);
        return {S().Measured().red, S().Measured().green, S().Measured().blue};
    }
    // CALCULATE CF with both questions answered yes; the live loop after it ends at once.
    void Calculate() {
        program.popups.AnswerConfirm(true);
        program.popups.AnswerConfirm(true);
        auto c = QObject::connect(&S(), &session::Session::LoopStarted, &S(),
                                  [this] { S().StopLoops(); });
        Control<QPushButton>("MAINP", "ButtonCalcCF")->click();
        QObject::disconnect(c);
    }
};

}  // namespace

TEST(CalculateCF, FactorsBringTheChannelsToTheSetValueInTheNextFramesAndReachTheEeprom) {
    Calib t;
    calib::CalibPage& p = t.page();
    ASSERT_TRUE(testing_support::ConnectedWithoutFailure(t.S()));
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditSetValue"), 2000);
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditMaxDelta"), 4095);
    bool blinked = false;  // looked at between the passes
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        blinked = blinked ||
                  t.Control<QPushButton>("MAINP", "ButtonCalcCF")->styleSheet().contains("FF0000");
    });
    watch.start();
    t.Calculate();
    watch.stop();
    EXPECT_TRUE(blinked);
    EXPECT_TRUE(t.Control<QPushButton>("MAINP", "ButtonCalcCF")
                    ->styleSheet()
                    .contains("E0E0E0"));  // grey at the end
    const QStringList texts = t.program.popups.Texts();
    ASSERT_GE(texts.size(), 3);
    EXPECT_TRUE(texts[0].startsWith("Make sure, that the sensor shines on a WHITE target!"));
    EXPECT_EQ(texts[1], "Are you sure, that you have selected the right calibration parameters? ");
    EXPECT_EQ(t.program.popups.History()[2].title, "CALIBRATION PASSED!");
    const auto f = t.Factors();
    EXPECT_EQ(t.sensor.Model().EepromImage().factors,
              (std::array<std::uint16_t, 3>{std::uint16_t(f[0]), std::uint16_t(f[1]),
                                            std::uint16_t(f[2])}));
    EXPECT_EQ(t.S().CorrectionValues().factors[0], f[0]);
    // The next live frames: every channel at the set value, give or take the noise.
    const auto cal = t.LiveFrames(5);
    for (int v : cal) EXPECT_NEAR(v, 2000, 40);
    p.FlushDisplays();
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispCalRed")->text().toInt(), cal[0]);
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRawDelta")->text().toInt(),
              calib::RawDelta(t.S().Measured().rawRed, t.S().Measured().rawGreen,
                              t.S().Measured().rawBlue));
}

TEST(CalculateCF, FailedPassesDoNotSkewTheMeansAndNoFrameAtAllChangesNothing) {
    Calib t;
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditSetValue"), 2000);
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditMaxDelta"), 4095);
    // The first 20 of the 100 measurement requests get an error reply.
    for (int n = 1; n <= 20; ++n) t.Fault("error:1@8#" + std::to_string(n));
    // The passes go on after a failed one, and so does the loop as the program shows it.
    bool calculating = false;
    int notRunning = 0;
    QObject::connect(&t.S(), &session::Session::LinkFailed, &t.S(), [&] { calculating = true; });
    QObject::connect(&t.S(), &session::Session::LoopEnded, &t.S(), [&] { calculating = false; });
    QTimer look;
    look.setInterval(0);
    QObject::connect(&look, &QTimer::timeout,
                     [&] { notRunning += calculating && !t.S().LoopRunning(); });
    look.start();
    t.Calculate();
    look.stop();
    EXPECT_EQ(notRunning, 0);
    const auto cal = t.LiveFrames(3);
    for (int v : cal) EXPECT_NEAR(v, 2000, 40);  // a division by 100 would give 2500

    // Every pass fails: said, and the factors stay.
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditCFR"), 1111);
    t.program.popups.Clear();
    t.Fault("error:1@8#1+");
    t.program.popups.AnswerConfirm(true);
    t.program.popups.AnswerConfirm(true);
    t.Control<QPushButton>("MAINP", "ButtonCalcCF")->click();
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditCFR")->value(), 1111);
    EXPECT_TRUE(t.program.popups.Messages().contains(
        "No measurement of the calculation reached the PC. \nCalibration is not possible. \nCheck "
        "the connection to the sensor and try again. "));
    EXPECT_NE(t.sensor.Model().EepromImage().factors[0], 1111);  // not written
}

TEST(CalculateCF, RefusalsAndADeclinedQuestionKeepTheFactors) {
    Calib t;
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditCFG"), 999);
    // The spread of a white target is more than 0.
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditMaxDelta"), 0);
    t.Calculate();
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditCFG")->value(), 999);
    EXPECT_TRUE(t.program.popups.Messages().last().startsWith(
        "The maximum delta of the raw data values RED,GREEN and BLUE is to high."));
    // Nothing reaches the EEPROM right after "Calibration is not possible", least of all a
    // value typed into a box and never sent.
    EXPECT_EQ(t.sensor.Model().EepromImage().factors[1], 1024);

    // No to the second question.
    t.program.popups.Clear();
    t.program.popups.AnswerConfirm(true);
    t.program.popups.AnswerConfirm(false);
    auto stop = QObject::connect(&t.S(), &session::Session::LoopStarted, &t.S(),
                                 [&] { t.S().StopLoops(); });
    t.Control<QPushButton>("MAINP", "ButtonCalcCF")->click();
    QObject::disconnect(stop);
    EXPECT_EQ(t.program.popups.Messages().first(),
              "Please insert the right values and press \n CALCULATE CALIBRATION FACTORS again.");
    EXPECT_EQ(t.sensor.Model().EepromImage().factors[1], 1024);

    // A plausibility count in the reply to SEND CF.
    t.Fault("plausibility:2@101#1");
    QString reported;
    QObject::connect(&t.S(), &session::Session::LinkFailed, &t.S(),
                     [&](const QString& text) { reported = text; });
    t.Control<QPushButton>("MAINP", "ButtonSendCF")->click();
    EXPECT_EQ(reported, "INFO!\n2 PARAMETER IN RAM DID NOT PASS PLAUSIBILITY CHECK AND WERE SET "
                        "TO DEFAULT VALUE!");
}

// A line that goes away in the middle of the passes: one report, the passes end, nothing is
// sent and no success is claimed.
TEST(CalculateCF, ALineLostHalfWayIsOneReportAndNoSuccess) {
    Calib t;
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditMaxDelta"), 4095);
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditCFR"), 1111);
    t.Fault("close-after:50@8");
    QStringList reports;
    QObject::connect(&t.S(), &session::Session::LinkFailed, &t.S(),
                     [&](const QString& text) { reports << text; });
    int loops = 0;
    QObject::connect(&t.S(), &session::Session::LoopStarted, &t.S(), [&] { ++loops; });
    t.Calculate();
    EXPECT_EQ(reports, QStringList{"SERVER HAS CLOSED CONNECTION!"});
    EXPECT_FALSE(t.program.popups.Messages().contains(
        "Calibration successful! \nCalibration factors were sent to the EEPROM of the sensor. "
        "\nGO mode will be activated. "));
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditCFR")->value(), 1111);
    EXPECT_EQ(loops, 1);  // the passes; no live loop on a line that is gone
    EXPECT_TRUE(t.Control<QPushButton>("MAINP", "ButtonCalcCF")->isEnabled());
}

// New factors that the sensor does not take are not called a success.
TEST(CalculateCF, ASendThatFailsIsReportedInsteadOfTheSuccessText) {
    Calib t;
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditMaxDelta"), 4095);
    t.Fault("badcrc-header@101#1");
    QStringList reports;
    QObject::connect(&t.S(), &session::Session::LinkFailed, &t.S(),
                     [&](const QString& text) { reports << text; });
    t.Calculate();
    EXPECT_EQ(reports.size(), 1);
    for (const auto& shown : t.program.popups.History())
        EXPECT_NE(shown.title, "CALIBRATION PASSED!");
}

// STOP ends the calculation after the pass in progress, also against a silent sensor whose
// every pass would take the whole reply time.
TEST(CalculateCF, StopEndsThePassesAndNothingIsSent) {
    testing_support::ManualClock clock;
    Calib t(&clock);
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditCFR"), 1111);
    t.Fault("silent@8");
    int reports = 0;
    QObject::connect(&t.S(), &session::Session::LinkFailed, &t.S(), [&](const QString&) {
        ++reports;
    });
    // STOP while the first pass waits; then its reply time runs out.
    QObject::connect(&t.S(), &session::Session::LoopStarted, &t.S(), [&] {
        QTimer::singleShot(0, &t.S(), [&] {
            t.program.Control<QPushButton>("MAINP", "ButtonStop")->click();
            clock.now += 3.5;
            t.S().Link().Wake();
        });
    });
    t.program.popups.AnswerConfirm(true);
    t.program.popups.AnswerConfirm(true);
    t.Control<QPushButton>("MAINP", "ButtonCalcCF")->click();
    EXPECT_EQ(reports, 1);  // the one pass that ran
    EXPECT_EQ(t.sensor.Model().EepromImage().factors[0], 1024);
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditCFR")->value(), 1111);
    EXPECT_TRUE(t.Control<QPushButton>("MAINP", "ButtonCalcCF")->isEnabled());
}

TEST(SelfCalibration, FillsFiveBoxesAndWritesNothingBeforeSendCF) {
    Calib t;
    const auto before = t.sensor.Model().EepromImage().factors;
    t.program.popups.AnswerConfirm(true);
    t.Control<QPushButton>("MAINP", "ButtonSelfCalibration")->click();
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditSetValue")->value(), sim::kSelfCalSetValue);
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditMaxDelta")->value(), sim::kSelfCalMaxDelta);
    EXPECT_NE(t.Factors()[0], 1024);
    EXPECT_EQ(t.program.popups.Messages().last(), "Confirm calibration factors with SEND CF.");
    EXPECT_EQ(t.sensor.Model().EepromImage().factors, before);
    t.Control<QPushButton>("MAINP", "ButtonSendCF")->click();
    EXPECT_EQ(t.sensor.Model().EepromImage().factors[0], t.Factors()[0]);

    // A reply of four words: said, no box changes.
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditSetValue"), 1234);
    t.Fault("short:8@103#1");
    QString reported;
    QObject::connect(&t.S(), &session::Session::LinkFailed, &t.S(),
                     [&](const QString& text) { reported = text; });
    t.program.popups.AnswerConfirm(true);
    t.Control<QPushButton>("MAINP", "ButtonSelfCalibration")->click();
    EXPECT_EQ(reported.toStdString(), std::string(sensorlink::kDataFrameText));
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditSetValue")->value(), 1234);
}

TEST(Offsets, BothPagesShareTheCorrectionValuesAndTheMeasuredDisplaysFollowOnlyAMeasurement) {
    Calib t;
    sim::Eeprom e = t.sensor.Model().EepromImage();
    e.factors = {1100, 1200, 1300};
    e.offsets = {11, 12, 13};
    t.sensor.Model().PowerUp(e);

    t.Control<QPushButton>("MAINP", "ButtonGetOffset")
        ->click();  // GET OFFSET replaces the factors too
    EXPECT_EQ(t.Factors(), (std::array<int, 3>{1100, 1200, 1300}));
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditBlueOffset")->value(), 13);
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRedOffset")->text(),
              "0");  // only a measurement shows here
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditCFR"), 1500);
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditRedOffset"), 99);
    t.Control<QPushButton>("MAINP", "ButtonGetCF")->click();  // and GET CF the offsets
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditRedOffset")->value(), 11);
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditCFR")->value(), 1100);

    // SEND OFFSET writes what the boxes show.
    t.Control<QSpinBox>("MAINP", "EditGreenOffset")->setValue(42);  // as the user types
    EXPECT_EQ(t.S().CorrectionValues().offsets[1], 42);
    t.Control<QPushButton>("MAINP", "ButtonSendOffset")->click();
    EXPECT_EQ(t.sensor.Model().EepromImage().offsets[1], 42);

    // CALCULATE OFFSET: No sends nothing; Yes measures and shows.
    const auto generation = t.sensor.Model().EepromGeneration();
    t.Control<QPushButton>("MAINP", "ButtonCalcOffset")->click();
    EXPECT_EQ(t.sensor.Model().EepromGeneration(), generation);
    t.program.popups.AnswerConfirm(true);
    t.Control<QPushButton>("MAINP", "ButtonCalcOffset")->click();
    const auto measured = t.sensor.Model().EepromImage().offsets;
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispBlueOffset")->text().toInt(), measured[2]);
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditBlueOffset")->value(), measured[2]);

    // Six words expected, four come: said, nothing changes.
    t.Fault("short:8@102#1");
    t.Control<QPushButton>("MAINP", "ButtonGetCF")->click();
    EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditBlueOffset")->value(), measured[2]);
    EXPECT_EQ(t.program.popups.History().size(), 2u);  // the two questions only
}

TEST(CorrectionValues, FramesTheSensorSendsOnItsOwnAreNoReplyToGetOrGetCf) {
    // A sensor left in triggered sending: its frames come ahead of every reply. Taken as the
    // reply, their words went into the factor boxes and the parameter set, and SEND CF and
    // SEND wrote them into the sensor.
    for (const auto transport :
         {testing_support::Transport::Tcp, testing_support::Transport::Serial}) {
        SCOPED_TRACE(transport == testing_support::Transport::Tcp ? "TCP" : "serial");
        sim::ServerOptions o = WhiteTarget();
        o.model.triggerRate = 200;
        testing_support::SensorProgram t(o, transport);
        sim::Eeprom e = t.sensor.Model().EepromImage();
        e.factors = {1100, 1200, 1300};
        t.sensor.Model().PowerUp(e);
        const auto ram = t.sensor.Model().Ram()[0].BlockWords();
        t.Fault("late:0.05@30u");  // some frames always on their way
        ASSERT_TRUE(t.S().Link().Command(sensorlink::cmd::kTriggeredSend, 1).Ok());
        const double on = t.sensor.Now();
        ASSERT_TRUE(testing_support::WaitFor([&] { return t.sensor.Now() > on + 0.1; }));

        t.Control<QPushButton>("MAINP", "ButtonGetCF")->click();
        EXPECT_GT(t.S().Link().StrayFrames(), 0u);
        EXPECT_EQ(t.Control<QSpinBox>("MAINP", "EditCFG")->value(), 1200);
        t.Control<QPushButton>("MAINP", "ButtonSendCF")->click();
        EXPECT_EQ(t.sensor.Model().EepromImage().factors, e.factors);
        t.Control<QPushButton>("MAINP", "ButtonGet")->click();
        t.Control<QPushButton>("MAINP", "ButtonSend")->click();
        EXPECT_EQ(t.sensor.Model().Ram()[0].BlockWords(), ram);
        EXPECT_TRUE(t.Reports().isEmpty()) << t.Reports().join("|").toStdString();
    }
}

TEST(PasswordGate, OnlyTheExactPasswordShowsTheOffsetPageAndCloseLocksItAgain) {
    Calib t;
    shell::Program& program = *t.program;
    QTabWidget* tabs = t.program.Control<QTabWidget>("MAINP", "TabMain1");
    QWidget* panel = program.Panel("PASSWORDP");
    auto* password = t.program.Control<QLineEdit>("PASSWORDP", "StringEnterPW");
    EXPECT_FALSE(ui::TabPageVisible(tabs, session::kPageOffset));
    auto open = [&] {
        QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(2, 2), QPointF(2, 2), Qt::RightButton,
                        Qt::RightButton, Qt::NoModifier);
        QCoreApplication::sendEvent(t.program.Control<QFrame>("MAINP", "DecoCalibrate1"), &dbl);
    };
    auto enter = [&](const QString& text) {
        password->setText(text);
        emit password->returnPressed();
    };
    open();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(password->maxLength(), 20);
    for (const char* wrong : {"Tovrin", "tovrin ", "", "tovri"}) {
        enter(QString::fromLatin1(wrong));
        EXPECT_EQ(t.program.popups.Messages().last(), "Wrong password. \nPlease try again.");
        EXPECT_TRUE(password->text().isEmpty());
        EXPECT_TRUE(panel->isVisible());
        EXPECT_FALSE(ui::TabPageVisible(tabs, session::kPageOffset));
    }
    // The close box unlocks nothing; opened again the field is empty.
    password->setText(QStringLiteral("tov"));
    panel->close();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(ui::TabPageVisible(tabs, session::kPageOffset));
    open();
    EXPECT_TRUE(password->text().isEmpty());

    enter(QStringLiteral("tovrin"));
    EXPECT_TRUE(ui::TabPageVisible(tabs, session::kPageOffset));
    EXPECT_EQ(ui::ActiveTabPage(tabs), session::kPageOffset);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(password->text().isEmpty());

    t.Control<QPushButton>("MAINP", "ButtonCloseOffsetCompensation")->click();
    EXPECT_FALSE(ui::TabPageVisible(tabs, session::kPageOffset));
    EXPECT_EQ(ui::ActiveTabPage(tabs), session::kPageParameter);

    // The password is nowhere in the settings the program writes.
    program.Shutdown();
    EXPECT_FALSE(t.program.ReadSettingsFile().contains("tovrin"));
}
