// GO against the simulated sensor: every way the live loop ends, SEND and GET served between
// frames, short replies, the displays and the large windows.

#include <gtest/gtest.h>

#include <QBoxLayout>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QCoreApplication>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <cmath>

#include "measure/measure_page.h"
#include "params/parameter_panel.h"
#include "program_fixture.h"
#include "sim/model/faults.h"
#include "sim/model/scene.h"
#include "sim/model/sensor_model.h"
#include "sim/server/sim_server.h"
#include "ui/graph.h"
#include "ui/refresh.h"

using testing_support::TestProgram;

namespace {

struct Live : testing_support::SensorProgram {
    Live() {
        EXPECT_TRUE(testing_support::ConnectedWithoutFailure(S()));
        QObject::connect(&S(), &session::Session::FrameTaken, &S(), [this] {
            ++frames;
            if (onFrame) onFrame(frames);
            // A test whose stop never comes ends instead of hanging the run.
            if (frames >= kMaxFrames) S().StopLoops();
        });
    }
    measure::MeasurePage& page() { return Page<measure::MeasurePage>(); }
    params::ParameterPanel& params() { return Page<params::ParameterPanel>(); }
    void AddFault(const char* spec) { Fault(spec); }
    // GO, ended by `onFrame` or by the sensor.
    void Go() { Control<QPushButton>("MAINP", "ButtonGo")->click(); }
    void StopAt(int frame) {
        onFrame = [this, frame](int n) {
            if (n >= frame) S().StopLoops();
        };
    }

    static constexpr int kMaxFrames = 20000;
    int frames = 0;
    std::function<void(int)> onFrame;
};

}  // namespace

TEST(LiveLoop, RunsUntilStopAndShowsTheLastFrame) {
    Live l;
    l.StopAt(25);
    l.Go();
    EXPECT_EQ(l.frames, 25);
    EXPECT_FALSE(l.S().App().loopRunning);
    EXPECT_TRUE(l.Control<QPushButton>("MAINP", "ButtonGo")->isEnabled());  // the buttons are back
    EXPECT_TRUE(l.Control<QPushButton>("MAINP", "ButtonSend")->isEnabled());
    EXPECT_TRUE(l.program->Panel("DATAP")->isVisible());
    // The displays show the last frame once the loop has ended.
    const session::MeasuredValues& m = l.S().Measured();
    EXPECT_EQ(l.Control<QLineEdit>("DATAP", "DispRED")->text(), QString::number(m.red));
    EXPECT_EQ(l.Control<QLineEdit>("DATAP", "DispRgbBLUE")->text(), QString::number(m.blue));
    EXPECT_EQ(l.Control<QLineEdit>("DATAP", "DispDeltaC")->text(), QString::number(m.deltaC));
    EXPECT_EQ(l.page().ChartSet().History().x.back(), m.x);
    EXPECT_GT(m.red, 0);
}

TEST(LiveLoop, StopWhileAReplyIsAwaitedStillShowsThatReply) {
    Live l;
    l.AddFault("late:0.3@8#3");
    l.onFrame = [&](int n) {
        if (n == 2)
            QTimer::singleShot(50, l.Control<QPushButton>("MAINP", "ButtonStop"),
                               [&] { l.Control<QPushButton>("MAINP", "ButtonStop")->click(); });
    };
    l.Go();
    EXPECT_EQ(l.frames, 3);  // the late one is taken, none after it
}

TEST(LiveLoop, SendAndGetPressedDuringALoopRunBetweenFramesSendFirst) {
    Live l;
    ASSERT_EQ(l.sensor.Model().Ram()[0].block.power, 500);
    l.onFrame = [&](int n) {
        if (n == 2) {
            l.Control<QSlider>("MAINP", "SlidePower")->setValue(321);
            l.Control<QPushButton>("MAINP", "ButtonGet")
                ->click();  // both in one pass: SEND still goes first
            l.Control<QPushButton>("MAINP", "ButtonSend")->click();
        }
        if (n == 3) {
            EXPECT_EQ(l.sensor.Model().Ram()[0].block.power, 321);
            l.S().StopLoops();
        }
    };
    l.Go();
    EXPECT_EQ(l.frames, 3);
    EXPECT_EQ(l.Control<QSlider>("MAINP", "SlidePower")->value(), 321);
    EXPECT_FALSE(l.S().App().sendRequest);
    EXPECT_FALSE(l.S().App().getRequest);
}

TEST(LiveLoop, AFailedExchangeEndsItWithTheLinkTextAndUsableButtons) {
    Live l;
    l.AddFault("badcrc-header@8#4");
    l.Go();
    EXPECT_EQ(l.frames, 3);
    EXPECT_EQ(ui::ActiveTabPage(l.program.Control<QTabWidget>("MAINP", "TabMain1")),
              session::kPageConnection);
    EXPECT_TRUE(l.program.Connection().Messages().contains("RECEIVED HEADER FRAME IS INCORRECT"));
    EXPECT_TRUE(l.Control<QPushButton>("MAINP", "ButtonGo")->isEnabled());
    EXPECT_EQ(l.program.Control<QLineEdit>("DATAP", "DispStatus")->text(), "TIMEOUT!");

    // A sensor that hangs up during the loop.
    Live h;
    h.AddFault("close-after:6@8");
    h.Go();
    EXPECT_EQ(h.frames, 6);  // the sixth reply arrives, then the line goes
    EXPECT_FALSE(h.S().App().loopRunning);
    EXPECT_TRUE(h.Control<QPushButton>("MAINP", "ButtonGo")->isEnabled());
}

// An error frame whose code has no text is no reason to end GO: its frame is taken and the
// loop goes on. A GET served by the loop that gets one is not dropped without a word.
TEST(LiveLoop, AnErrorFrameWithoutTextGoesOnAndAGetItSpoilsIsSaid) {
    Live l;
    l.AddFault("error:3@8#2");
    int reports = 0;
    QObject::connect(&l.S(), &session::Session::LinkFailed, &l.S(),
                     [&](const QString&) { ++reports; });
    l.StopAt(5);
    l.Go();
    EXPECT_EQ(l.frames, 5);
    EXPECT_EQ(reports, 0);

    Live g;
    g.AddFault("error:3@2#1");
    g.onFrame = [&](int n) {
        if (n == 2) g.Control<QPushButton>("MAINP", "ButtonGet")->click();
    };
    g.Go();
    EXPECT_EQ(g.frames, 2);
    EXPECT_TRUE(g.program.Connection().Messages().contains("RECEIVED DATA FRAME IS INCORRECT"));
}

TEST(LiveLoop, TheConnectionAndScopePagesStopIt) {
    for (int page : {session::kPageConnection, session::kPageScope}) {
        Live l;
        l.onFrame = [&](int n) {
            if (n == 3) {
                // What the user clicks: the tab of that page, wherever hidden pages put it.
                QTabWidget* tabs = l.program.Control<QTabWidget>("MAINP", "TabMain1");
                tabs->setCurrentIndex(tabs->indexOf(ui::PageWidget(tabs, page)));
            }
        };
        l.Go();
        EXPECT_EQ(l.frames, 3) << page;
    }
}

TEST(LiveLoop, APlausibilityReportOfASendItServedEndsIt) {
    Live l;
    l.AddFault("plausibility:1@1#1");
    l.onFrame = [&](int n) {
        if (n == 2) l.Control<QPushButton>("MAINP", "ButtonSend")->click();
    };
    l.Go();
    EXPECT_EQ(l.frames, 2);
    EXPECT_TRUE(l.program.Connection().Messages().contains("1 PARAMETER IN RAM"));
}

TEST(LiveLoop, ClosingTheMainPanelWhileAReplyIsAwaitedEndsTheProgramCleanly) {
    Live l;
    l.AddFault("late:5@8#3");
    QFile::remove(l.program.SettingsPath());
    l.onFrame = [&](int n) {
        if (n == 2) {
            QTimer::singleShot(30, l.program->Panel("DATAP"),
                               [&] { l.program->MainPanel()->close(); });
        }
    };
    l.Go();
    EXPECT_EQ(l.frames, 2);
    EXPECT_TRUE(l.program->QuitRequested());
    EXPECT_FALSE(l.S().App().loopRunning);
    EXPECT_TRUE(QFile::exists(l.program.SettingsPath()));
}

TEST(LiveLoop, AShortReplyKeepsTheWordsAnEarlierOneLeft) {
    Live l;
    l.AddFault("short:44@8#2");
    l.onFrame = [&](int n) {
        if (n == 1) {  // as if frame 1 said so
            session::MeasuredValues m = l.S().Measured();
            m.extra[2] = 12345;
            l.S().SetMeasured(m);
        }
        if (n == 2) l.S().StopLoops();
    };
    l.Go();
    EXPECT_EQ(l.S().Measured().extra[2], 12345);
    EXPECT_NE(l.S().Measured().extra[1], 12345);
}

TEST(Displays, SignedDeltaCLabAndTheOutputLeds) {
    Live l;
    auto& page = l.page();
    session::MeasuredValues m = l.S().Measured();
    m = {};
    m.red = m.green = m.blue = 4095;
    m.deltaC = -1;
    m.colorNo = 2;
    l.S().SetMeasured(m);
    session::ModeView modes = l.S().Modes();
    modes.evaluationMode = 3;  // COL2: the colour number is a bit pattern
    l.S().SetModes(modes);
    page.ShowMeasuredValues();
    page.FlushDisplays();
    EXPECT_EQ(l.Control<QLineEdit>("DATAP", "DispDeltaC")->text(), "-1");
    EXPECT_EQ(l.Control<QLineEdit>("DATAP", "DispL")->text(), "100.00");
    EXPECT_EQ(l.Control<QLineEdit>("DATAP", "DispA")->text(), "0.00");
    EXPECT_TRUE(page.Leds().bit1);
    EXPECT_FALSE(page.Leds().bit0);
    // In the other evaluation modes the LEDs keep their last state.
    modes.evaluationMode = 1;
    l.S().SetModes(modes);
    m.colorNo = 0;
    l.S().SetMeasured(m);
    page.ShowMeasuredValues();
    EXPECT_TRUE(page.Leds().bit1);
}

// What the LEDs show on the screen: their colour when on, black when off, inside a dark frame,
// switching both ways (the trigger LED with every frame, an output LED with the colour number).
TEST(Displays, TheLedsLightInTheirColourAndGoDarkAgain) {
    Live l;
    auto& page = l.page();
    session::ModeView modes = l.S().Modes();
    modes.evaluationMode = 3;  // COL2: the colour number is the outputs' bit pattern
    l.S().SetModes(modes);
    const auto pixel = [&l](const char* name, QPoint at) {
        auto* led = l.Control<QLabel>("DATAP", name);
        const QImage shown = led->grab().toImage();
        if (at.x() < 0) at = QPoint(shown.width() / 2, shown.height() / 2);
        return shown.pixelColor(at).name();
    };
    const auto show = [&](int colorNo, int triggered) {
        session::MeasuredValues m = l.S().Measured();
        m.colorNo = colorNo;
        m.triggered = triggered;
        l.S().SetMeasured(m);
        page.ShowMeasuredValues();
        page.FlushDisplays();
    };
    show(2, 1);
    EXPECT_EQ(pixel("LedOut1", {-1, -1}), "#ff0000");
    EXPECT_EQ(pixel("LedOut0", {-1, -1}), "#000000");
    EXPECT_EQ(pixel("LedTrig", {-1, -1}), "#00ff00");
    EXPECT_EQ(pixel("LedTrig", {0, 0}), "#404040");  // the frame
    show(1, 0);
    EXPECT_EQ(pixel("LedOut1", {-1, -1}), "#000000");
    EXPECT_EQ(pixel("LedOut0", {-1, -1}), "#ff0000");
    EXPECT_EQ(pixel("LedTrig", {-1, -1}), "#000000");
    EXPECT_EQ(pixel("LedOut0", {0, 0}), "#404040");
    show(3, 1);
    EXPECT_EQ(pixel("LedOut1", {-1, -1}), "#ff0000");
    EXPECT_EQ(pixel("LedOut0", {-1, -1}), "#ff0000");
    EXPECT_EQ(pixel("LedTrig", {-1, -1}), "#00ff00");
}

// The sensor's minimum and maximum of each colour show under the labels that name them:
// in front of a red patch the red maximum is no green value.
TEST(Displays, TheMinimumAndMaximumOfEachColourSitUnderTheirLabels) {
    sim::ServerOptions options;
    options.model.scene = sim::Scene({{"red", {0.9, 0.15, 0.05}, 10.0}});
    sim::SimServer sensor(options);
    ASSERT_TRUE(sensor.StartTcp(0));
    TestProgram p(testing_support::TcpSettingsText("127.0.0.1", sensor.TcpPort()));
    p->StartUp();
    session::Session& s = p.Session();
    int frames = 0;
    QObject::connect(&s, &session::Session::FrameTaken, &s, [&] {
        if (++frames == 5) s.StopLoops();
    });
    p.Control<QPushButton>("MAINP", "ButtonGo")->click();
    ASSERT_EQ(frames, 5);
    QWidget* data = p->Panel("DATAP");
    // The display that follows the label in its row.
    const auto shown = [&](const QString& text) {
        for (auto* row : data->findChildren<QBoxLayout*>()) {
            for (int i = 0; i + 1 < row->count(); ++i) {
                auto* label = qobject_cast<QLabel*>(row->itemAt(i)->widget());
                auto* display = qobject_cast<QLineEdit*>(row->itemAt(i + 1)->widget());
                if (label && display && label->text() == text) return display->text().toInt();
            }
        }
        ADD_FAILURE() << "no display labelled " << text.toStdString();
        return -1;
    };
    const session::MeasuredValues& m = s.Measured();
    const std::pair<const char*, int> colours[] = {{"R", m.red}, {"G", m.green}, {"B", m.blue}};
    for (const auto& [name, value] : colours) {
        SCOPED_TRACE(name);
        EXPECT_LE(shown(QStringLiteral("%1 MIN").arg(name)), value);
        EXPECT_GE(shown(QStringLiteral("%1 MAX").arg(name)), value);
    }
    EXPECT_GT(m.red, m.green + 1000);  // the patch is red indeed
}

// A loop does not write the displays of the data pages nobody sees; a page brought to the
// front shows the last frame at once, and a loop's end (or a teach reading the values back)
// writes them all. A page left stale in the front, or one never caught up, fails here.
TEST(Displays, ThePagesInTheBackAreWrittenWhenTheyComeToTheFront) {
    Live l;
    l.StopAt(2);
    l.Go();
    auto* tabs = l.Control<QTabWidget>("DATAP", "TabDataP1");
    ui::SetActiveTabPage(tabs, measure::kPageRgb);
    auto* front = l.Control<QLineEdit>("DATAP", "DispRgbRED");
    auto* coordinates = l.Control<QLineEdit>("DATAP", "DispCoordRED");
    auto* twoD = l.Control<QLineEdit>("DATAP", "Disp2dRED");
    ASSERT_TRUE(front->isVisible());
    ASSERT_FALSE(coordinates->isVisible());

    session::MeasuredValues m = l.S().Measured();
    m.red = 1234;
    l.S().SetMeasured(m);
    l.page().ShowMeasuredValues();
    EXPECT_TRUE(testing_support::WaitFor([&] { return front->text() == "1234"; }));
    EXPECT_EQ(l.Control<QLineEdit>("DATAP", "DispRED")->text(), "1234");
    EXPECT_NE(coordinates->text(), "1234");
    EXPECT_NE(twoD->text(), "1234");

    ui::SetActiveTabPage(tabs, measure::kPageCoord);
    EXPECT_TRUE(testing_support::WaitFor([&] { return coordinates->text() == "1234"; }));
    EXPECT_NE(twoD->text(), "1234");

    l.page().FlushDisplays();
    EXPECT_EQ(twoD->text(), "1234");
}

// The page in front and the panel's own displays show one frame, whenever the user looks:
// a page refreshed on a clock of its own would show another frame than RED above it.
TEST(Displays, ThePageInFrontShowsTheSameFrameAsThePanelsOwnDisplays) {
    Live l;
    auto* tabs = l.Control<QTabWidget>("DATAP", "TabDataP1");
    auto* own = l.Control<QLineEdit>("DATAP", "DispRED");
    auto* page = l.Control<QLineEdit>("DATAP", "DispRgbRED");
    int checked = 0;
    int differing = 0;
    QElapsedTimer clock;
    bool switched = false;
    l.onFrame = [&](int n) {
        if (n == 1) clock.start();
        // The page comes to the front half a refresh after the panel's displays were written.
        if (!switched && clock.elapsed() >= ui::Refresh::kIntervalMs / 2) {
            ui::SetActiveTabPage(tabs, measure::kPageRgb);
            switched = true;
        } else if (switched) {
            ++checked;
            if (own->text() != page->text()) ++differing;
        }
        // A new value in every frame, over a few dozen refreshes.
        session::MeasuredValues m = l.S().Measured();
        m.red = 100 + n;
        l.S().SetMeasured(m);
        if (clock.elapsed() > 25 * ui::Refresh::kIntervalMs) l.S().StopLoops();
    };
    l.Go();
    ASSERT_TRUE(page->isVisible());
    EXPECT_GT(checked, 100);
    EXPECT_EQ(differing, 0);
}

TEST(Displays, TheLargeColourWindowOpensClosesAndFollowsTheLoop) {
    Live l;
    QWidget* colBig = l.program->Panel("COLBIGP");
    testing_support::DoubleClick(l.Control("DATAP", "DispCOL"));
    EXPECT_TRUE(colBig->isVisible());
    l.StopAt(3);
    l.Go();
    EXPECT_EQ(l.Control<QLabel>("COLBIGP", "DispColorBig")->text(),
              QString::number(l.S().Measured().colorNo));
    QContextMenuEvent right(QContextMenuEvent::Mouse, QPoint(2, 2), QPoint(2, 2));
    QCoreApplication::sendEvent(colBig, &right);
    EXPECT_FALSE(colBig->isVisible());
}

// Where no window manager places them, both large windows opened at 0,0 on top of each
// other: now they open apart, on the screen, beside the main window where the screen has the
// room (the test's screen is barely wider than the main window).
TEST(Displays, TheLargeWindowsOpenApartAndStayWhereTheUserPutsThem) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    QWidget* colBig = p->Panel("COLBIGP");
    QWidget* grpBig = p->Panel("GRPBIGP");
    testing_support::DoubleClick(p.Control("DATAP", "DispGroup"));
    testing_support::DoubleClick(p.Control("DATAP", "DispCOL"));
    ASSERT_TRUE(colBig->isVisible() && grpBig->isVisible());
    const QRect col = colBig->frameGeometry();
    const QRect grp = grpBig->frameGeometry();
    EXPECT_FALSE(col.intersects(grp));
    EXPECT_LT(col.top(), grp.top());  // the colour number above the group
    const QRect screen = p->MainPanel()->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(col) && screen.contains(grp));
    const QRect main = p->MainPanel()->frameGeometry();
    if (screen.width() >= main.width() + col.width() + 16) {
        EXPECT_FALSE(col.intersects(main) || grp.intersects(main));
    }
    // Closed, moved by the user and opened again: where the user put it.
    colBig->close();
    EXPECT_FALSE(colBig->isVisible());
    colBig->move(5, 7);
    testing_support::DoubleClick(p.Control("DATAP", "DispCOL"));
    EXPECT_EQ(colBig->pos(), QPoint(5, 7));
}

TEST(HostileReplies, EveryPayloadLengthAndExtremeWordsAreShownWithoutHarm) {
    Live l;
    session::Session& s = l.S();
    std::vector<std::uint8_t> payload(sensorlink::kMaxPayload);
    sensorlink::Exchange reply(sensorlink::Outcome::Reply);
    for (std::uint8_t fill : {std::uint8_t{0x00}, std::uint8_t{0xFF}}) {
        std::fill(payload.begin(), payload.end(), fill);
        for (std::size_t length = 0; length <= sensorlink::kMaxPayload; ++length) {
            reply.payload.assign(payload.begin(), payload.begin() + std::ptrdiff_t(length));
            s.TakeMeasurementReply(reply);
            const measure::Lab& lab = l.page().LastLab();
            ASSERT_TRUE(std::isfinite(lab.l) && std::isfinite(lab.a) && std::isfinite(lab.b));
        }
        // The full-length reply set every word: the last frame is all `fill`.
        const std::uint16_t word = fill == 0 ? 0 : 65535;
        EXPECT_EQ(s.Measured().red, word);
        EXPECT_EQ(s.Measured().deltaC, fill == 0 ? 0 : -1);
    }
    l.page().FlushDisplays();
    EXPECT_EQ(l.Control<QLineEdit>("DATAP", "DispRED")->text(), "65535");
}

TEST(Charts, AClickFixesTheStripChartsADoubleClickScalesThemToTheData) {
    Live l;
    const measure::Charts& charts = l.page().ChartSet();
    auto* rgb = charts.Rgb();
    const auto coordinates = charts.Coordinates();
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(20, 20), QPointF(20, 20), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(rgb, &dbl);
    EXPECT_TRUE(rgb->AutoScale(ui::Axis::Y));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 20), QPointF(20, 20), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(rgb, &press);
    EXPECT_FALSE(rgb->AutoScale(ui::Axis::Y));
    EXPECT_EQ(rgb->AxisRange(ui::Axis::Y).upper, 4096);
    // The coordinate charts take the ranges of s i M when a click fixes them: scaled to the
    // data, they do not follow a change of the mode at once.
    QCoreApplication::sendEvent(coordinates[0], &dbl);
    session::ModeView modes = l.S().Modes();
    modes.calculationMode = 1;
    l.S().SetModes(modes);
    EXPECT_TRUE(coordinates[0]->AutoScale(ui::Axis::Y));
    QCoreApplication::sendEvent(coordinates[0], &press);
    EXPECT_EQ(coordinates[0]->AxisRange(ui::Axis::Y).upper, 10000);
    EXPECT_EQ(coordinates[1]->AxisRange(ui::Axis::Y).upper, 5000);
    EXPECT_EQ(coordinates[2]->AxisRange(ui::Axis::Y).upper, 1200);
    QCoreApplication::sendEvent(coordinates[2], &dbl);
    for (ui::Graph* g : coordinates) EXPECT_TRUE(g->AutoScale(ui::Axis::Y));
}

TEST(Charts, TheColourPlaneScalesToTheTaughtVectorAndTheCurrentPoint) {
    Live l;
    params::ParameterSet set = l.S().Parameters();
    set.teach[0].cell = {1000, 800, 100, 2000, 300};
    l.S().SetParameters(set);
    session::ModeView modes = l.S().Modes();
    modes.calculationMode = 0;
    l.S().SetModes(modes);
    l.page().DrawTolerancePlot();
    {
        session::MeasuredValues m = l.S().Measured();
        m.x = 1500;
        m.y = 800;
        l.S().SetMeasured(m);
    }
    l.page().UpdateCharts();
    ui::Graph* plane = l.page().ChartSet().Plane();
    EXPECT_EQ(plane->RequestedRange(ui::Axis::X).lower, 875);
    EXPECT_EQ(plane->RequestedRange(ui::Axis::X).upper, 1525);
    EXPECT_EQ(plane->RequestedRange(ui::Axis::Y).lower, 475);
    EXPECT_EQ(plane->RequestedRange(ui::Axis::Y).upper, 1125);
    EXPECT_EQ(plane->CursorPosition(1), QPointF(1500, 800));
    EXPECT_EQ(plane->PlotCount(), 31);  // one circle per row, taught or not
}

// --- the data panel at the default window size ----------------------------------------------
