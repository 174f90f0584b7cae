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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const ini::IniObject read = ini::IniObject::Parse(input);
    // Written and read again, the object has the same sections and items with the same values:
    // a save after a load loses, adds and changes nothing. (The text itself may differ once: a
    // long value read as it stood is written in pieces, and pieces are read back escaped; only
    // then are the values compared as a reader gets them.) Every item it kept can be looked up.
    // Each item is read once, by one of the reads in turn, so that the run's time goes to the
    // reader rather than to the same look-up over and over.
    const ini::IniObject again = ini::IniObject::Parse(read.ToText());
    Check(again.Sections().size() == read.Sections().size());
    std::size_t turn = 0;
    for (std::size_t s = 0; s < read.Sections().size(); ++s) {
        const auto& before = read.Sections()[s];
        const auto& after = again.Sections()[s];
        Check(after.name == before.name && after.items.size() == before.items.size());
        for (std::size_t i = 0; i < before.items.size(); ++i) {
            const auto& item = before.items[i];
            Check(after.items[i].tag == item.tag);
            if (after.items[i].value != item.value)
                Check(again.GetString(after.name, item.tag) ==
                      read.GetString(before.name, item.tag));
            switch (turn++ % 3) {
                case 0:
                    Check(read.GetString(before.name, item.tag).has_value());
                    break;
                case 1: {
                    const auto cut = read.GetStringIntoBuffer(before.name, item.tag, 8);
                    Check(cut.has_value() && cut->size() <= 7);
                    break;
                }
                default:
                    // A number or not, but found: a number read never answers for another item.
                    Check(read.HasItem(before.name, item.tag));
                    (void)read.GetInt(before.name, item.tag);
                    break;
            }
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
