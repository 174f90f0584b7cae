#include "params_core/hardware_file.h"

#include "params_core/parameter_file.h"
#include "params_core/program_title.h"

namespace params {

namespace {

constexpr std::array<const char*, 3> kChannelTags = {"RED", "GREEN", "BLUE"};

void PutChannels(ini::IniObject& file, const char* section,
                 const std::array<std::uint16_t, 3>& values) {
    for (std::size_t c = 0; c < kChannelTags.size(); ++c)
        file.PutInt(section, kChannelTags[c], static_cast<long>(values[c]));
}

}  // namespace

std::string HardwareDataText(std::span<const std::uint16_t, kHardwareDataWords> words) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(4 * words.size());
    for (const std::uint16_t w : words) {
        for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(w >> shift) & 0xF];
    }
    return text;
}

ini::IniObject BuildHardwareFile(const HardwareSnapshot& snapshot) {
    ini::IniObject file;
    file.PutString(kGeneralInfoSection, kFileTypeTag, kHardwareFileType);
    file.PutString(kGeneralInfoSection, kScopeVersionTag, velorax::kProgramTitle);
    file.PutString(kGeneralInfoSection, kFirmwareVersionTag, snapshot.firmware);
    file.PutString(kHardwareInfoSection, kHardwareDataTag, HardwareDataText(snapshot.data));
    PutChannels(file, kCalibrationFactorSection, snapshot.factors);
    PutChannels(file, kOffsetSection, snapshot.offsets);
    PutParameterItems(file, snapshot.parameters);
    return file;
}

}  // namespace params
