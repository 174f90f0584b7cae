// The panel settings file as the shell reads it at start-up and writes it at close: read once
// for every page, defaults without one, a file that cannot be read kept as it is, the window
// and the addresses across a restart.

#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>

#include "program_fixture.h"
#include "shell/page_list.h"
#include "shell/program.h"

using testing_support::TestProgram;

namespace {

shell::ProgramOptions AllPagesOptions() {
    shell::ProgramOptions options;
    options.pages = shell::AllPages();
    return options;
}

}  // namespace

// Start-up reads the settings file once and parses it once; every page takes its part of
// that one reading: the window, the addresses and the link settings of the connection page.
TEST(Settings, StartUpReadsTheFileOnceForEveryPage) {
    QTemporaryDir dir;
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(VELORAX_UIR_PATH), dir.filePath("Velorax3KvtAnaV10.uir")));
    const int port = testing_support::FreeTcpPort();
    QFile file(dir.filePath("PanelSettings.cfg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write((testing_support::TcpSettingsText("127.0.0.1", port) +
                "[PANEL POSITION]\r\nMAINPANEL FULLSCREEN = 0\r\nMAINPANEL LEFT = 33\r\n\r\n"
                "[IP ADDRESSES]\r\nLIST ITEMS = 2\r\nIP ADDR 1 = \"127.0.0.1\"\r\n"
                "IP ADDR 2 = \"sensor-b.local\"\r\n\r\n")
                   .toUtf8());
    file.close();
    QStringList reads;
    shell::ProgramOptions options = AllPagesOptions();
    options.session.portScanner = [] { return QList<sensorlink::SystemPort>{}; };
    options.readSettingsFile = [&reads](const QString& path) {
        reads << path;
        return shell::ReadSettingsFile(path);
    };
    ui::ScriptedPopups popups;
    std::unique_ptr<shell::Program> p = shell::Program::Create(dir.path(), popups, options);
    ASSERT_TRUE(p);
    p->SetQuit([] {});
    p->StartUp();
    EXPECT_EQ(reads, QStringList{dir.filePath("PanelSettings.cfg")});
    EXPECT_EQ(p->MainPanel()->geometry().left(), 33);
    auto* address = p->Panel("MAINP")->findChild<QComboBox*>("StringIpAdress");
    ASSERT_NE(address, nullptr);
    EXPECT_EQ(address->count(), 2);
    EXPECT_EQ(address->itemText(1), "sensor-b.local");
    EXPECT_EQ(p->Panel("MAINP")->findChild<QLineEdit*>("StringPortNumber")->text(),
              QString::number(port));
    EXPECT_EQ(p->Session().LinkStatus().comProtocol, sensorlink::ComProtocol::Tcp);
    // Closing writes the file without reading it again.
    p->RequestClose();
    EXPECT_EQ(reads.size(), 1);
    QFile saved(dir.filePath("PanelSettings.cfg"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(saved.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("PORT NUMBER = \"%1\"\r\n").arg(port)));
    EXPECT_TRUE(text.contains("IP ADDR 2 = \"sensor-b.local\"\r\n"));
    p->Shutdown();
}

TEST(Settings, StartWithoutFileSavesTheDefaultLinkSettings) {
    TestProgram p;  // no settings file at all
    ASSERT_TRUE(p.program);
    p->StartUp();
    p->MainPanel()->close();
    const QString text = p.ReadSettingsFile();
    EXPECT_TRUE(text.contains("COMPROTOCOL = 0\r\n"));
    EXPECT_TRUE(text.contains("COMPORT = 1\r\n"));
    EXPECT_TRUE(text.contains("BAUDRATE = 4\r\n"));
    EXPECT_TRUE(text.contains("PORT NUMBER = \"10001\"\r\n"));
    EXPECT_TRUE(text.contains("PARAMETER FILE = \"" + QDir::toNativeSeparators(p.Dir()) +
                              "/Parameter.ini\"\r\n"));
}

namespace {
// File permissions of another user for this thread: the superuser reads everything, so a
// test that needs an unreadable file drops to "nobody" for its file accesses.
class AsOrdinaryUser {
  public:
    AsOrdinaryUser() : root_(::geteuid() == 0) {
        if (root_) ::setfsuid(65534);
    }
    ~AsOrdinaryUser() {
        if (root_) ::setfsuid(0);
    }

  private:
    bool root_;
};
}  // namespace

TEST(Settings, AFileThatCannotBeReadIsKeptAsItIs) {
    const QString mine = testing_support::TcpSettingsText("192.0.2.7", 4711);
    TestProgram p(mine);
    ASSERT_TRUE(p.program);
    // The folder stays usable by anyone; only the file is the owner's to write, not to read.
    QFile::setPermissions(p.Dir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                       QFileDevice::WriteOther | QFileDevice::ExeOther);
    QFile::setPermissions(p.SettingsPath(), QFileDevice::WriteOwner);
    {
        AsOrdinaryUser user;
        p->StartUp();
        EXPECT_EQ(p.Session().LinkStatus().comProtocol,
                  sensorlink::ComProtocol::Rs232);  // defaults for this run
        p->MainPanel()->close();
    }
    QFile::setPermissions(p.SettingsPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(p.ReadSettingsFile(), mine);
}

TEST(Settings, WindowPlacementAndAddressesSurviveARestart) {
    QString saved;
    {
        TestProgram p(testing_support::NoSensorSettingsText());
        ASSERT_TRUE(p.program);
        p->StartUp();
        p->MainPanel()->setGeometry(40, 60, 900, 600);
        p.Connection().CommitAddress("sensor-a.local");
        p.Connection().CommitAddress("192.168.0.7");
        p.Session().SetIdentificationText("Line 3 / station 2");
        p->MainPanel()->close();
        saved = p.ReadSettingsFile();
    }
    TestProgram q(saved);
    ASSERT_TRUE(q.program);
    q->StartUp();
    EXPECT_EQ(q->MainPanel()->geometry(), QRect(40, 60, 900, 600));
    EXPECT_EQ(q.Connection().AddressHistory(), (QStringList{"192.168.0.7", "sensor-a.local"}));
    EXPECT_EQ(q.Session().IdentificationText(), "Line 3 / station 2");
    EXPECT_EQ(q.Control<QLineEdit>("MAINP", "DispRecId")->text(), "Line 3 / station 2");
}

TEST(Settings, FullscreenTwoMaximisesTheMainPanel) {
    const QString text =
        "[GENERAL INFO]\r\nFILE TYPE: = \"Panel Settings\"\r\n\r\n[PANEL POSITION]\r\n"
        "MAINPANEL FULLSCREEN = 2\r\nMAINPANEL LEFT = 500\r\n\r\n";
    TestProgram p(text);
    ASSERT_TRUE(p.program);
    p->StartUp();
    EXPECT_TRUE(p->MainPanel()->windowState() & Qt::WindowMaximized);
}
