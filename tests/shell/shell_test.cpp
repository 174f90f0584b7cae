// The shell on the real panel set: start-up, the busy convention, the main tab control,
// closing, the help pop-ups and the refusal of a broken panel set.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include "program_fixture.h"
#include "shell/connection_page.h"
#include "sim/model/sensor_model.h"
#include "sim/server/sim_server.h"

using testing_support::TestProgram;
using testing_support::WaitFor;

namespace {

void UserSelectsPage(shell::Program& p, int page) {
    // The tab bar is what the user clicks; the tab control's callback follows from it.
    p.main.tabMain->tabBar()->setCurrentIndex(page);
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
        EXPECT_EQ(shell::Program::Create(dir.path(), popups, &error), nullptr) << c.name;
        EXPECT_FALSE(error.isEmpty()) << c.name;
    }
    QTemporaryDir empty;
    ui::ScriptedPopups popups;
    EXPECT_EQ(shell::Program::Create(empty.path(), popups), nullptr);
}

TEST(PanelSet, ProgramWithoutPanelSetExitsMinusOneAndWritesNothing) {
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
    QFile settings(dir.filePath("PanelSettings.cfg"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(testing_support::NoSensorSettingsText().toUtf8());
    settings.close();
    const QDateTime written = QFileInfo(settings).lastModified();

    QProcess process;
    StartProgramIn(dir, process);
    // Up once start-up has failed to connect: it is then in its event loop.
    WaitFor([] { return false; }, 1500);
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(QFileInfo(settings).lastModified() >= written);
    EXPECT_TRUE(QFileInfo(settings).size() > 300);  // written anew, all sections
}

TEST(StartUp, HalfWrittenSettingsFileGivesDefaultsWithoutAWord) {
    const QString full = testing_support::NoSensorSettingsText();
    TestProgram p(full.left(full.indexOf("PORT NUMBER") + 8));
    ASSERT_TRUE(p.program);
    p->StartUp();
    EXPECT_TRUE(p.popups.History().empty());
    EXPECT_EQ(p->connection->portNumber->text(), "10001");
    EXPECT_EQ(p->linkState.comProtocol, 1);
}

TEST(StartUp, WithoutSensorEndsOnConnectionPageWithTheReason) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program) << p.createError.toStdString();
    p->StartUp();
    EXPECT_TRUE(p->main.panel->isVisible());
    EXPECT_EQ(ui::ActiveTabPage(p->main.tabMain), shell::kPageConnection);
    EXPECT_EQ(p->data.status->text(), "TIMEOUT!");
    const QString messages = p->connection->Messages();
    EXPECT_TRUE(messages.startsWith("TRY TO CONNECT!\n")) << messages.toStdString();
    EXPECT_TRUE(messages.endsWith("\n\n"));
    EXPECT_GT(messages.size(), QString("TRY TO CONNECT!\n\n\n").size());
    EXPECT_FALSE(p->connection->accept->isEnabled());
    EXPECT_FALSE(p->connection->changeBaud->isEnabled());
    EXPECT_FALSE(p->connection->hwInfo->isEnabled());
    EXPECT_TRUE(p->connection->tryConnect->isEnabled());
    EXPECT_TRUE(p.popups.History().empty());  // link failures never pop up
    EXPECT_EQ(p->app.loopRunning, 0);
    EXPECT_EQ(p->linkState.linkOk, 0);
    // A right double-click on the status display clears the message box.
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(3, 3), QPointF(3, 3), Qt::RightButton,
                    Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(p->data.status, &dbl);
    EXPECT_TRUE(p->connection->Messages().isEmpty());
}

TEST(StartUp, IdentifiesTheSensorAndShowsTheParameterPage) {
    sim::SimServer sensor;
    ASSERT_TRUE(sensor.StartTcp(0));
    TestProgram p(testing_support::TcpSettingsText("127.0.0.1", sensor.TcpPort()));
    ASSERT_TRUE(p.program);
    p->StartUp();
    EXPECT_EQ(ui::ActiveTabPage(p->main.tabMain), shell::kPageParameter);
    EXPECT_EQ(p->data.status->text(), QString::fromLatin1(sim::kFirmwareText));
    EXPECT_TRUE(p->connection->Messages().contains(QString(sim::kFirmwareText) + "\n\n"));
    EXPECT_TRUE(p->connection->accept->isEnabled());
    EXPECT_TRUE(p->connection->hwInfo->isEnabled());
    EXPECT_EQ(p->linkState.linkOk, 1);
    EXPECT_TRUE(p->data.ipAddress->isVisibleTo(p->data.panel));
    EXPECT_FALSE(p->data.comPort->isVisibleTo(p->data.panel));
    // The main window is the parameter page with the data panel in the child area.
    EXPECT_TRUE(p->data.panel->isVisible());
    EXPECT_EQ(p->data.panel->mapTo(p->main.panel, QPoint(0, 0)), QPoint(286, 63));
    EXPECT_EQ(p->main.panel->windowTitle(), "VELORAX3-KVT-ANA-Scope V1.0");
    EXPECT_FALSE(ui::TabPageVisible(p->main.tabMain, shell::kPageOffset));
    EXPECT_EQ(ui::ActiveTabPage(p->data.tabData), shell::kPage3D);
}

TEST(BusyConvention, DimsAndUndimsTheTransactionButtons) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    auto& m = p->main;
    auto& o = p->other;
    auto& c = *p->connection;
    const std::vector<QWidget*> always = {m.go,
                                          c.tryConnect,
                                          c.baudRate,
                                          o.sendCF,
                                          o.getCF,
                                          o.calcCF,
                                          o.selfCalibration,
                                          o.sendOffset,
                                          o.getOffset,
                                          o.calcOffset,
                                          o.recFileSelect,
                                          o.recMode,
                                          o.recStart,
                                          o.recStartTriggered,
                                          o.cycleTime,
                                          o.scan,
                                          o.breakScan,
                                          o.teach2Start};
    const std::vector<QWidget*> transfer = {m.send, m.get, m.selectRam, m.selectEeprom,
                                            m.selectFile};

    p->SetButtonsDimmed(0, 1);
    for (QWidget* w : always) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    for (QWidget* w : transfer) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_FALSE(c.changeBaud->isEnabled());
    EXPECT_FALSE(c.hwInfo->isEnabled());
    EXPECT_TRUE(m.stop->isEnabled());

    p->SetButtonsDimmed(0, 0);
    for (QWidget* w : always) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    for (QWidget* w : transfer) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    // Only a successful connection frees these two.
    EXPECT_FALSE(c.changeBaud->isEnabled());
    EXPECT_FALSE(c.hwInfo->isEnabled());

    // GO keeps SEND, GET and the memory selector usable for the loop.
    p->SetButtonsDimmed(1, 1);
    for (QWidget* w : transfer) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    for (QWidget* w : always) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(m.stop->isEnabled());
}

TEST(MainTab, ConnectionAndScopePagesStopARunningLoop) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    ui::SetDimmed(p->connection->accept, false);

    p->app.loopRunning = 1;
    UserSelectsPage(*p, shell::kPageGroupHold);
    EXPECT_EQ(p->app.loopRunning, 1);

    UserSelectsPage(*p, shell::kPageConnection);
    EXPECT_EQ(p->app.loopRunning, 0);
    EXPECT_FALSE(p->connection->accept->isEnabled());

    p->app.loopRunning = 1;
    UserSelectsPage(*p, shell::kPageScope);
    EXPECT_EQ(p->app.loopRunning, 0);
    EXPECT_TRUE(p->Panel("SCOPEP")->isVisible());
    EXPECT_FALSE(p->data.panel->isVisible());

    p->ShowChildPanel(nullptr);  // anything else shows the data panel
    EXPECT_TRUE(p->data.panel->isVisible());
    EXPECT_FALSE(p->Panel("SCOPEP")->isVisible());
}

TEST(MainPanel, CloseDuringALoopStopsItSavesAndQuits) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    int quits = 0;
    p->quitUserInterface = [&quits] { ++quits; };
    QFile::remove(p.SettingsPath());

    // A loop of the kind GO runs: it polls the flag after every event pass.
    p->app.loopRunning = 1;
    QTimer::singleShot(10, p->main.panel, [&] { p->main.panel->close(); });
    const bool ended = WaitFor([&] { return p->app.loopRunning == 0; });
    EXPECT_TRUE(ended);
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(p->QuitRequested());
    EXPECT_TRUE(QFile::exists(p.SettingsPath()));
    EXPECT_TRUE(p.popups.History().empty());  // no confirmation
}

TEST(MainPanel, RightDoubleClickRestoresTheDefaultSize) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    p->main.panel->resize(1000, 700);
    p->CBF_MAINP(ui::Event::RightDoubleClick);
    EXPECT_EQ(p->main.panel->size(), QSize(790, 548));
}

TEST(Help, RightClickShowsTheControlsTextAsInfo) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    p.popups.Clear();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), QPoint(2, 2));
    QCoreApplication::sendEvent(p->connection->tryConnect, &event);
    QCoreApplication::sendEvent(p->main.tabMain, &event);
    ASSERT_EQ(p.popups.History().size(), 2u);
    EXPECT_EQ(p.popups.History()[0].title, "INFO!");
    EXPECT_EQ(p.popups.History()[0].text, "Try to connect sensor.");
    EXPECT_EQ(p.popups.History()[1].text, "Select TAB-window.");
}

TEST(Controls, PasswordFieldAndTeachMenuAreBuiltAtStartUp) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    EXPECT_EQ(p->other.password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(p->other.password->maxLength(), 20);
    ASSERT_NE(p->other.teachMenu, nullptr);
    QStringList items;
    for (QAction* a : p->other.teachMenu->actions()) items << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(items,
              (QStringList{"Help", "-", "Set selection to", "Increment selection with",
                           "Reset selection", "-", "Teach tolerance off", "Teach tolerance on"}));
    EXPECT_FALSE(p->other.teachMenu->actions().last()->isEnabled());
    EXPECT_TRUE(p->connection->ipAddress->isEditable());
}

TEST(Connection, AddressHistoryKeepsTenDistinctEntriesNewestFirst) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    auto& c = *p->connection;
    for (int i = 1; i <= 11; ++i) c.CommitAddress(QString("10.0.0.%1").arg(i));
    QStringList history = c.AddressHistory();
    ASSERT_EQ(history.size(), 10);
    EXPECT_EQ(history.first(), "10.0.0.11");
    EXPECT_EQ(history.last(), "10.0.0.2");  // the oldest went out
    c.CommitAddress("10.0.0.5");
    history = c.AddressHistory();
    EXPECT_EQ(history.size(), 10);
    EXPECT_EQ(history.first(), "10.0.0.5");
    EXPECT_EQ(history.count("10.0.0.5"), 1);
}

TEST(Connection, PortNumberTakesTheLeadingDigits) {
    EXPECT_EQ(shell::PortFromText("10001abc"), 10001);
    EXPECT_EQ(shell::PortFromText(""), 0);
    EXPECT_EQ(shell::PortFromText("abc"), 0);
    EXPECT_EQ(shell::PortFromText("  502"), 502);
}

TEST(Connection, TryToConnectSucceedsOnceThePeerAppears) {
    sim::SimServer sensor;
    ASSERT_TRUE(sensor.StartTcp(0));
    const int port = sensor.TcpPort();
    sensor.Stop();
    TestProgram p(testing_support::TcpSettingsText("127.0.0.1", port));
    ASSERT_TRUE(p.program);
    p->StartUp();
    ASSERT_EQ(p->data.status->text(), "TIMEOUT!");
    ASSERT_TRUE(sensor.StartTcp(static_cast<quint16>(port)));
    p->connection->tryConnect->click();
    EXPECT_EQ(p->data.status->text(), QString::fromLatin1(sim::kFirmwareText));
    EXPECT_TRUE(p->connection->accept->isEnabled());
    EXPECT_TRUE(p->main.go->isEnabled());
}

TEST(Connection, ServerClosingIsReportedOnTheConnectionPage) {
    sim::SimServer sensor;
    ASSERT_TRUE(sensor.StartTcp(0));
    TestProgram p(testing_support::TcpSettingsText("127.0.0.1", sensor.TcpPort()));
    ASSERT_TRUE(p.program);
    p->StartUp();
    ASSERT_EQ(p->linkState.linkOk, 1);
    sensor.Stop();
    EXPECT_TRUE(WaitFor(
        [&] { return p->connection->Messages().contains("SERVER HAS CLOSED CONNECTION!"); }));
    EXPECT_EQ(ui::ActiveTabPage(p->main.tabMain), shell::kPageConnection);
    EXPECT_EQ(p->data.status->text(), "TIMEOUT!");
}

TEST(Connection, SerialPortOverAPseudoTerminal) {
    QTemporaryDir dir;
    const QString link = dir.filePath("velorax-tty");
    sim::SimServer sensor;
    ASSERT_TRUE(sensor.StartPty(link));
    TestProgram p(testing_support::SerialSettingsText(link));
    ASSERT_TRUE(p.program);
    p->StartUp();
    EXPECT_EQ(p->data.status->text(), QString::fromLatin1(sim::kFirmwareText))
        << p->connection->Messages().toStdString();
    EXPECT_TRUE(p->data.comPort->isVisibleTo(p->data.panel));
}

TEST(Connection, ATypedDevicePathIsAcceptedAndRemembered) {
    QTemporaryDir dir;
    const QString link = dir.filePath("velorax-tty");
    sim::SimServer sensor;
    ASSERT_TRUE(sensor.StartPty(link));
    QString saved;
    {
        TestProgram p(testing_support::NoSensorSettingsText());
        ASSERT_TRUE(p.program);
        p->StartUp();
        auto& c = *p->connection;
        ui::SetComboValue(c.protocol, 0);
        emit c.protocol->activated(0);
        c.comPort->setEditText(link);
        QTest::keyClick(c.comPort->lineEdit(), Qt::Key_Return);
        c.tryConnect->click();
        EXPECT_EQ(p->data.status->text(), QString::fromLatin1(sim::kFirmwareText))
            << c.Messages().toStdString();
        EXPECT_EQ(p->data.comPort->text(), link);
        p->CBF_MAINP(ui::Event::Close);
        saved = p.ReadSettingsFile();
    }
    EXPECT_TRUE(saved.contains("COMPROTOCOL = 0\r\n"));
    TestProgram q(saved);
    ASSERT_TRUE(q.program);
    q->StartUp();  // the same number finds the same device again
    EXPECT_EQ(q->data.status->text(), QString::fromLatin1(sim::kFirmwareText));
}

TEST(Connection, BaudRateChangeReconnectsAndAsksToStoreTheRate) {
    QTemporaryDir dir;
    const QString link = dir.filePath("velorax-tty");
    sim::SimServer sensor;
    ASSERT_TRUE(sensor.StartPty(link));
    TestProgram p(testing_support::SerialSettingsText(link));
    ASSERT_TRUE(p.program);
    p->StartUp();
    ASSERT_TRUE(p->connection->changeBaud->isEnabled());
    ui::SetComboValue(p->connection->baudRate, 2);
    p->connection->changeBaud->click();
    const QString messages = p->connection->Messages();
    EXPECT_TRUE(messages.contains("TRY TO CHANGE BAUDRATE!\nSUCCESS!\nTRY TO CONNECT!\n"))
        << messages.toStdString();
    EXPECT_TRUE(messages.endsWith("ATTENTION!!!   CONFIRM NEW BAUDRATE WITH EEPROM AND SEND!\n\n"));
    EXPECT_EQ(sensor.PtyBaudRate(), 38400);
    EXPECT_EQ(p->connection->settings.baudIndex, 2);
    EXPECT_TRUE(p->connection->changeBaud->isEnabled());
}

TEST(Settings, StartWithoutFileSavesTheDefaultLinkSettings) {
    TestProgram p;  // no settings file at all
    ASSERT_TRUE(p.program);
    p->StartUp();
    p->CBF_MAINP(ui::Event::Close);
    const QString text = p.ReadSettingsFile();
    EXPECT_TRUE(text.contains("COMPROTOCOL = 0\r\n"));
    EXPECT_TRUE(text.contains("COMPORT = 1\r\n"));
    EXPECT_TRUE(text.contains("BAUDRATE = 4\r\n"));
    EXPECT_TRUE(text.contains("PORT NUMBER = \"10001\"\r\n"));
    EXPECT_TRUE(text.contains("PARAMETER FILE = \"" + QDir::toNativeSeparators(p.Dir()) +
                              "/Parameter.ini\"\r\n"));
}

TEST(Settings, WindowPlacementAndAddressesSurviveARestart) {
    QString saved;
    {
        TestProgram p(testing_support::NoSensorSettingsText());
        ASSERT_TRUE(p.program);
        p->StartUp();
        p->main.panel->setGeometry(40, 60, 900, 600);
        p->connection->CommitAddress("sensor-a.local");
        p->connection->CommitAddress("192.168.0.7");
        p->connection->SetIdentificationText("Line 3 / station 2");
        p->CBF_MAINP(ui::Event::Close);
        saved = p.ReadSettingsFile();
    }
    TestProgram q(saved);
    ASSERT_TRUE(q.program);
    q->StartUp();
    EXPECT_EQ(q->main.panel->geometry(), QRect(40, 60, 900, 600));
    EXPECT_EQ(q->connection->AddressHistory(), (QStringList{"192.168.0.7", "sensor-a.local"}));
    EXPECT_EQ(q->connection->IdentificationText(), "Line 3 / station 2");
    EXPECT_EQ(q->other.recId->text(), "Line 3 / station 2");
}

TEST(Settings, FullscreenTwoMaximisesTheMainPanel) {
    const QString text =
        "[GENERAL INFO]\r\nFILE TYPE: = \"Panel Settings\"\r\n\r\n[PANEL POSITION]\r\n"
        "MAINPANEL FULLSCREEN = 2\r\nMAINPANEL LEFT = 500\r\n\r\n";
    TestProgram p(text);
    ASSERT_TRUE(p.program);
    p->StartUp();
    EXPECT_TRUE(p->main.panel->windowState() & Qt::WindowMaximized);
}
