// Feeds arbitrary bytes to the INI reader: every item it kept can be looked up, what it writes
// reads back to the same text, and a value of arbitrary bytes comes back unchanged through the
// writer and the reader.

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

// The number and buffer reads of an item: whatever its value, they answer within their limits.
void ReadAsNumberAndIntoBuffer(const ini::IniObject& object, std::string_view section,
                               std::string_view tag) {
    (void)object.GetInt(section, tag);
    const auto cut = object.GetStringIntoBuffer(section, tag, 8);
    Check(cut.has_value() && cut->size() <= 7);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const ini::IniObject read = ini::IniObject::Parse(input);
    // Written and read again, the object has the same sections and items with the same values:
    // a save after a load loses, adds and changes nothing. (The text itself may differ once: a
    // long value read as it stood is written in pieces, and pieces are read back escaped.)
    // Every item it kept can be looked up, in both.
    const ini::IniObject again = ini::IniObject::Parse(read.ToText());
    Check(again.Sections().size() == read.Sections().size());
    for (std::size_t s = 0; s < read.Sections().size(); ++s) {
        const auto& before = read.Sections()[s];
        const auto& after = again.Sections()[s];
        Check(after.name == before.name && after.items.size() == before.items.size());
        for (std::size_t i = 0; i < before.items.size(); ++i) {
            const std::string& tag = before.items[i].tag;
            Check(after.items[i].tag == tag);
            const auto value = read.GetString(before.name, tag);
            Check(value.has_value() && again.GetString(after.name, tag) == value);
            // The other reads share the look-up; a few items per section are enough for them.
            if (i < 4) ReadAsNumberAndIntoBuffer(read, before.name, tag);
        }
    }

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
