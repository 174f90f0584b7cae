#pragma once
// The arithmetic of the teach table, free of Qt: which cells TEACH DATA TO writes with
// which default tolerances, the cells a context-menu operation changes, and how a typed
// cell value is read. Rows and columns are 1-based as the table shows them: row r is
// teach vector r - 1, columns 1 ... 5 hold the vector's cells, column 6 is the row colour.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace teach {

inline constexpr int kTableRows = 31;
inline constexpr int kValueColumns = 5;                 // the numeric cells
inline constexpr int kColorColumn = kValueColumns + 1;  // the row colour indicator
inline constexpr int kLastRowNo = kTableRows - 1;       // highest "No.:"
inline constexpr std::uint16_t kResetValue = 1;         // what a reset cell holds

inline constexpr std::uint16_t kPowerModeDyn = 1;        // POWER MODE
inline constexpr std::uint16_t kFirstThresholdMode = 4;  // EVALUATION MODE: THD Red Green
inline constexpr std::uint16_t kLastThresholdMode = 6;   // THD Green Blue

inline bool IsValueColumn(int column) {
    return column >= 1 && column <= kValueColumns;
}

// The two tolerances TEACH DATA TO writes with a colour.
struct Tolerances {
    std::uint16_t colour = 0;  // CTO, siTO or TOL
    std::uint16_t second = 0;  // ITO, MTO, or the fifth column of the 3D modes
};
// For EVALUATION MODE 0 ... 3; the threshold modes teach no tolerances.
Tolerances DefaultTolerances(std::uint16_t evaluationMode, std::uint16_t calculationMode,
                             std::uint16_t powerMode);

// Where INT (or M) and the two tolerances go; X (or s) is always column 1, Y (or i) column 2.
struct TeachLayout {
    int intensity = 0;
    int colourTolerance = 0;
    int second = 0;
};
TeachLayout LayoutFor(std::uint16_t calculationMode);

// What a teach takes from a frame.
struct Sample {
    std::uint16_t x = 0, y = 0, intensity = 0;
    std::uint16_t red = 0, green = 0, blue = 0;
};

struct Modes {
    std::uint16_t evaluation = 1;
    std::uint16_t calculation = 0;
    std::uint16_t power = 0;
};

struct CellWrite {
    int row = 0;
    int column = 0;
    std::uint16_t value = 0;
    bool operator==(const CellWrite&) const = default;
};

struct TeachOutcome {
    std::vector<CellWrite> cells;  // in the order they are written
    std::optional<int> nextRowNo;  // what the "No.:" field shows next, if it changes
};

// TEACH DATA TO for the row `teachRowNo` (0 ... 30; anything else writes nothing). The
// threshold modes write their two thresholds into column 1 of rows 1 and 2 whatever the
// row, and never advance it.
TeachOutcome TeachCells(const Sample& sample, const Modes& modes, int teachRowNo, bool toleranceOff,
                        bool autoIncrement);

// The selected rectangle of the table; nothing is selected when top or left is below 1.
struct Selection {
    int top = 0;
    int left = 0;
    int height = 0;
    int width = 0;
    bool Empty() const { return top < 1 || left < 1 || height < 1 || width < 1; }
};

// Every numeric cell of the selection gets `value`; the colour column is skipped.
std::vector<CellWrite> FillSelection(const Selection& selection, std::uint16_t value);
// Numeric cells from the top row down, left to right in each row: `start` first, then
// each one `step` more than the one before, modulo 65536. Nothing when the selection
// does not start on a numeric cell.
std::vector<CellWrite> IncrementSelection(const Selection& selection, std::uint16_t start,
                                          std::uint16_t step);

// Answers to the "VALUE!" prompt: the decimal integer the text begins with (blanks before
// it and a sign allowed); whatever follows it is ignored ("12abc" is 12, "4.5" is 4). Text
// that does not begin with a number, or a number too large for 64 bits, gives nothing.
std::optional<std::int64_t> ParseInteger(std::string_view text);
// A value a cell can hold: 0 ... 65535. A negative or larger number would land in the
// 16-bit cell as some other value, so it is refused rather than written.
std::optional<std::uint16_t> CellValueFromAnswer(std::string_view text);
// A step for the increment walk: -65535 ... 65535, as its residue modulo 65536, so a
// negative step counts down the way a positive one counts up.
std::optional<std::uint16_t> StepFromAnswer(std::string_view text);

// --- the capture-and-mean teach --------------------------------------------------------------
//
// Up to 100 captured frames, each with RED, GREEN, BLUE, then X, Y, INT (s, i, M in the
// s i M modes). Their column means and the largest distance of a capture from the mean go
// into a teach-table row with tolerances taken from a fixed value, from that scatter, or
// from both. Rows are 1-based like the table that shows them.

inline constexpr int kCaptureRows = 100;
inline constexpr int kCaptureColumns = 6;
enum CaptureColumn : int { kCapRed = 1, kCapGreen, kCapBlue, kCapX, kCapY, kCapInt };

// One frame as captured, columns 1 ... 6 at indexes 0 ... 5.
using CaptureRow = std::array<std::uint16_t, kCaptureColumns>;

struct Means {
    CaptureRow values{};                     // the column means, truncated
    std::uint16_t maxDistance = 0;           // largest distance to the mean (X/Y, +INT in 3D)
    std::uint16_t maxIntensityDistance = 0;  // largest |INT - mean INT|
    bool operator==(const Means&) const = default;
};

// The means of the first `count` rows. The squared distance of a row can reach three
// times 65535 squared, so it is summed in 64 bits; a distance above 65535 shows as 65535.
Means ComputeMeans(const std::array<CaptureRow, kCaptureRows>& rows, int count,
                   std::uint16_t calculationMode);

// The captured frames and how many of them count.
class CaptureStore {
  public:
    int Count() const { return count_; }
    const CaptureRow& Row(int row) const { return rows_.at(static_cast<std::size_t>(row - 1)); }
    const std::array<CaptureRow, kCaptureRows>& Rows() const { return rows_; }
    // A cell the user edited; rows past the count are kept but not counted.
    void SetCell(int row, int column, std::uint16_t value);
    // The frame into the next row; with a full table it replaces the last one. Returns the
    // row written.
    int CaptureFrame(const CaptureRow& frame);
    // The last capture removed (at 0 captures row 1 is cleared). Returns the row cleared.
    int UndoCapture();
    void ResetCapture();
    Means ComputeMeans(std::uint16_t calculationMode) const {
        return teach::ComputeMeans(rows_, count_, calculationMode);
    }

  private:
    std::array<CaptureRow, kCaptureRows> rows_{};
    int count_ = 0;
};

// What the two rings of the panel choose as a tolerance.
enum ToleranceChoice : int {
    kToleranceFixed = 0,             // the fixed value
    kToleranceScatter = 1,           // the measured scatter
    kToleranceFixedPlusScatter = 2,  // both, at most 65535
    kToleranceKeep = 3,              // what the teach table holds already
};

inline constexpr std::uint16_t kMinDistTolerance = 40;  // always taught in MIN DIST

struct MeanTeach {
    Means means;
    int colourChoice = kToleranceFixed;
    std::uint16_t colourValue = 0;
    int intensityChoice = kToleranceFixed;
    std::uint16_t intensityValue = 0;
    Modes modes;
    int teachRowNo = 0;
    bool autoIncrement = false;
    std::array<std::uint16_t, kValueColumns> currentRow{};  // row teachRowNo + 1 as it is
};

// The tolerance a ring chooses; an unknown choice is taken as the fixed value.
std::uint16_t ChosenTolerance(int choice, std::uint16_t fixed, std::uint16_t scatter,
                              std::uint16_t kept);

// TEACH of the means into row teachRowNo + 1 (nothing for a row outside 0 ... 30). Tolerance
// teaching off is not looked at, and RED, GREEN, BLUE are not taught.
TeachOutcome TeachMeanValues(const MeanTeach& teach);

// The labels of both teach panels for a CALCULATION MODE.
struct TeachPanelLabels {
    std::array<const char*, 3> columns;         // columns 4, 5, 6 of both tables
    const char* distance;                       // the distance display
    const char* intensityDistance;              // nullptr: unchanged
    const char* colourValue;                    // the fixed colour tolerance
    const char* colourRing;                     // its ring
    std::array<const char*, 3> colourItems;     // ring items 0, 1, 2
    const char* intensityValue;                 // nullptr: unchanged (hidden)
    const char* intensityRing;                  // nullptr: unchanged (hidden)
    std::array<const char*, 3> intensityItems;  // nullptr: unchanged (hidden)
    bool intensityShown;                        // the intensity distance, ring and value
};
// Nothing for a mode the sensor does not know: the labels stay as they are.
const TeachPanelLabels* TeachPanelLabelsFor(std::uint16_t calculationMode);

}  // namespace teach
