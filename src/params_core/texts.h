#pragma once
// Fixed texts of the parameter controls: the items of every mode selector and the help
// texts that a right-click shows. Kept as data so that the panels, the records and the
// tests read the same table.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace params {

struct ValueItem {
    const char* label;
    std::uint16_t value;
};

// The items of the selector of a ParameterBlock word, in list order; empty for the words
// that are plain numbers (POWER, AVERAGE, HOLD FAIL, ...).
std::span<const ValueItem> ValueItems(std::size_t word);

// The label of one value of a selector word; nullptr when the word has no selector or the
// value has no item.
const char* ValueLabel(std::size_t word, std::uint16_t value);

// The question before any table of the program is reset.
inline constexpr char kResetTableQuestion[] = "Do you really want to reset the table?";

struct HelpText {
    const char* callback;  // CBF_... name of the control's callback
    const char* text;
};

// Help texts of the parameter page, the group and hold page and the transfer buttons.
std::span<const HelpText> ParameterHelpTexts();

// The help text of a callback of the table above; nullptr when it has none.
const char* ParameterHelpText(std::string_view callback);

}  // namespace params
