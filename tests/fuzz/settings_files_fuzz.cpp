// Feeds arbitrary bytes, read as an INI text, to the readers of the three files a user or
// another program may hand us: the parameter file, the panel settings file and the table
// attributes file. Nothing may crash, read past a buffer or overflow, and what comes back
// keeps the limits the readers promise.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ini/ini.h"
#include "params/panel_settings.h"
#include "params/parameter_file.h"
#include "service/table_attributes.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ini::IniObject file = ini::IniObject::Parse(text);

    // The parameter file: every item into a set; the report names what was missing.
    (void)params::FileTypeMatches(file);
    (void)params::VersionMatches(file);
    params::ParameterSet set;
    const params::LoadReport report = params::ReadParameterItems(file, set);
    (void)report;

    // The panel settings file, both passes.
    const params::PanelSettings settings = params::ReadPanelSettings(file, "/opt/velorax", '/');
    Check(settings.panelId.size() <= 99);
    Check(settings.ipAddresses.size() <= params::kMaxIpAddresses);
    const params::LinkSettingsValues link = params::ReadLinkSettings(file);
    Check(link.hostAddress.size() <= 255);

    // The table attributes file.
    (void)service::FileTypeMatches(file);
    service::RowAttributes rows;
    (void)service::ReadRowAttributes(file, rows);
    for (const std::string& s : rows.specifications) Check(s.size() <= 4 * service::kMaxSpecificationChars);
    for (std::size_t row = 0; row < service::kRowCount + 2; ++row) (void)service::ReadRowColor(file, row);
    return 0;
}
