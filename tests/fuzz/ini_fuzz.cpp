// Feeds arbitrary bytes to the INI reader, and checks that a value of arbitrary bytes
// comes back unchanged through the writer and the reader.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ini/ini.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

void ReadEverything(const ini::IniObject& object) {
    for (const auto& section : object.Sections()) {
        for (const auto& item : section.items) {
            (void)object.GetInt(section.name, item.tag);
            const auto text = object.GetString(section.name, item.tag);
            Check(text.has_value());
            const auto cut = object.GetStringIntoBuffer(section.name, item.tag, 8);
            Check(cut.has_value() && cut->size() <= 7);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const ini::IniObject read = ini::IniObject::Parse(input);
    ReadEverything(read);
    const ini::IniObject again = ini::IniObject::Parse(read.ToText());
    ReadEverything(again);
    for (const auto& section : read.Sections()) Check(again.HasSection(section.name));

    // The first byte says how much of the rest names the section; the remainder is a value.
    if (size > 0) {
        const std::size_t nameLength = std::min<std::size_t>(data[0] % 32, size - 1);
        const std::string_view section = input.substr(1, nameLength);
        const std::string_view value = input.substr(1 + nameLength);
        ini::IniObject written;
        written.PutString(section, "VALUE", value);
        written.PutInt(section, "NUMBER", static_cast<long>(size) - 1000);
        const ini::IniObject back = ini::IniObject::Parse(written.ToText());
        Check(back.GetString(section, "VALUE") == std::string(value));
        Check(back.GetInt(section, "NUMBER") == static_cast<std::int32_t>(size) - 1000);
    }
    return 0;
}
