#include "teach/teach_core.h"

#include <algorithm>
#include <charconv>

namespace teach {

namespace {

constexpr std::uint16_t kEvalFirstHit = 0;
constexpr std::uint16_t kEvalBestHit = 1;
constexpr std::uint16_t kEvalMinDist = 2;
constexpr std::uint16_t kEvalCol2 = 3;

bool ThreeD(std::uint16_t calculationMode) {
    return calculationMode >= 2;
}

// Per evaluation mode: the colour tolerance, and the intensity tolerance of CALCULATION
// MODE 0 with a static and with a dynamic power.
struct EvaluationDefaults {
    std::uint16_t colour;
    std::uint16_t intensityStat;
    std::uint16_t intensityDyn;
};

EvaluationDefaults DefaultsOf(std::uint16_t evaluationMode) {
    switch (evaluationMode) {
        case kEvalBestHit:
            return {200, 200, 100};
        case kEvalMinDist:
            return {40, 200, 100};
        case kEvalFirstHit:
        case kEvalCol2:
        default:
            return {100, 100, 50};
    }
}

constexpr std::uint16_t kMtoDefault = 50;  // CALCULATION MODE 1
constexpr std::uint16_t kFifthColumn = 1;  // the 3D modes

}  // namespace

Tolerances DefaultTolerances(std::uint16_t evaluationMode, std::uint16_t calculationMode,
                             std::uint16_t powerMode) {
    const EvaluationDefaults d = DefaultsOf(evaluationMode);
    if (ThreeD(calculationMode)) return {d.colour, kFifthColumn};
    if (calculationMode == 1) return {d.colour, kMtoDefault};
    return {d.colour, powerMode == kPowerModeDyn ? d.intensityDyn : d.intensityStat};
}

TeachLayout LayoutFor(std::uint16_t calculationMode) {
    if (ThreeD(calculationMode)) return {3, 4, 5};
    return {4, 3, 5};
}

TeachOutcome TeachCells(const Sample& sample, const Modes& modes, int teachRowNo, bool toleranceOff,
                        bool autoIncrement) {
    TeachOutcome out;
    if (modes.evaluation >= kFirstThresholdMode) {
        std::uint16_t first = 0;
        std::uint16_t second = 0;
        switch (modes.evaluation) {
            case kFirstThresholdMode:  // THD Red Green
                first = sample.red;
                second = sample.green;
                break;
            case kFirstThresholdMode + 1:  // THD Red Blue
                first = sample.red;
                second = sample.blue;
                break;
            case kLastThresholdMode:  // THD Green Blue
                first = sample.green;
                second = sample.blue;
                break;
            default:  // no mode the sensor knows: nothing to teach
                return out;
        }
        out.cells = {{1, 1, first}, {2, 1, second}};
        return out;
    }
    if (teachRowNo < 0 || teachRowNo > kLastRowNo) return out;
    const int row = teachRowNo + 1;
    const TeachLayout layout = LayoutFor(modes.calculation);
    out.cells = {{row, 1, sample.x}, {row, 2, sample.y}, {row, layout.intensity, sample.intensity}};
    if (!toleranceOff) {
        const Tolerances t = DefaultTolerances(modes.evaluation, modes.calculation, modes.power);
        out.cells.push_back({row, layout.colourTolerance, t.colour});
        out.cells.push_back({row, layout.second, t.second});
    }
    if (autoIncrement && teachRowNo < kLastRowNo) out.nextRowNo = teachRowNo + 1;
    return out;
}

namespace {

// The selection cut to the table: a selection reaching past it changes only what exists.
template <class F>
void ForEachValueCell(const Selection& s, F&& f) {
    if (s.Empty()) return;
    const int bottom = std::min(s.top + s.height - 1, kTableRows);
    const int right = std::min(s.left + s.width - 1, kColorColumn);
    for (int row = s.top; row <= bottom; ++row)
        for (int column = s.left; column <= right; ++column)
            if (IsValueColumn(column)) f(row, column);
}

}  // namespace

std::vector<CellWrite> FillSelection(const Selection& selection, std::uint16_t value) {
    std::vector<CellWrite> cells;
    ForEachValueCell(selection, [&](int row, int column) {
        cells.push_back({row, column, value});
    });
    return cells;
}

std::vector<CellWrite> IncrementSelection(const Selection& selection, std::uint16_t start,
                                          std::uint16_t step) {
    std::vector<CellWrite> cells;
    if (selection.Empty() || !IsValueColumn(selection.left) || selection.top > kTableRows)
        return cells;
    std::uint16_t v = start;
    ForEachValueCell(selection, [&](int row, int column) {
        cells.push_back({row, column, v});
        v = static_cast<std::uint16_t>(v + step);  // wraps past 65535
    });
    return cells;
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // from_chars takes no sign of its own here: "+-5" and "--5" stay text.
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return negative ? -value : value;
}

std::optional<std::uint16_t> CellValueFromAnswer(std::string_view text) {
    const auto v = ParseInteger(text);
    if (!v || *v < 0 || *v > 0xFFFF) return std::nullopt;
    return static_cast<std::uint16_t>(*v);
}

std::optional<std::uint16_t> StepFromAnswer(std::string_view text) {
    const auto v = ParseInteger(text);
    if (!v || *v < -0xFFFF || *v > 0xFFFF) return std::nullopt;
    return static_cast<std::uint16_t>(*v < 0 ? 0x10000 + *v : *v);
}

}  // namespace teach
