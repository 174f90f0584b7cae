#include "params_core/panel_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace params {
namespace {

const std::string kDir = "/opt/velorax";

ini::IniObject SettingsFile(const std::string& body) {
    return ini::IniObject::Parse("[GENERAL INFO]\r\nFILE TYPE: = \"Panel Settings\"\r\n\r\n" +
                                 body);
}

TEST(PanelSettings, NoFileGivesDefaultPathsWithFileNames) {
    const PanelSettings s = ReadPanelSettings(ini::IniObject{}, kDir, '/');
    EXPECT_EQ(s.panelId, "");
    EXPECT_FALSE(s.fullscreen.has_value());
    EXPECT_FALSE(s.HasPosition());
    EXPECT_FALSE(s.Maximised());
    EXPECT_EQ(s.parameterFilePath, "/opt/velorax/Parameter.ini");
    EXPECT_EQ(s.recordPath, "/opt/velorax/RecordFile.dat");
    EXPECT_EQ(s.hwInfoFilePath, "/opt/velorax/HardwareInitialFile.ini");
    EXPECT_EQ(s.tableAttributesFilePath, "/opt/velorax/TableAttributes.ini");
    EXPECT_TRUE(s.ipAddresses.empty());

    const PanelSettings w = ReadPanelSettings(ini::IniObject{}, "C:\\Scope", '\\');
    EXPECT_EQ(w.parameterFilePath, "C:\\Scope\\Parameter.ini");
    // A directory that already ends in the separator does not get a second one.
    EXPECT_EQ(ReadPanelSettings(ini::IniObject{}, "/", '/').recordPath, "/RecordFile.dat");
}

TEST(PanelSettings, MissingDirectoriesFallBackToBareDirExceptTheRecordFile) {
    const PanelSettings s = ReadPanelSettings(SettingsFile("[DIRECTORIES]\r\n"), kDir, '/');
    EXPECT_EQ(s.parameterFilePath, kDir);
    EXPECT_EQ(s.hwInfoFilePath, kDir);
    EXPECT_EQ(s.tableAttributesFilePath, kDir);
    EXPECT_EQ(s.recordPath, "/opt/velorax/RecordFile.dat");

    const PanelSettings p =
        ReadPanelSettings(SettingsFile("[DIRECTORIES]\r\nPARAMETER FILE = \"/home/u/a.ini\"\r\n"
                                       "RECORDER FILE = \"/home/u/r.dat\"\r\n"),
                          kDir, '/');
    EXPECT_EQ(p.parameterFilePath, "/home/u/a.ini");
    EXPECT_EQ(p.recordPath, "/home/u/r.dat");
    EXPECT_EQ(p.hwInfoFilePath, kDir);
}

TEST(PanelSettings, WindowStateDecidesWhetherPositionIsUsed) {
    const PanelSettings normal = ReadPanelSettings(
        SettingsFile("[PANEL POSITION]\r\nMAINPANEL FULLSCREEN = 0\r\n"), kDir, '/');
    EXPECT_TRUE(normal.HasPosition());
    EXPECT_EQ(normal.left, 10);
    EXPECT_EQ(normal.top, 40);
    EXPECT_EQ(normal.width, 790);
    EXPECT_EQ(normal.height, 548);

    const PanelSettings partly = ReadPanelSettings(
        SettingsFile("[PANEL POSITION]\r\nMAINPANEL FULLSCREEN = 1\r\nMAINPANEL TOP = 7\r\n"
                     "MAINPANEL HEIGHT = 600\r\n"),
        kDir, '/');
    EXPECT_TRUE(partly.HasPosition());
    EXPECT_EQ(partly.left, 10);
    EXPECT_EQ(partly.top, 7);
    EXPECT_EQ(partly.width, 790);
    EXPECT_EQ(partly.height, 600);

    const PanelSettings maximised = ReadPanelSettings(
        SettingsFile("[PANEL POSITION]\r\nMAINPANEL FULLSCREEN = 2\r\nMAINPANEL LEFT = 300\r\n"
                     "MAINPANEL WIDTH = 1000\r\n"),
        kDir, '/');
    EXPECT_TRUE(maximised.Maximised());
    EXPECT_FALSE(maximised.HasPosition());
    EXPECT_EQ(maximised.left, 10);
    EXPECT_EQ(maximised.width, 790);

    const PanelSettings none =
        ReadPanelSettings(SettingsFile("[PANEL POSITION]\r\nMAINPANEL LEFT = 300\r\n"), kDir, '/');
    EXPECT_FALSE(none.fullscreen.has_value());
    EXPECT_FALSE(none.HasPosition());
}

TEST(PanelSettings, IpListIsCappedAtTenAndSkipsMissingEntries) {
    std::string fifteen = "[IP ADDRESSES]\r\nLIST ITEMS = 15\r\n";
    for (int k = 1; k <= 15; ++k) {
        fifteen += "IP ADDR " + std::to_string(k) + " = \"10.0.0." + std::to_string(k) + "\"\r\n";
    }
    const PanelSettings capped = ReadPanelSettings(SettingsFile(fifteen), kDir, '/');
    ASSERT_EQ(capped.ipAddresses.size(), 10u);
    EXPECT_EQ(capped.ipAddresses.front(), "10.0.0.1");
    EXPECT_EQ(capped.ipAddresses.back(), "10.0.0.10");

    const PanelSettings gap =
        ReadPanelSettings(SettingsFile("[IP ADDRESSES]\r\nLIST ITEMS = 3\r\nIP ADDR 1 = \"a\"\r\n"
                                       "IP ADDR 3 = \"c\"\r\nIP ADDR 4 = \"d\"\r\n"),
                          kDir, '/');
    EXPECT_EQ(gap.ipAddresses, (std::vector<std::string>{"a", "c"}));

    const PanelSettings negative = ReadPanelSettings(
        SettingsFile("[IP ADDRESSES]\r\nLIST ITEMS = -4\r\nIP ADDR 1 = \"a\"\r\n"), kDir, '/');
    EXPECT_TRUE(negative.ipAddresses.empty());
}

TEST(PanelSettings, ReadBackTextsAreCutToTheirBuffers) {
    const std::string id(150, 'i');
    const std::string path = "/" + std::string(300, 'p');
    const std::string host(300, 'h');
    const std::string port(40, '9');
    const ini::IniObject file = SettingsFile("[GENERAL INFO]\r\nPANEL ID: = \"" + id +
                                             "\"\r\n[DIRECTORIES]\r\nPARAMETER FILE = \"" + path +
                                             "\"\r\nRECORDER FILE = \"" + path +
                                             "\"\r\n[COMMUNICATION SETTINGS]\r\nIP ADRESS = \"" +
                                             host + "\"\r\nPORT NUMBER = \"" + port + "\"\r\n");
    const PanelSettings s = ReadPanelSettings(file, kDir, '/');
    EXPECT_EQ(s.panelId, id.substr(0, 99));
    EXPECT_EQ(s.parameterFilePath, path.substr(0, 259));
    // The record file is written to: a long path is kept whole, never cut into another name.
    EXPECT_EQ(s.recordPath, path);
    EXPECT_EQ(s.link.hostAddress, host.substr(0, 255));
    EXPECT_EQ(s.link.portNumberText, port.substr(0, 31));
}

TEST(PanelSettings, OtherFileTypeIsIgnoredWhole) {
    const std::string body =
        "PANEL ID: = \"X\"\r\n\r\n[PANEL POSITION]\r\nMAINPANEL FULLSCREEN = 2\r\n"
        "[DIRECTORIES]\r\nPARAMETER FILE = \"/x.ini\"\r\n"
        "[IP ADDRESSES]\r\nLIST ITEMS = 1\r\nIP ADDR 1 = \"a\"\r\n"
        "[COMMUNICATION SETTINGS]\r\nCOMPROTOCOL = 1\r\nCOMPORT = 7\r\nBAUDRATE = 1\r\n"
        "IP ADRESS = \"h\"\r\nPORT NUMBER = \"99\"\r\n";
    for (const char* type : {"panel settings", "Parameter File", "Panel Settings "}) {
        const ini::IniObject file = ini::IniObject::Parse(
            std::string("[GENERAL INFO]\r\nFILE TYPE: = \"") + type + "\"\r\n" + body);
        const PanelSettings s = ReadPanelSettings(file, kDir, '/');
        EXPECT_EQ(s.panelId, "") << type;
        EXPECT_FALSE(s.fullscreen.has_value()) << type;
        EXPECT_EQ(s.parameterFilePath, "/opt/velorax/Parameter.ini") << type;
        EXPECT_TRUE(s.ipAddresses.empty()) << type;
        const LinkSettings& link = s.link;
        EXPECT_EQ(link.comProtocol, 0) << type;
        EXPECT_EQ(link.comPort, 1) << type;
        EXPECT_EQ(link.baudIndex, 4) << type;
        EXPECT_EQ(link.hostAddress, "") << type;
        EXPECT_EQ(link.portNumberText, "10001") << type;
    }
}

TEST(PanelSettings, WrittenFileHasTheDocumentedOrderAndSpelling) {
    PanelSettings s = DefaultPanelSettings("C:\\Scope", '\\');
    s.panelId = "KVT-ANA 17";
    s.left = 1;
    s.top = 2;
    s.width = 3;
    s.height = 4;
    s.ipAddresses = {"10.1.1.1", "10.1.1.2"};
    s.link.hostAddress = "10.1.1.1";
    const auto rows = [](ini::IniObject& file) {
        file.PutInt("TABLE ATTR OF TEACH VECTOR 0", "Row color", 16711680);
        file.PutString("TABLE ATTR OF TEACH VECTOR 0", "Row specification", "");
    };
    const std::string text = BuildPanelSettings(s, kWindowMaximised, rows).ToText();
    EXPECT_EQ(text,
              "[GENERAL INFO]\r\n"
              "FILE TYPE: = \"Panel Settings\"\r\n"
              "SCOPE VERSION: = \"VELORAX3-KVT-ANA-Scope V1.0\"\r\n"
              "PANEL ID: = \"KVT-ANA 17\"\r\n"
              "\r\n"
              "[PANEL POSITION]\r\n"
              "MAINPANEL FULLSCREEN = 2\r\n"
              "MAINPANEL LEFT = 1\r\n"
              "MAINPANEL TOP = 2\r\n"
              "MAINPANEL WIDTH = 3\r\n"
              "MAINPANEL HEIGHT = 4\r\n"
              "\r\n"
              "[DIRECTORIES]\r\n"
              "PARAMETER FILE = \"C:\\\\Scope\\\\Parameter.ini\"\r\n"
              "RECORDER FILE = \"C:\\\\Scope\\\\RecordFile.dat\"\r\n"
              "HARDWARE INI FILE = \"C:\\\\Scope\\\\HardwareInitialFile.ini\"\r\n"
              "TABLE ATTRIBUTES FILE = \"C:\\\\Scope\\\\TableAttributes.ini\"\r\n"
              "\r\n"
              "[IP ADDRESSES]\r\n"
              "LIST ITEMS = 2\r\n"
              "IP ADDR 1 = \"10.1.1.1\"\r\n"
              "IP ADDR 2 = \"10.1.1.2\"\r\n"
              "\r\n"
              "[COMMUNICATION SETTINGS]\r\n"
              "COMPROTOCOL = 0\r\n"
              "COMPORT = 1\r\n"
              "BAUDRATE = 4\r\n"
              "IP ADRESS = \"10.1.1.1\"\r\n"
              "PORT NUMBER = \"10001\"\r\n"
              "\r\n"
              "[TABLE ATTR OF TEACH VECTOR 0]\r\n"
              "Row color = 16711680\r\n"
              "Row specification = \"\"\r\n"
              "\r\n");
}

TEST(PanelSettings, SavingTwelveAddressesWritesTenAndSerialDevicesComeLast) {
    PanelSettings s = DefaultPanelSettings(kDir, '/');
    for (int k = 1; k <= 12; ++k) s.ipAddresses.push_back(std::string("h").append(std::to_string(k)));
    s.serialDevices = {"/dev/pts/3", "", "/tmp/sim-tty"};
    const std::string text = BuildPanelSettings(s, kWindowNormal).ToText();
    EXPECT_NE(text.find("LIST ITEMS = 10\r\n"), std::string::npos);
    EXPECT_NE(text.find("IP ADDR 10 = \"h10\"\r\n"), std::string::npos);
    EXPECT_EQ(text.find("IP ADDR 11"), std::string::npos);
    const std::size_t devices = text.find("[SERIAL DEVICES]\r\n");
    ASSERT_NE(devices, std::string::npos);
    EXPECT_GT(devices, text.find("[COMMUNICATION SETTINGS]"));
    EXPECT_EQ(
        text.substr(devices),
        "[SERIAL DEVICES]\r\nDEVICE 1 = \"/dev/pts/3\"\r\nDEVICE 2 = \"/tmp/sim-tty\"\r\n\r\n");
}

TEST(PanelSettings, SaveThenLoadGivesTheSameSettings) {
    PanelSettings s = DefaultPanelSettings(kDir, '/');
    s.panelId = "ID \"quoted\" \\ back";
    s.left = -20;
    s.top = 30;
    s.width = 1024;
    s.height = 700;
    s.parameterFilePath = "/data/p q.ini";
    s.ipAddresses = {"a", "b", "c"};
    s.serialDevices = {"/dev/pts/9"};
    s.link = LinkSettings{1, 3, 2, "sensor.local", "2000"};

    const ini::IniObject file =
        ini::IniObject::Parse(BuildPanelSettings(s, kWindowNormal).ToText());
    const PanelSettings r = ReadPanelSettings(file, "/elsewhere", '/');
    EXPECT_EQ(r.panelId, s.panelId);
    EXPECT_EQ(r.fullscreen, kWindowNormal);
    EXPECT_EQ(r.left, -20);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.width, 1024);
    EXPECT_EQ(r.height, 700);
    EXPECT_EQ(r.parameterFilePath, s.parameterFilePath);
    EXPECT_EQ(r.recordPath, s.recordPath);
    EXPECT_EQ(r.hwInfoFilePath, s.hwInfoFilePath);
    EXPECT_EQ(r.tableAttributesFilePath, s.tableAttributesFilePath);
    EXPECT_EQ(r.ipAddresses, s.ipAddresses);
    EXPECT_EQ(r.serialDevices, s.serialDevices);

    const LinkSettings& l = r.link;
    EXPECT_EQ(l.comProtocol, 1);
    EXPECT_EQ(l.comPort, 3);
    EXPECT_EQ(l.baudIndex, 2);
    EXPECT_EQ(l.hostAddress, "sensor.local");
    EXPECT_EQ(l.portNumberText, "2000");
}

}  // namespace
}  // namespace params
