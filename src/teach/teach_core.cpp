#include "teach/teach_core.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

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
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // from_chars takes no sign of its own here: "+-5" and "--5" stay text.
    if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
    std::int64_t value = 0;
    // What follows the digits is not looked at: "12abc" is 12, "4.5" is 4.
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{}) return std::nullopt;
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

// --- the capture-and-mean teach --------------------------------------------------------------

namespace {

constexpr std::uint16_t kMax16 = 0xFFFF;

std::uint16_t Saturated(std::uint64_t v) {
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(v, kMax16));
}

// The integer part of the square root; the double's root is corrected where rounding put
// it one off.
std::uint64_t IntegerSqrt(std::uint64_t d) {
    auto r = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(d)));
    while (r > 0 && r * r > d) --r;
    while ((r + 1) * (r + 1) <= d) ++r;
    return r;
}

std::size_t Index(int column) {
    return static_cast<std::size_t>(column - 1);
}

}  // namespace

Means ComputeMeans(const std::array<CaptureRow, kCaptureRows>& rows, int count,
                   std::uint16_t calculationMode) {
    Means out;
    const int n = std::clamp(count, 0, kCaptureRows);
    if (n == 0) return out;
    // 100 rows of 16-bit values: a column sum stays far below 2^32.
    for (std::size_t c = 0; c < kCaptureColumns; ++c) {
        std::uint32_t sum = 0;
        for (int r = 0; r < n; ++r) sum += rows[static_cast<std::size_t>(r)][c];
        out.values[c] = static_cast<std::uint16_t>(sum / static_cast<std::uint32_t>(n));
    }
    const std::int64_t meanX = out.values[Index(kCapX)];
    const std::int64_t meanY = out.values[Index(kCapY)];
    const std::int64_t meanI = out.values[Index(kCapInt)];
    std::uint64_t maxDistance = 0;
    std::int64_t maxDi = 0;
    for (int r = 0; r < n; ++r) {
        const CaptureRow& row = rows[static_cast<std::size_t>(r)];
        const std::int64_t dx = row[Index(kCapX)] - meanX;
        const std::int64_t dy = row[Index(kCapY)] - meanY;
        const std::int64_t di = std::llabs(row[Index(kCapInt)] - meanI);
        maxDi = std::max(maxDi, di);
        // Up to 3 * 65535^2: more than a 32-bit integer holds.
        std::int64_t d = dx * dx + dy * dy;
        if (ThreeD(calculationMode)) d += di * di;
        maxDistance = std::max(maxDistance, IntegerSqrt(static_cast<std::uint64_t>(d)));
    }
    out.maxDistance = Saturated(maxDistance);
    out.maxIntensityDistance = Saturated(static_cast<std::uint64_t>(maxDi));
    return out;
}

void CaptureStore::SetCell(int row, int column, std::uint16_t value) {
    if (row < 1 || row > kCaptureRows || column < 1 || column > kCaptureColumns) return;
    rows_[static_cast<std::size_t>(row - 1)][Index(column)] = value;
}

int CaptureStore::CaptureFrame(const CaptureRow& frame) {
    count_ = std::min(count_, kCaptureRows - 1) + 1;
    rows_[static_cast<std::size_t>(count_ - 1)] = frame;
    return count_;
}

int CaptureStore::UndoCapture() {
    if (count_ > 0) --count_;
    rows_[static_cast<std::size_t>(count_)] = {};
    return count_ + 1;
}

void CaptureStore::ResetCapture() {
    count_ = 0;
    rows_ = {};
}

std::uint16_t ChosenTolerance(int choice, std::uint16_t fixed, std::uint16_t scatter,
                              std::uint16_t kept) {
    switch (choice) {
        case kToleranceScatter:
            return scatter;
        case kToleranceFixedPlusScatter:
            // A wrapped sum would teach a tiny tolerance for a wide scatter.
            return Saturated(std::uint64_t{fixed} + scatter);
        case kToleranceKeep:
            return kept;
        case kToleranceFixed:
        default:
            return fixed;
    }
}

TeachOutcome TeachMeanValues(const MeanTeach& t) {
    TeachOutcome out;
    if (t.teachRowNo < 0 || t.teachRowNo > kLastRowNo) return out;
    const int row = t.teachRowNo + 1;
    const bool threeD = ThreeD(t.modes.calculation);
    const int colourColumn = threeD ? 4 : 3;
    const int intensityToleranceColumn = threeD ? 4 : 5;
    const std::uint16_t colour =
        t.modes.evaluation == kEvalMinDist
            ? kMinDistTolerance
            : ChosenTolerance(t.colourChoice, t.colourValue, t.means.maxDistance,
                              t.currentRow[Index(colourColumn)]);
    const std::uint16_t intensity =
        ChosenTolerance(t.intensityChoice, t.intensityValue, t.means.maxIntensityDistance,
                        t.currentRow[Index(intensityToleranceColumn)]);
    const std::uint16_t meanInt = t.means.values[Index(kCapInt)];
    out.cells = {{row, 1, t.means.values[Index(kCapX)]}, {row, 2, t.means.values[Index(kCapY)]}};
    if (threeD) {
        // The fifth column is not the intensity tolerance here: it stays.
        out.cells.push_back({row, 3, meanInt});
        out.cells.push_back({row, 4, colour});
    } else {
        out.cells.push_back({row, 3, colour});
        out.cells.push_back({row, 4, meanInt});
        out.cells.push_back({row, 5, intensity});
    }
    if (t.autoIncrement && t.teachRowNo < kLastRowNo) out.nextRowNo = t.teachRowNo + 1;
    return out;
}

namespace {

const TeachPanelLabels kLabels[] = {
    {{"X", "Y", "INT"},
     "d (X/Y)",
     "d INT",
     "VALUE CTO",
     "TEACH CTO WITH",
     {"VALUE CTO", "d (X/Y)", "d (X/Y)+VALUE CTO"},
     "VALUE ITO",
     "TEACH ITO WITH",
     {"VALUE ITO", "d INT", "d INT+VALUE ITO"},
     true},
    {{"s", "i", "M"},
     "d (s/i)",
     "d M",
     "VALUE siTO",
     "TEACH siTO WITH",
     {"VALUE siTO", "d (s/i)", "d (s/i)+VALUE siTO"},
     "VALUE MTO",
     "TEACH MTO WITH",
     {"VALUE MTO", "d M", "d M+VALUE MTO"},
     true},
    {{"X", "Y", "INT"},
     "d (X/Y/INT)",
     nullptr,
     "VALUE TOL",
     "TEACH TOL WITH",
     {"VALUE TOL", "d (X/Y/INT)", "d (X/Y/INT)+VALUE TOL"},
     nullptr,
     nullptr,
     {nullptr, nullptr, nullptr},
     false},
    {{"s", "i", "M"},
     "d (s/i/INT)",
     "d M",
     "VALUE TOL",
     "TEACH TOL WITH",
     {"VALUE TOL", "d (s/i/INT)", "d (s/i/INT)+VALUE TOL"},
     nullptr,
     nullptr,
     {nullptr, nullptr, nullptr},
     false},
};

}  // namespace

const TeachPanelLabels* TeachPanelLabelsFor(std::uint16_t calculationMode) {
    if (calculationMode >= std::size(kLabels)) return nullptr;
    return &kLabels[calculationMode];
}

}  // namespace teach
