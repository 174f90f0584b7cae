#include "sim/model/eeprom_file.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace sim {
namespace {

constexpr char kMagic[] = "VELORAX-SIM-EEPROM 1";

template <typename Range>
void PutLine(std::ostringstream& out, const char* key, const Range& words) {
    out << key;
    for (auto w : words) out << ' ' << w;
    out << '\n';
}

}  // namespace

std::string SerializeEeprom(const Eeprom& e) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << kMagic << '\n';
    PutLine(out, "block0", e.sets[0].BlockWords());
    PutLine(out, "block1", e.sets[1].BlockWords());
    PutLine(out, "teach0", e.sets[0].TeachWords());
    PutLine(out, "teach1", e.sets[1].TeachWords());
    PutLine(out, "factors", e.factors);
    PutLine(out, "offsets", e.offsets);
    out << "baud " << e.baudIndex << '\n';
    return out.str();
}

std::optional<Eeprom> ParseEeprom(std::string_view text, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<Eeprom> {
        if (error) *error = why;
        return std::nullopt;
    };
    std::istringstream in{std::string(text)};
    in.imbue(std::locale::classic());
    std::string line;
    if (!std::getline(in, line)) return fail("empty EEPROM file");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line != kMagic) return fail("not an EEPROM file of this simulator");

    const std::map<std::string, std::size_t> sizes{{"block0", params::kBlockWords},
                                                   {"block1", params::kBlockWords},
                                                   {"teach0", params::kTeachWords},
                                                   {"teach1", params::kTeachWords},
                                                   {"factors", 3},
                                                   {"offsets", 3},
                                                   {"baud", 1}};
    std::map<std::string, std::vector<std::uint16_t>> values;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        fields.imbue(std::locale::classic());
        std::string key;
        if (!(fields >> key)) continue;
        const auto size = sizes.find(key);
        if (size == sizes.end()) return fail("unknown line \"" + key + "\"");
        std::vector<std::uint16_t> words;
        unsigned long v = 0;
        while (fields >> v) {
            if (v > 65535) return fail("value above 65535 in \"" + key + "\"");
            words.push_back(static_cast<std::uint16_t>(v));
        }
        if (!fields.eof() || words.size() != size->second) {
            return fail("line \"" + key + "\" needs " + std::to_string(size->second) + " numbers");
        }
        values[key] = std::move(words);
    }
    if (values.size() != sizes.size()) return fail("EEPROM file is incomplete");
    Eeprom e;
    e.sets[0].SetBlockWords(values["block0"]);
    e.sets[1].SetBlockWords(values["block1"]);
    e.sets[0].SetTeachWords(values["teach0"]);
    e.sets[1].SetTeachWords(values["teach1"]);
    for (std::size_t c = 0; c < 3; ++c) {
        e.factors[c] = values["factors"][c];
        e.offsets[c] = values["offsets"][c];
    }
    e.baudIndex = values["baud"][0];
    return e;
}

bool SaveEepromFile(const std::string& path, const Eeprom& eeprom, std::string* error) {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << SerializeEeprom(eeprom);
        out.flush();
        if (!out) {
            if (error) *error = "cannot write " + temp;
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        if (error) *error = "cannot rename " + temp + " to " + path;
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

std::optional<Eeprom> LoadEepromFile(const std::string& path, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (error) error->clear();
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    std::string why;
    auto e = ParseEeprom(text.str(), &why);
    if (!e && error) *error = path + ": " + why;
    return e;
}

}  // namespace sim
