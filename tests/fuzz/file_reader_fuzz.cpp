// Arbitrary bytes, read as an INI text, to one reader of the files a user or another program
// may hand us; FILE_READER picks which, so that each reader is a target of its own and the
// fuzzer spends its runs on it alone. Nothing may crash, read past a buffer or overflow, and
// what comes back keeps the limits the readers promise.
//   1: the parameter file   2: the panel settings file   3: the table attributes file

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ini/ini.h"
#include "params_core/panel_settings.h"
#include "params_core/parameter_file.h"
#include "service/table_attributes.h"

#ifndef FILE_READER
#error "FILE_READER names the reader (1, 2 or 3)"
#endif

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ini::IniObject file = ini::IniObject::Parse(text);
#if FILE_READER == 1
    // Every item into a set; the report names what was missing.
    (void)params::FileTypeMatches(file);
    (void)params::VersionMatches(file);
    params::ParameterSet set;
    const params::LoadReport report = params::ReadParameterItems(file, set);
    // The report lists missing items by name: never more than every item there is.
    Check(report.parameters.size() + report.teachVectors.size() < 64 * 1024);
#elif FILE_READER == 2
    // The window, paths, addresses and link settings, in the one pass start-up makes.
    const params::PanelSettings settings = params::ReadPanelSettings(file, "/opt/velorax", '/');
    Check(settings.panelId.size() <= 99);
    Check(settings.ipAddresses.size() <= params::kMaxIpAddresses);
    Check(settings.link.hostAddress.size() <= 255);
#else
    (void)service::FileTypeMatches(file);
    service::RowAttributes rows;
    (void)service::ReadRowAttributes(file, rows);
    for (const std::string& s : rows.texts)
        Check(s.size() <= 4 * service::kMaxRowTextChars);
    // Rows inside the table were read above; the colour of a row beyond it is asked for too.
    for (std::size_t row = service::kRowCount; row < service::kRowCount + 2; ++row)
        (void)service::ReadRowColor(file, row);
#endif
    return 0;
}
