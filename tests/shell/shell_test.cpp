// The shell on the real panel set: start-up, the busy convention, the main tab control,
// closing, the help pop-ups and the refusal of a broken panel set.

#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <unistd.h>

#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>
#include <utility>

#include "calib/calib_page.h"
#include "measure/measure_page.h"
#include "params/parameter_panel.h"
#include "program_fixture.h"
#include "recorder/recorder_page.h"
#include "scope/scope_page.h"
#include "shell/page_list.h"
#include "sim/model/faults.h"
#include "sim/model/sensor_model.h"
#include "sim/server/sim_server.h"
#include "teach/teach_page.h"
#include "ui/display_style.h"

using testing_support::TestProgram;
using testing_support::WaitFor;

namespace {

void UserSelectsPage(TestProgram& p, int page) {
    // The tab bar is what the user clicks; the tab control's callback follows from it.
    auto* tabs = p.Control<QTabWidget>("MAINP", "TabMain1");
    tabs->tabBar()->setCurrentIndex(tabs->indexOf(ui::PageWidget(tabs, page)));
}

// The real program, copied into `dir` so that `dir` is its program folder, started
// offscreen.
void StartProgramIn(const QTemporaryDir& dir, QProcess& process) {
    const QString exe = dir.filePath("velorax-scope");
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELORAX_SCOPE_EXE), exe));
    QFile::setPermissions(exe, QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    process.start(exe, {});
    ASSERT_TRUE(process.waitForStarted(10000));
}

shell::ProgramOptions AllPagesOptions() {
    shell::ProgramOptions options;
    options.pages = shell::AllPages();
    return options;
}

QString UirText() {
    QFile file(QStringLiteral(VELORAX_UIR_PATH));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QString::fromUtf8(file.readAll());
}

}  // namespace

TEST(PanelSet, RefusesMissingTruncatedOrIncompleteFiles) {
    const QString good = UirText();
    struct Case {
        const char* name;
        std::function<QString(QString)> edit;
    } cases[] = {
        {"truncated", [](QString t) { return t.left(t.size() / 2); }},
        {"without DATAP", [](QString t) { return t.replace("name=\"DATAP\"", "name=\"DATAX\""); }},
        {"without GO",
         [](QString t) { return t.replace("name=\"ButtonGo\"", "name=\"ButtonGone\""); }},
        {"empty", [](QString) { return QString(); }},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        QFile file(dir.filePath("Velorax3KvtAnaV10.uir"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.edit(good).toUtf8());
        file.close();
        ui::ScriptedPopups popups;
        QString error;
        EXPECT_EQ(shell::Program::Create(dir.path(), popups, AllPagesOptions(), &error), nullptr)
            << c.name;
        EXPECT_FALSE(error.isEmpty()) << c.name;
    }
    QTemporaryDir empty;
    ui::ScriptedPopups popups;
    EXPECT_EQ(shell::Program::Create(empty.path(), popups, AllPagesOptions()), nullptr);
}

// Displays repaint with every frame: each fills its own background and copies its frame;
// fields a user types into keep the application's style as it is.
TEST(PanelSet, DisplaysFillTheirBackgroundAndCopyTheirFrame) {
    TestProgram p(testing_support::NoSensorSettingsText());
    int displays = 0;
    int editable = 0;
    for (const char* name : ui::kPanelNames) {
        for (QLineEdit* field : p->Panel(name)->findChildren<QLineEdit*>()) {
            if (field->isReadOnly()) {
                ++displays;
                EXPECT_TRUE(field->autoFillBackground()) << field->objectName().toStdString();
                EXPECT_EQ(field->style(), ui::SharedDisplayStyle()) << field->objectName().toStdString();
            } else {
                ++editable;
                EXPECT_NE(field->style(), ui::SharedDisplayStyle()) << field->objectName().toStdString();
            }
        }
    }
    EXPECT_GT(displays, 20);
    EXPECT_GT(editable, 0);
}

TEST(PanelSet, ProgramWithoutPanelSetExitsMinusOneAndWritesNothing) {
    // Where the package is installed, the copied program finds the installed panel set.
    if (QFileInfo::exists(QStringLiteral("/usr/share/velorax-scope/Velorax3KvtAnaV10.uir")))
        GTEST_SKIP() << "velorax-scope is installed on this machine";
    QTemporaryDir dir;
    QProcess process;
    StartProgramIn(dir, process);
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 255);  // -1
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"velorax-scope"});
}

TEST(Program, SigtermClosesItLikeTheCloseBoxWithExitCodeZero) {
    QTemporaryDir dir;
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(VELORAX_UIR_PATH), dir.filePath("Velorax3KvtAnaV10.uir")));
    // A sensor that takes the connection and never answers: once the program has connected,
    // its signal handlers are in place and it waits for the identification.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    QFile settings(dir.filePath("PanelSettings.cfg"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(testing_support::TcpSettingsText("127.0.0.1", silent.serverPort()).toUtf8());
    settings.close();
    const qint64 before = QFileInfo(settings).size();

    QProcess process;
    StartProgramIn(dir, process);
    ASSERT_TRUE(WaitFor([&] { return silent.hasPendingConnections(); }, 20000));
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_GT(QFileInfo(settings).size(), before);  // written anew, all sections
}

TEST(StartUp, HalfWrittenSettingsFileGivesDefaultsWithoutAWord) {
    const QString full = testing_support::NoSensorSettingsText();
    TestProgram p(full.left(full.indexOf("PORT NUMBER") + 8));
    ASSERT_TRUE(p.program);
    p->StartUp();
    EXPECT_TRUE(p.popups.History().empty());
    EXPECT_EQ(p.Control<QLineEdit>("MAINP", "StringPortNumber")->text(), "10001");
    EXPECT_EQ(p.Session().LinkStatus().comProtocol, sensorlink::ComProtocol::Tcp);
}

TEST(StartUp, WithoutSensorEndsOnConnectionPageWithTheReason) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program) << p.createError.toStdString();
    p->StartUp();
    EXPECT_TRUE(p->MainPanel()->isVisible());
    EXPECT_EQ(ui::ActiveTabPage(p.Control<QTabWidget>("MAINP", "TabMain1")),
              session::kPageConnection);
    EXPECT_EQ(p.Control<QLineEdit>("DATAP", "DispStatus")->text(), "TIMEOUT!");
    const QString messages = p.Connection().Messages();
    EXPECT_TRUE(messages.startsWith("TRY TO CONNECT!\n")) << messages.toStdString();
    EXPECT_TRUE(messages.endsWith("\n\n"));
    EXPECT_GT(messages.size(), QString("TRY TO CONNECT!\n\n\n").size());
    EXPECT_FALSE(p.Control<QPushButton>("MAINP", "ButtonAccept")->isEnabled());
    EXPECT_FALSE(p.Control<QPushButton>("MAINP", "ButtonChangeBaudrate")->isEnabled());
    EXPECT_FALSE(p.Control<QPushButton>("MAINP", "ButtonGenHwInfoFile")->isEnabled());
    EXPECT_TRUE(p.Control<QPushButton>("MAINP", "ButtonTryToConnect")->isEnabled());
    EXPECT_TRUE(p.popups.History().empty());  // link failures never pop up
    EXPECT_FALSE(p.Session().App().loopRunning);
    EXPECT_FALSE(p.Session().Link().Up());
    // A right double-click on the status display clears the message box: the first click of
    // it is a right-click, which must not open a pop-up that would swallow the second.
    QContextMenuEvent right(QContextMenuEvent::Mouse, QPoint(3, 3), QPoint(3, 3));
    QCoreApplication::sendEvent(p.Control<QLineEdit>("DATAP", "DispStatus"), &right);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(3, 3), QPointF(3, 3), Qt::RightButton,
                    Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(p.Control<QLineEdit>("DATAP", "DispStatus"), &dbl);
    EXPECT_TRUE(p.Connection().Messages().isEmpty());
    // The message box itself clears the same way, and by the keys of the gesture.
    auto* box = p.Control<QPlainTextEdit>("MAINP", "TextMessages");
    for (int i = 0; i < 2; ++i) {
        p.Connection().AppendMessage("TRY TO CONNECT!\n");
        if (i == 0) testing_support::RightDoubleClick(box->viewport());
        if (i == 1) QTest::keyClick(box, Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_TRUE(p.Connection().Messages().isEmpty());
    }
    EXPECT_TRUE(p.popups.History().empty());
}

TEST(StartUp, IdentifiesTheSensorAndShowsTheParameterPage) {
    testing_support::SensorProgram t;
    TestProgram& p = t.program;
    ASSERT_TRUE(p.program);
    EXPECT_EQ(ui::ActiveTabPage(p.Control<QTabWidget>("MAINP", "TabMain1")),
              session::kPageParameter);
    EXPECT_EQ(p.Control<QLineEdit>("DATAP", "DispStatus")->text(),
              QString::fromLatin1(sim::kFirmwareText));
    EXPECT_TRUE(p.Connection().Messages().contains(QString(sim::kFirmwareText) + "\n\n"));
    EXPECT_TRUE(p.Control<QPushButton>("MAINP", "ButtonAccept")->isEnabled());
    EXPECT_TRUE(p.Control<QPushButton>("MAINP", "ButtonGenHwInfoFile")->isEnabled());
    EXPECT_TRUE(testing_support::ConnectedWithoutFailure(p.Session()));
    EXPECT_TRUE(p.Control<QLineEdit>("DATAP", "DispIpAdress")->isVisibleTo(p->Panel("DATAP")));
    EXPECT_FALSE(p.Control<QLineEdit>("DATAP", "DispComPort")->isVisibleTo(p->Panel("DATAP")));
    // The main window is the parameter page with the data panel in the child area.
    EXPECT_TRUE(p->Panel("DATAP")->isVisible());
    EXPECT_EQ(p->Panel("DATAP")->mapTo(p->MainPanel(), QPoint(0, 0)), QPoint(286, 63));
    EXPECT_EQ(p->MainPanel()->windowTitle(), "VELORAX3-KVT-ANA-Scope V1.0");
    EXPECT_FALSE(
        ui::TabPageVisible(p.Control<QTabWidget>("MAINP", "TabMain1"), session::kPageOffset));
    // The sensor's factory set has the colour evaluation off: no colour views.
    EXPECT_FALSE(ui::TabPageVisible(p.Control<QTabWidget>("DATAP", "TabDataP1"), measure::kPage3D));
    EXPECT_FALSE(ui::TabPageVisible(p.Control<QTabWidget>("DATAP", "TabDataP1"), measure::kPage2D));
}

// Start-up connects the way TRY TO CONNECT does, so the buttons end the same way.
TEST(StartUp, AWorkingSensorLeavesTheConnectButtonsUsableAsTryToConnectDoes) {
    testing_support::SensorProgram t;
    TestProgram& p = t.program;
    ASSERT_TRUE(p.program);
    const auto usable = [&] {
        return std::vector<bool>{
            p.Control<QPushButton>("MAINP", "ButtonAccept")->isEnabled(),
            p.Control<QPushButton>("MAINP", "ButtonChangeBaudrate")->isEnabled(),
            p.Control<QPushButton>("MAINP", "ButtonGenHwInfoFile")->isEnabled(),
            p.Control<QPushButton>("MAINP", "ButtonTryToConnect")->isEnabled()};
    };
    // What a user sees once the window is up and its events have run.
    QCoreApplication::processEvents();
    const std::vector<bool> afterStartUp = usable();
    p.Control<QPushButton>("MAINP", "ButtonTryToConnect")->click();
    EXPECT_EQ(afterStartUp, usable());
    EXPECT_EQ(afterStartUp, (std::vector<bool>{true, true, true, true}));
}

TEST(BusyConvention, DimsAndUndimsTheTransactionButtons) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    const std::vector<QWidget*> always = {p.Control<QPushButton>("MAINP", "ButtonGo"),
                                          p.Control<QPushButton>("MAINP", "ButtonTryToConnect"),
                                          p.Control<QComboBox>("MAINP", "EditSelectBaudrate"),
                                          p.Control<QPushButton>("MAINP", "ButtonSendCF"),
                                          p.Control<QPushButton>("MAINP", "ButtonGetCF"),
                                          p.Control<QPushButton>("MAINP", "ButtonCalcCF"),
                                          p.Control<QPushButton>("MAINP", "ButtonSelfCalibration"),
                                          p.Control<QPushButton>("MAINP", "ButtonSendOffset"),
                                          p.Control<QPushButton>("MAINP", "ButtonGetOffset"),
                                          p.Control<QPushButton>("MAINP", "ButtonCalcOffset"),
                                          p.Control("MAINP", "ButtonRecFileSelect"),
                                          p.Control("MAINP", "EditRecMode"),
                                          p.Control("MAINP", "ButtonRecStart"),
                                          p.Control("MAINP", "ButtonRecStartTriggered"),
                                          p.Control<QPushButton>("MAINP", "ButtonGetCycleTime"),
                                          p.Control<QPushButton>("MAINP", "ButtonScan"),
                                          p.Control<QPushButton>("MAINP", "ButtonBreakScan"),
                                          p.Control("TEACHP2", "ButtonTP2Start")};
    const std::vector<QWidget*> transfer = {p.Control<QPushButton>("MAINP", "ButtonSend"),
                                            p.Control<QPushButton>("MAINP", "ButtonGet"),
                                            p.Control<QPushButton>("MAINP", "SelectRam"),
                                            p.Control<QPushButton>("MAINP", "SelectEeprom"),
                                            p.Control<QPushButton>("MAINP", "SelectFile")};
    QWidget* stop = p.Control<QPushButton>("MAINP", "ButtonStop");

    p->SetButtonsDimmed(false, true);
    for (QWidget* w : always) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    for (QWidget* w : transfer) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_FALSE(p.Control<QPushButton>("MAINP", "ButtonChangeBaudrate")->isEnabled());
    EXPECT_FALSE(p.Control<QPushButton>("MAINP", "ButtonGenHwInfoFile")->isEnabled());
    EXPECT_TRUE(stop->isEnabled());

    p->SetButtonsDimmed(false, false);
    for (QWidget* w : always) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    for (QWidget* w : transfer) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    // Only a successful connection frees these two.
    EXPECT_FALSE(p.Control<QPushButton>("MAINP", "ButtonChangeBaudrate")->isEnabled());
    EXPECT_FALSE(p.Control<QPushButton>("MAINP", "ButtonGenHwInfoFile")->isEnabled());

    // GO keeps SEND, GET and the memory selector usable for the loop.
    p->SetButtonsDimmed(true, true);
    for (QWidget* w : transfer) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    for (QWidget* w : always) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(stop->isEnabled());
    p->SetButtonsDimmed(false, false);

    // A scope undims on every way out, also when the code inside it leaves early.
    auto leaveEarly = [&](bool early) {
        ui::BusyScope busy(p->Busy());
        EXPECT_FALSE(p.Control<QPushButton>("MAINP", "ButtonSend")->isEnabled());
        if (early) return;
        EXPECT_FALSE(p.Control<QPushButton>("MAINP", "ButtonTryToConnect")->isEnabled());
    };
    leaveEarly(true);
    leaveEarly(false);
    for (QWidget* w : always) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    for (QWidget* w : transfer) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
}

TEST(MainTab, ConnectionAndScopePagesStopARunningLoop) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    ui::SetDimmed(p.Control<QPushButton>("MAINP", "ButtonAccept"), false);

    session::LoopScope first(p.Session());
    UserSelectsPage(p, session::kPageGroupHold);
    EXPECT_TRUE(p.Session().App().loopRunning);

    UserSelectsPage(p, session::kPageConnection);
    EXPECT_FALSE(p.Session().App().loopRunning);
    EXPECT_FALSE(p.Control<QPushButton>("MAINP", "ButtonAccept")->isEnabled());

    session::LoopScope second(p.Session());
    UserSelectsPage(p, session::kPageScope);
    EXPECT_FALSE(p.Session().App().loopRunning);
    EXPECT_TRUE(p->Panel("SCOPEP")->isVisible());
    EXPECT_FALSE(p->Panel("DATAP")->isVisible());

    p->ShowChildPanel(nullptr);  // anything else shows the data panel
    EXPECT_TRUE(p->Panel("DATAP")->isVisible());
    EXPECT_FALSE(p->Panel("SCOPEP")->isVisible());
}

// What nobody sees costs a loop nothing: while no page or panel with frame displays is in
// front, a frame sets off no timer that no frame would. With a sensor answering every 200 ms
// each such timer is a wake-up of its own, for nothing (the table attributes page once started
// one per frame, in the back as in front, only to find its displays hidden).
TEST(MainTab, AFrameWakesTheProgramOnlyForWhatIsShown) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    UserSelectsPage(p, session::kPageScope);  // the data panel goes too
    ASSERT_FALSE(p->Panel("DATAP")->isVisible());

    // Timers that fire, of the kind the program's refreshes and waits use (a line edit's
    // blinking cursor, on its own kind of timer, is left out).
    struct TimerCount : QObject {
        bool eventFilter(QObject* receiver, QEvent* event) override {
            if (event->type() == QEvent::Timer && qobject_cast<QTimer*>(receiver)) ++fired;
            return false;
        }
        int fired = 0;
    } timers;
    qApp->installEventFilter(&timers);
    const auto timersIn40Ms = [&] {
        WaitFor([] { return false; }, 40);  // the wait's own deadline is one of them
        return std::exchange(timers.fired, 0);
    };
    WaitFor([] { return false; }, 300);  // what start-up left behind
    timers.fired = 0;
    const int quiet = timersIn40Ms();
    session::MeasuredValues m = p.Session().Measured();
    m.temperature = 41;
    m.red = 4095;
    p.Session().SetMeasured(m);
    p.Session().TakeFrame();
    EXPECT_EQ(timersIn40Ms(), quiet);
}

TEST(MainPanel, CloseDuringALoopStopsItSavesAndQuits) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    int quits = 0;
    p->SetQuit([&quits] { ++quits; });
    QFile::remove(p.SettingsPath());

    // A loop of the kind GO runs: it polls the flag after every event pass.
    session::LoopScope loop(p.Session());
    QTimer::singleShot(10, p->MainPanel(), [&] { p->MainPanel()->close(); });
    const bool ended = WaitFor([&] { return !p.Session().App().loopRunning; });
    EXPECT_TRUE(ended);
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(p->QuitRequested());
    EXPECT_TRUE(QFile::exists(p.SettingsPath()));
    EXPECT_TRUE(p.popups.History().empty());  // no confirmation
}

TEST(MainPanel, SettingsAreWrittenOnceAtClose) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    p->MainPanel()->close();
    ASSERT_TRUE(QFile::exists(p.SettingsPath()));
    ASSERT_TRUE(QFile::remove(p.SettingsPath()));
    // Ending the event loop closes the windows once more.
    QCloseEvent again;
    QCoreApplication::sendEvent(p->MainPanel(), &again);
    EXPECT_FALSE(QFile::exists(p.SettingsPath()));
    EXPECT_FALSE(p->MainPanel()->isVisible());
}

TEST(MainPanel, RightDoubleClickRestoresTheDefaultSize) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    p->MainPanel()->resize(1000, 700);
    testing_support::RightDoubleClick(p->MainPanel());
    EXPECT_EQ(p->MainPanel()->size(), QSize(790, 548));
    p->MainPanel()->resize(640, 480);  // smaller, texts were cut and charts overlapped
    EXPECT_EQ(p->MainPanel()->size(), QSize(790, 548));
}

// Scroll arrows would hide most page titles of the narrow left column; the tabs fit
// instead, with the service page and without.
TEST(MainPanel, EveryPageTitleShowsInFullAtTheDefaultSize) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    ASSERT_EQ(p->MainPanel()->size(), QSize(790, 548));
    QTabBar* bar = p.Control<QTabWidget>("MAINP", "TabMain1")->tabBar();
    auto expectAllTitlesInView = [&](int pages) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        ASSERT_EQ(bar->count(), pages);
        EXPECT_LE(bar->sizeHint().width(), p.Control<QTabWidget>("MAINP", "TabMain1")->width());
        for (QToolButton* arrow : bar->findChildren<QToolButton*>())
            EXPECT_FALSE(arrow->isVisible());
        EXPECT_GE(bar->font().pointSizeF(), 7.0);
        for (int i = 0; i < bar->count(); ++i) {
            const QRect tab = bar->tabRect(i);
            EXPECT_TRUE(bar->rect().contains(tab)) << bar->tabText(i).toStdString();
            EXPECT_GE(tab.width(), bar->fontMetrics().horizontalAdvance(bar->tabText(i)))
                << bar->tabText(i).toStdString();
        }
    };
    expectAllTitlesInView(8);
    const double normal = bar->font().pointSizeF();
    ui::SetTabPageVisible(p.Control<QTabWidget>("MAINP", "TabMain1"), session::kPageOffset, true);
    expectAllTitlesInView(9);
    // The titles grow back when the service page goes.
    ui::SetTabPageVisible(p.Control<QTabWidget>("MAINP", "TabMain1"), session::kPageOffset, false);
    expectAllTitlesInView(8);
    EXPECT_EQ(bar->font().pointSizeF(), normal);
}

TEST(Help, RightClickShowsTheControlsTextAsInfo) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    p.popups.Clear();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), QPoint(2, 2));
    QCoreApplication::sendEvent(p.Control<QPushButton>("MAINP", "ButtonTryToConnect"), &event);
    QCoreApplication::sendEvent(p.Control<QTabWidget>("MAINP", "TabMain1"), &event);
    ASSERT_EQ(p.popups.History().size(), 2u);
    EXPECT_EQ(p.popups.History()[0].title, "INFO!");
    EXPECT_EQ(p.popups.History()[0].text, "Try to connect sensor.");
    EXPECT_EQ(p.popups.History()[1].text, "Select TAB-window.");
    // A label the user can reach gives its control's help (or none), not the tab control's.
    auto* tabs = p.Control<QTabWidget>("MAINP", "TabMain1");
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        for (QLabel* label : tabs->currentWidget()->findChildren<QLabel*>()) {
            const QPoint at = label->rect().center();
            if (!label->buddy() || !label->visibleRegion().contains(at)) continue;
            p.popups.Clear();
            QContextMenuEvent click(QContextMenuEvent::Mouse, at, label->mapToGlobal(at));
            QCoreApplication::sendEvent(label, &click);
            const QString help = p->Runtime().HelpText(label->buddy());
            EXPECT_EQ(p.popups.Texts(), help.isEmpty() ? QStringList() : QStringList{help});
        }
    }
}

TEST(Controls, PasswordFieldAndTeachMenuAreBuiltAtStartUp) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    auto* password = p.Control<QLineEdit>("PASSWORDP", "StringEnterPW");
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(password->maxLength(), 20);
    auto* menu = p.Control<QTableWidget>("MAINP", "GridCtt")->findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    QStringList items;
    for (QAction* a : menu->actions()) items << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(items,
              (QStringList{"Help", "-", "Set selection to", "Increment selection with",
                           "Reset selection", "-", "Teach tolerance off", "Teach tolerance on"}));
    EXPECT_FALSE(menu->actions().last()->isEnabled());
    EXPECT_TRUE(p.Control<QComboBox>("MAINP", "StringIpAdress")->isEditable());
}
