#pragma once
// INI text files as every file of this program writes and reads them.
//
//   [SECTION]                      sections and items in first-use order, no sorting
//   TAG = 123                      integers unquoted, signed decimal
//   TAG = "text with \"escapes\""  strings quoted and escaped (\" \\ \t \n \r \xhh)
//   LONG Line0001 = "..."          values above 80 characters split, joined when read
//   <empty line after each section>, CR LF line ends
//
// Free of Qt so that it can be fuzzed and used by the simulator.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ini {

class IniObject {
  public:
    struct Item {
        std::string tag;
        std::string value;  // as written in the file (quoted and escaped for strings)
    };
    struct Section {
        std::string name;
        std::vector<Item> items;
    };

    // --- building -------------------------------------------------------------------
    // Replaces the value in place when the tag exists in the section (case-insensitive).
    void PutString(std::string_view section, std::string_view tag, std::string_view value);
    void PutInt(std::string_view section, std::string_view tag, long value);

    // The whole file text, CR LF line ends.
    std::string ToText() const;
    // Writes through a temporary file in the target's directory renamed over the target.
    // Returns false (and leaves the target alone) when anything fails, also when the
    // target exists and is read-only.
    bool WriteToFile(const std::string& path) const;

    // --- reading --------------------------------------------------------------------
    static IniObject Parse(std::string_view text);
    // False when the file cannot be opened; the object is then empty.
    bool ReadFromFile(const std::string& path);

    bool HasSection(std::string_view section) const;
    bool HasItem(std::string_view section, std::string_view tag) const;
    // The value with quotes removed and escapes undone; nullopt when missing.
    std::optional<std::string> GetString(std::string_view section, std::string_view tag) const;
    // As GetString, cut to bufferSize - 1 characters (the run-time's buffer reads).
    std::optional<std::string> GetStringIntoBuffer(std::string_view section, std::string_view tag,
                                                   std::size_t bufferSize) const;
    // Succeeds only for an existing, non-blank signed 32-bit decimal value.
    std::optional<std::int32_t> GetInt(std::string_view section, std::string_view tag) const;

    const std::vector<Section>& Sections() const { return sections_; }

  private:
    // Names compare without regard to ASCII case; the maps take look-ups by string_view.
    struct NoCaseHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const;
    };
    struct NoCaseEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    using NameIndex = std::unordered_map<std::string, std::size_t, NoCaseHash, NoCaseEqual>;

    // Puts a value already in its file form (quoted and escaped, or a plain number).
    void PutValue(std::string_view section, std::string_view tag, std::string value);
    // The section of that (clean) name, added at the end when there is none.
    std::size_t SectionAt(const std::string& name);
    // An item at the end of a section; a look-up finds the first of a tag named twice.
    void AddItem(std::size_t section, Item item);
    const Item* Find(std::string_view section, std::string_view tag) const;

    std::vector<Section> sections_;
    // Where each section and each section's items are, so that reading a file of n items
    // asks n look-ups of constant cost instead of a scan each.
    NameIndex sectionIndex_;
    std::vector<NameIndex> itemIndex_;  // one per section
};

}  // namespace ini
