#include "params_core/panel_settings.h"

#include <algorithm>

#include "params_core/parameter_file.h"
#include "params_core/program_title.h"

namespace params {

namespace {

constexpr char kPositionSection[] = "PANEL POSITION";
constexpr char kDirectoriesSection[] = "DIRECTORIES";
constexpr char kIpSection[] = "IP ADDRESSES";
constexpr char kCommunicationSection[] = "COMMUNICATION SETTINGS";
constexpr char kSerialDevicesSection[] = "SERIAL DEVICES";

constexpr char kPanelIdTag[] = "PANEL ID:";
constexpr char kFullscreenTag[] = "MAINPANEL FULLSCREEN";
constexpr char kLeftTag[] = "MAINPANEL LEFT";
constexpr char kTopTag[] = "MAINPANEL TOP";
constexpr char kWidthTag[] = "MAINPANEL WIDTH";
constexpr char kHeightTag[] = "MAINPANEL HEIGHT";
constexpr char kParameterFileTag[] = "PARAMETER FILE";
constexpr char kRecorderFileTag[] = "RECORDER FILE";
constexpr char kHwInfoFileTag[] = "HARDWARE INI FILE";
constexpr char kTableAttributesFileTag[] = "TABLE ATTRIBUTES FILE";
constexpr char kListItemsTag[] = "LIST ITEMS";
constexpr char kComProtocolTag[] = "COMPROTOCOL";
constexpr char kComPortTag[] = "COMPORT";
constexpr char kBaudRateTag[] = "BAUDRATE";
constexpr char kHostAddressTag[] = "IP ADRESS";  // one D: the file has always spelled it so
constexpr char kPortNumberTag[] = "PORT NUMBER";

// Read buffers: at most size - 1 characters come back.
constexpr std::size_t kPanelIdBuffer = 100;
constexpr std::size_t kPathBuffer = 260;
constexpr std::size_t kAddressBuffer = 256;
constexpr std::size_t kPortNumberBuffer = 32;

std::string IpAddressTag(std::size_t position) {
    return "IP ADDR " + std::to_string(position);
}
std::string SerialDeviceTag(std::size_t position) {
    return "DEVICE " + std::to_string(position);
}

LinkSettings ReadLinkSettings(const ini::IniObject& file) {
    LinkSettings link;
    link.comProtocol =
        file.GetInt(kCommunicationSection, kComProtocolTag).value_or(link.comProtocol);
    link.comPort = file.GetInt(kCommunicationSection, kComPortTag).value_or(link.comPort);
    link.baudIndex = file.GetInt(kCommunicationSection, kBaudRateTag).value_or(link.baudIndex);
    link.hostAddress =
        file.GetStringIntoBuffer(kCommunicationSection, kHostAddressTag, kAddressBuffer)
            .value_or(link.hostAddress);
    link.portNumberText =
        file.GetStringIntoBuffer(kCommunicationSection, kPortNumberTag, kPortNumberBuffer)
            .value_or(link.portNumberText);
    return link;
}

}  // namespace

std::string JoinPath(const std::string& dir, char separator, const std::string& name) {
    if (!dir.empty() && dir.back() == separator) return dir + name;
    return dir + separator + name;
}

PanelSettings DefaultPanelSettings(const std::string& filesDir, char separator) {
    PanelSettings s;
    s.parameterFilePath = JoinPath(filesDir, separator, kDefaultParameterFile);
    s.recordPath = JoinPath(filesDir, separator, kDefaultRecordFile);
    s.hwInfoFilePath = JoinPath(filesDir, separator, kDefaultHwInfoFile);
    s.tableAttributesFilePath = JoinPath(filesDir, separator, kDefaultTableAttributesFile);
    return s;
}

bool IsPanelSettingsFile(const ini::IniObject& file) {
    return file.GetString(kGeneralInfoSection, kFileTypeTag).value_or(std::string()) ==
           kPanelSettingsFileType;
}

PanelSettings ReadPanelSettings(const ini::IniObject& file, const std::string& filesDir,
                                char separator) {
    PanelSettings s = DefaultPanelSettings(filesDir, separator);
    if (!IsPanelSettingsFile(file)) return s;

    s.panelId = file.GetStringIntoBuffer(kGeneralInfoSection, kPanelIdTag, kPanelIdBuffer)
                    .value_or(std::string());

    // Without a window state the whole section is left alone; a maximised window ignores the
    // stored position, which only describes the restored window.
    s.fullscreen = file.GetInt(kPositionSection, kFullscreenTag);
    if (s.HasPosition()) {
        s.left = file.GetInt(kPositionSection, kLeftTag).value_or(s.left);
        s.top = file.GetInt(kPositionSection, kTopTag).value_or(s.top);
        s.width = file.GetInt(kPositionSection, kWidthTag).value_or(s.width);
        s.height = file.GetInt(kPositionSection, kHeightTag).value_or(s.height);
    }

    // A path missing from an existing file leaves the file dialog in the program directory
    // without a proposed name; only the record file keeps its default name.
    auto path = [&](const char* tag) {
        return file.GetStringIntoBuffer(kDirectoriesSection, tag, kPathBuffer);
    };
    s.parameterFilePath = path(kParameterFileTag).value_or(filesDir);
    // The record file is written to: a long path cut to the buffer would name another file.
    s.recordPath = file.GetString(kDirectoriesSection, kRecorderFileTag)
                       .value_or(JoinPath(filesDir, separator, kDefaultRecordFile));
    s.hwInfoFilePath = path(kHwInfoFileTag).value_or(filesDir);
    s.tableAttributesFilePath = path(kTableAttributesFileTag).value_or(filesDir);

    if (const auto count = file.GetInt(kIpSection, kListItemsTag)) {
        const long n = std::min<long>(*count, static_cast<long>(kMaxIpAddresses));
        for (long k = 1; k <= n; ++k) {
            const auto address = file.GetStringIntoBuffer(
                kIpSection, IpAddressTag(static_cast<std::size_t>(k)), kAddressBuffer);
            if (address) s.ipAddresses.push_back(*address);
        }
    }

    s.link = ReadLinkSettings(file);

    for (std::size_t k = 1; k <= kMaxSerialDevices; ++k) {
        const auto device =
            file.GetStringIntoBuffer(kSerialDevicesSection, SerialDeviceTag(k), kPathBuffer);
        if (!device) break;
        if (!device->empty()) s.serialDevices.push_back(*device);
    }
    return s;
}

ini::IniObject BuildPanelSettings(const PanelSettings& settings, int windowState,
                                  const SectionWriter& rowAttributes) {
    ini::IniObject file;
    file.PutString(kGeneralInfoSection, kFileTypeTag, kPanelSettingsFileType);
    file.PutString(kGeneralInfoSection, kScopeVersionTag, velorax::kProgramTitle);
    file.PutString(kGeneralInfoSection, kPanelIdTag, settings.panelId);

    file.PutInt(kPositionSection, kFullscreenTag, windowState);
    file.PutInt(kPositionSection, kLeftTag, settings.left);
    file.PutInt(kPositionSection, kTopTag, settings.top);
    file.PutInt(kPositionSection, kWidthTag, settings.width);
    file.PutInt(kPositionSection, kHeightTag, settings.height);

    file.PutString(kDirectoriesSection, kParameterFileTag, settings.parameterFilePath);
    file.PutString(kDirectoriesSection, kRecorderFileTag, settings.recordPath);
    file.PutString(kDirectoriesSection, kHwInfoFileTag, settings.hwInfoFilePath);
    file.PutString(kDirectoriesSection, kTableAttributesFileTag, settings.tableAttributesFilePath);

    const std::size_t n = std::min(settings.ipAddresses.size(), kMaxIpAddresses);
    file.PutInt(kIpSection, kListItemsTag, static_cast<long>(n));
    for (std::size_t k = 1; k <= n; ++k) {
        file.PutString(kIpSection, IpAddressTag(k), settings.ipAddresses[k - 1]);
    }

    const LinkSettings& link = settings.link;
    file.PutInt(kCommunicationSection, kComProtocolTag, link.comProtocol);
    file.PutInt(kCommunicationSection, kComPortTag, link.comPort);
    file.PutInt(kCommunicationSection, kBaudRateTag, link.baudIndex);
    file.PutString(kCommunicationSection, kHostAddressTag, link.hostAddress);
    file.PutString(kCommunicationSection, kPortNumberTag, link.portNumberText);

    if (rowAttributes) rowAttributes(file);

    // After every documented section, so that older readers never trip over it.
    std::size_t k = 0;
    for (const std::string& device : settings.serialDevices) {
        if (device.empty()) continue;
        if (++k > kMaxSerialDevices) break;
        file.PutString(kSerialDevicesSection, SerialDeviceTag(k), device);
    }
    return file;
}

}  // namespace params
