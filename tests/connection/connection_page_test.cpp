// The connection page on the real panel set: ACCEPT, the address history, the controls of
// the link type, TRY TO CONNECT, the server closing, serial ports over a pseudo-terminal,
// typed device paths and the baud-rate change.

#include "connection/connection_page.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include "program_fixture.h"
#include "sim/model/faults.h"
#include "sim/model/sensor_model.h"
#include "sim/server/sim_server.h"
#include "ui/controls.h"

using testing_support::TestProgram;
using testing_support::WaitFor;

// ACCEPT keeps the link settings at once, not only when the program closes: a program that
// ends some other way must start with them next time.
TEST(Connection, AcceptSavesTheSettingsThenShowsTheParameterPage) {
    testing_support::SensorProgram t;
    TestProgram& p = t.program;
    ASSERT_TRUE(p.program);
    ASSERT_TRUE(QFile::remove(p.SettingsPath()));
    ui::SetActiveTabPage(p.Control<QTabWidget>("MAINP", "TabMain1"), session::kPageConnection);
    p.Connection().CommitAddress(QStringLiteral("localhost"));
    p.Connection().CommitAddress(QStringLiteral("127.0.0.1"));
    ASSERT_TRUE(p.Control<QPushButton>("MAINP", "ButtonAccept")->isEnabled());
    p.Control<QPushButton>("MAINP", "ButtonAccept")->click();
    EXPECT_EQ(ui::ActiveTabPage(p.Control<QTabWidget>("MAINP", "TabMain1")),
              session::kPageParameter);
    const QString text = p.ReadSettingsFile();
    EXPECT_TRUE(text.contains("COMPROTOCOL = 1\r\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("IP ADDR 2 = \"localhost\"\r\n")) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("PORT NUMBER = \"%1\"\r\n").arg(t.sensor.TcpPort())));
}

TEST(Connection, AddressHistoryKeepsTenDistinctEntriesNewestFirst) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    auto& c = p.Connection();
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

TEST(Connection, OnlyTheActiveLinksSettingsShowAndMessagesWrap) {
    TestProgram p(testing_support::NoSensorSettingsText());  // TCP/IP
    ASSERT_TRUE(p.program);
    p->StartUp();
    connection::ConnectionPage& c = p.Connection();
    QWidget* page =
        ui::PageWidget(p.Control<QTabWidget>("MAINP", "TabMain1"), session::kPageConnection);
    auto shown = [&](const char* label) {
        return p.Control<QLabel>("MAINP", label)->isVisibleTo(page);
    };
    // COM port, baud rate, IP address, port: each label goes with its field.
    EXPECT_FALSE(shown("connFormLabel1"));
    EXPECT_FALSE(shown("connFormLabel2"));
    EXPECT_TRUE(shown("connFormLabel3"));
    EXPECT_TRUE(shown("connFormLabel4"));
    testing_support::Choose(p.Control<QComboBox>("MAINP", "EditCommunicationProtocol"), 0);
    EXPECT_TRUE(shown("connFormLabel1"));
    EXPECT_TRUE(shown("connFormLabel2"));
    EXPECT_FALSE(shown("connFormLabel3"));
    EXPECT_FALSE(shown("connFormLabel4"));
    EXPECT_TRUE(shown("connFormLabel0"));  // the interface selector always

    // Lines wider than the box, with and without blanks, wrap: nothing hides to the right.
    c.AppendMessage("ATTENTION!!!   CONFIRM NEW BAUDRATE WITH EEPROM AND SEND!\n\n");
    c.AppendMessage("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\n");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(p.Control<QPlainTextEdit>("MAINP", "TextMessages")->horizontalScrollBar()->maximum(),
              0);
    const int width = p.Control<QPlainTextEdit>("MAINP", "TextMessages")->viewport()->width();
    for (QTextBlock b = p.Control<QPlainTextEdit>("MAINP", "TextMessages")->document()->begin();
         b.isValid(); b = b.next()) {
        for (int i = 0; i < b.layout()->lineCount(); ++i)
            EXPECT_LE(b.layout()->lineAt(i).naturalTextWidth(), width) << b.text().toStdString();
    }
}

TEST(Connection, TryToConnectSucceedsOnceThePeerAppears) {
    sim::SimServer sensor;
    ASSERT_TRUE(sensor.StartTcp(0));
    const int port = sensor.TcpPort();
    sensor.Stop();
    TestProgram p(testing_support::TcpSettingsText("127.0.0.1", port));
    ASSERT_TRUE(p.program);
    p->StartUp();
    ASSERT_EQ(p.Control<QLineEdit>("DATAP", "DispStatus")->text(), "TIMEOUT!");
    ASSERT_TRUE(sensor.StartTcp(static_cast<quint16>(port)));
    p.Control<QPushButton>("MAINP", "ButtonTryToConnect")->click();
    EXPECT_EQ(p.Control<QLineEdit>("DATAP", "DispStatus")->text(),
              QString::fromLatin1(sim::kFirmwareText));
    EXPECT_TRUE(p.Control<QPushButton>("MAINP", "ButtonAccept")->isEnabled());
    EXPECT_TRUE(p.Control<QPushButton>("MAINP", "ButtonGo")->isEnabled());
}

TEST(Connection, ServerClosingIsReportedOnTheConnectionPage) {
    sim::SimServer sensor;
    ASSERT_TRUE(sensor.StartTcp(0));
    TestProgram p(testing_support::TcpSettingsText("127.0.0.1", sensor.TcpPort()));
    ASSERT_TRUE(p.program);
    p->StartUp();
    ASSERT_TRUE(testing_support::ConnectedWithoutFailure(p.Session()));
    sensor.Stop();
    EXPECT_TRUE(WaitFor(
        [&] { return p.Connection().Messages().contains("SERVER HAS CLOSED CONNECTION!"); }));
    EXPECT_EQ(ui::ActiveTabPage(p.Control<QTabWidget>("MAINP", "TabMain1")),
              session::kPageConnection);
    EXPECT_EQ(p.Control<QLineEdit>("DATAP", "DispStatus")->text(), "TIMEOUT!");
}

TEST(Connection, SerialPortOverAPseudoTerminal) {
    QTemporaryDir dir;
    const QString link = dir.filePath("velorax-tty");
    sim::SimServer sensor;
    ASSERT_TRUE(sensor.StartPty(link));
    TestProgram p(testing_support::SerialSettingsText(link));
    ASSERT_TRUE(p.program);
    p->StartUp();
    EXPECT_EQ(p.Control<QLineEdit>("DATAP", "DispStatus")->text(),
              QString::fromLatin1(sim::kFirmwareText))
        << p.Connection().Messages().toStdString();
    EXPECT_TRUE(p.Control<QLineEdit>("DATAP", "DispComPort")->isVisibleTo(p->Panel("DATAP")));
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
        auto& c = p.Connection();
        ui::SetComboValue(p.Control<QComboBox>("MAINP", "EditCommunicationProtocol"), 0);
        emit p.Control<QComboBox>("MAINP", "EditCommunicationProtocol")->activated(0);
        p.Control<QComboBox>("MAINP", "EditSelectComPort")->setEditText(link);
        QTest::keyClick(p.Control<QComboBox>("MAINP", "EditSelectComPort")->lineEdit(),
                        Qt::Key_Return);
        p.Control<QPushButton>("MAINP", "ButtonTryToConnect")->click();
        EXPECT_EQ(p.Control<QLineEdit>("DATAP", "DispStatus")->text(),
                  QString::fromLatin1(sim::kFirmwareText))
            << c.Messages().toStdString();
        EXPECT_EQ(p.Control<QLineEdit>("DATAP", "DispComPort")->text(), link);
        p->MainPanel()->close();
        saved = p.ReadSettingsFile();
    }
    EXPECT_TRUE(saved.contains("COMPROTOCOL = 0\r\n"));
    TestProgram q(saved);
    ASSERT_TRUE(q.program);
    q->StartUp();  // the same number finds the same device again
    EXPECT_EQ(q.Control<QLineEdit>("DATAP", "DispStatus")->text(),
              QString::fromLatin1(sim::kFirmwareText));
}

TEST(Connection, BaudRateChangeReconnectsAndAsksToStoreTheRate) {
    QTemporaryDir dir;
    const QString link = dir.filePath("velorax-tty");
    sim::SimServer sensor;
    ASSERT_TRUE(sensor.StartPty(link));
    TestProgram p(testing_support::SerialSettingsText(link));
    ASSERT_TRUE(p.program);
    p->StartUp();
    ASSERT_TRUE(p.Control<QPushButton>("MAINP", "ButtonChangeBaudrate")->isEnabled());
    ui::SetComboValue(p.Control<QComboBox>("MAINP", "EditSelectBaudrate"), 2);
    p.Control<QPushButton>("MAINP", "ButtonChangeBaudrate")->click();
    const QString messages = p.Connection().Messages();
    EXPECT_TRUE(messages.contains("TRY TO CHANGE BAUDRATE!\nSUCCESS!\nTRY TO CONNECT!\n"))
        << messages.toStdString();
    EXPECT_TRUE(messages.endsWith("ATTENTION!!!   CONFIRM NEW BAUDRATE WITH EEPROM AND SEND!\n\n"));
    EXPECT_EQ(sensor.PtyBaudRate(), 38400);
    EXPECT_EQ(p.Connection().Settings().baudIndex, 2);
    EXPECT_TRUE(p.Control<QPushButton>("MAINP", "ButtonChangeBaudrate")->isEnabled());
}

TEST(Connection, ARefusedBaudRateChangeIsSaidAndThePortKeepsItsRate) {
    for (const char* fault : {"error:1@190", "error:3@190"}) {
        SCOPED_TRACE(fault);
        QTemporaryDir dir;
        const QString link = dir.filePath("velorax-tty");
        sim::SimServer sensor;
        ASSERT_TRUE(sensor.StartPty(link));
        TestProgram p(testing_support::SerialSettingsText(link));
        ASSERT_TRUE(p.program);
        p->StartUp();
        sensor.Model().Faults().Add(*sim::ParseFault(fault));
        ui::SetComboValue(p.Control<QComboBox>("MAINP", "EditSelectBaudrate"), 2);
        p.Control<QPushButton>("MAINP", "ButtonChangeBaudrate")->click();
        const QString messages = p.Connection().Messages();
        EXPECT_FALSE(messages.contains("SUCCESS!")) << messages.toStdString();
        EXPECT_TRUE(messages.contains(fault[6] == '1'
                                          ? "INVALIDE ORDER NUMBER!"
                                          : "SENSOR HAS REFUSED THE REQUEST!\nERROR CODE 3"))
            << messages.toStdString();
        EXPECT_EQ(p.Connection().Settings().baudIndex, 4);
        EXPECT_EQ(ui::ComboValue(p.Control<QComboBox>("MAINP", "EditSelectBaudrate")), 4);
        // Still talking at the old rate.
        sensor.Model().Faults().Clear();
        EXPECT_EQ(sensor.PtyBaudRate(), 115200);
        EXPECT_EQ(p.Session().GetParameters(), sensorlink::Outcome::Reply);
    }
}
