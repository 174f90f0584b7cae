#pragma once
// The panel settings file "PanelSettings.cfg", written and read in this order:
//
//   [GENERAL INFO]            FILE TYPE: = "Panel Settings", SCOPE VERSION:, PANEL ID:
//   [PANEL POSITION]          MAINPANEL FULLSCREEN (0 normal, 1 minimised, 2 maximised),
//                             MAINPANEL LEFT, TOP, WIDTH, HEIGHT
//   [DIRECTORIES]             PARAMETER FILE, RECORDER FILE, HARDWARE INI FILE,
//                             TABLE ATTRIBUTES FILE
//   [IP ADDRESSES]            LIST ITEMS = n (at most 10), IP ADDR 1 ... IP ADDR n
//   [COMMUNICATION SETTINGS]  COMPROTOCOL, COMPORT, BAUDRATE, IP ADRESS (one D), PORT NUMBER
//   [TABLE ATTR OF TEACH VECTOR 0 ... 30]   row attributes, written by their owner
//   [SERIAL DEVICES]          DEVICE 1 ... DEVICE n: device paths the user typed
//
// Readers ignore sections they do not know, so the serial-device section at the end keeps
// the file readable for any reader of the documented sections. Free of Qt: the shell reads
// and writes the file, and the pages take and give their own values.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ini/ini.h"

namespace params {

inline constexpr char kPanelSettingsFileName[] = "PanelSettings.cfg";
inline constexpr char kPanelSettingsFileType[] = "Panel Settings";

// Default file names in the program directory.
inline constexpr char kDefaultParameterFile[] = "Parameter.ini";
inline constexpr char kDefaultRecordFile[] = "RecordFile.dat";
inline constexpr char kDefaultHwInfoFile[] = "HardwareInitialFile.ini";
inline constexpr char kDefaultTableAttributesFile[] = "TableAttributes.ini";

inline constexpr int kWindowNormal = 0;
inline constexpr int kWindowMinimised = 1;
inline constexpr int kWindowMaximised = 2;

inline constexpr std::size_t kMaxIpAddresses = 10;
inline constexpr std::size_t kMaxSerialDevices = 16;

// The link as the user set it up: what to open, never the result of opening it.
struct LinkSettings {
    int comProtocol = 0;  // 0 RS-232, 1 TCP/IP
    int comPort = 1;
    int baudIndex = 4;
    std::string hostAddress;
    std::string portNumberText = "10001";
};

struct PanelSettings {
    std::string panelId;  // the sensor identification text

    // "MAINPANEL FULLSCREEN" as read; nullopt when the file has none (the panel then keeps
    // the placement of the panel layout).
    std::optional<int> fullscreen;
    int left = 10;
    int top = 40;
    int width = 790;
    int height = 548;

    std::string parameterFilePath;
    std::string recordPath;
    std::string hwInfoFilePath;
    std::string tableAttributesFilePath;

    std::vector<std::string> ipAddresses;
    LinkSettings link;
    std::vector<std::string> serialDevices;

    bool Maximised() const { return fullscreen == kWindowMaximised; }
    // Position and size apply only when the file held a window state other than maximised.
    bool HasPosition() const { return fullscreen.has_value() && !Maximised(); }
};

// dir + separator + name, without doubling a separator that dir already ends with.
std::string JoinPath(const std::string& dir, char separator, const std::string& name);

// The settings before any file is read: empty identification, no window state, the four
// default file paths in filesDir.
PanelSettings DefaultPanelSettings(const std::string& filesDir, char separator);

// "FILE TYPE:" is exactly "Panel Settings"; the other readers of the same object (the row
// attributes) go on only then.
bool IsPanelSettingsFile(const ini::IniObject& file);

// Every documented section but the row attributes, in one pass; defaults for what is
// missing. A missing file (an empty object) or another file type gives
// DefaultPanelSettings.
PanelSettings ReadPanelSettings(const ini::IniObject& file, const std::string& filesDir,
                                char separator);

// Appends sections to a file being built; used for the row attributes, whose owner writes
// them after the communication settings.
using SectionWriter = std::function<void(ini::IniObject&)>;

// The whole file. windowState is the main panel's state; left, top, width and height are
// taken from settings (the shell fills them from the panel, also when it is maximised).
ini::IniObject BuildPanelSettings(const PanelSettings& settings, int windowState,
                                  const SectionWriter& rowAttributes = {});

}  // namespace params
