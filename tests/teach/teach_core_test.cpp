// The teach arithmetic: default tolerances and their columns, the threshold teach, the
// "No.:" advance, the selection walks and the reading of typed values.

#include "teach/teach_core.h"

#include <gtest/gtest.h>

#include <vector>

using namespace teach;

namespace {

// Row `row` of a table after the writes, starting from 1 in every cell.
std::vector<int> RowAfter(const std::vector<CellWrite>& cells, int row) {
    std::vector<int> values(kValueColumns, 1);
    for (const CellWrite& c : cells)
        if (c.row == row) values.at(static_cast<std::size_t>(c.column - 1)) = c.value;
    return values;
}

const Sample kSample{1500, 1200, 2000, 700, 800, 900};

}  // namespace

TEST(DefaultTolerances, FollowEvaluationCalculationAndPowerMode) {
    struct Case {
        std::uint16_t eval, calc, power, colour, second;
    };
    const Case cases[] = {
        {0, 0, 0, 100, 100}, {0, 0, 1, 100, 50},  {3, 0, 0, 100, 100}, {3, 0, 1, 100, 50},
        {1, 0, 0, 200, 200}, {1, 0, 1, 200, 100}, {2, 0, 0, 40, 200},  {2, 0, 1, 40, 100},
        {0, 1, 1, 100, 50},  {1, 1, 1, 200, 50},  {2, 1, 0, 40, 50},   {3, 1, 0, 100, 50},
        {0, 2, 1, 100, 1},   {1, 3, 0, 200, 1},   {2, 2, 1, 40, 1},    {3, 3, 0, 100, 1},
    };
    for (const Case& c : cases) {
        const Tolerances t = DefaultTolerances(c.eval, c.calc, c.power);
        EXPECT_EQ(t.colour, c.colour) << c.eval << " " << c.calc << " " << c.power;
        EXPECT_EQ(t.second, c.second) << c.eval << " " << c.calc << " " << c.power;
    }
}

TEST(TeachCells, WriteTheRowInTheLayoutOfTheCalculationMode) {
    // BEST HIT, DYN, row 4 (table row 5).
    EXPECT_EQ(RowAfter(TeachCells(kSample, {1, 0, 1}, 4, false, false).cells, 5),
              (std::vector<int>{1500, 1200, 200, 2000, 100}));
    EXPECT_EQ(RowAfter(TeachCells(kSample, {1, 2, 1}, 4, false, false).cells, 5),
              (std::vector<int>{1500, 1200, 2000, 200, 1}));
    EXPECT_EQ(RowAfter(TeachCells(kSample, {2, 1, 0}, 4, false, false).cells, 5),
              (std::vector<int>{1500, 1200, 40, 2000, 50}));
    // With tolerance teaching off only the colour and its intensity are written.
    const auto off2D = TeachCells(kSample, {1, 0, 1}, 4, true, false).cells;
    EXPECT_EQ(off2D.size(), 3u);
    EXPECT_EQ(RowAfter(off2D, 5), (std::vector<int>{1500, 1200, 1, 2000, 1}));
    EXPECT_EQ(RowAfter(TeachCells(kSample, {1, 3, 1}, 4, true, false).cells, 5),
              (std::vector<int>{1500, 1200, 2000, 1, 1}));
    // Only the taught row changes.
    for (const CellWrite& c : TeachCells(kSample, {0, 0, 0}, 4, false, false).cells)
        EXPECT_EQ(c.row, 5);
}

TEST(TeachCells, AdvanceTheRowUpToTheLastOne) {
    EXPECT_EQ(TeachCells(kSample, {1, 0, 0}, 4, false, true).nextRowNo, 5);
    EXPECT_EQ(TeachCells(kSample, {1, 0, 0}, 29, false, true).nextRowNo, 30);
    const TeachOutcome last = TeachCells(kSample, {1, 0, 0}, 30, false, true);
    EXPECT_FALSE(last.nextRowNo);
    EXPECT_EQ(last.cells.front().row, 31);  // row 30 is taught again
    EXPECT_FALSE(TeachCells(kSample, {1, 0, 0}, 4, false, false).nextRowNo);
    // A row outside the table writes nothing.
    EXPECT_TRUE(TeachCells(kSample, {1, 0, 0}, 31, false, true).cells.empty());
    EXPECT_TRUE(TeachCells(kSample, {1, 0, 0}, -1, false, true).cells.empty());
}

TEST(TeachCells, ThresholdModesTeachVectorsZeroAndOneWhateverTheRow) {
    const std::vector<CellWrite> redGreen{{1, 1, 700}, {2, 1, 800}};
    const std::vector<CellWrite> redBlue{{1, 1, 700}, {2, 1, 900}};
    const std::vector<CellWrite> greenBlue{{1, 1, 800}, {2, 1, 900}};
    EXPECT_EQ(TeachCells(kSample, {4, 0, 0}, 12, false, true).cells, redGreen);
    const TeachOutcome rb = TeachCells(kSample, {5, 2, 1}, 12, false, true);
    EXPECT_EQ(rb.cells, redBlue);
    EXPECT_FALSE(rb.nextRowNo);  // no advance in the threshold modes
    EXPECT_EQ(TeachCells(kSample, {6, 0, 0}, 30, true, false).cells, greenBlue);
    EXPECT_TRUE(TeachCells(kSample, {7, 0, 0}, 3, false, false).cells.empty());
}

TEST(Selection, IncrementWalksRowByRowAndWraps) {
    // 2 x 3 from row 2, column 1, first cell 100, step 10.
    const std::vector<CellWrite> walk = IncrementSelection({2, 1, 2, 3}, 100, 10);
    const std::vector<CellWrite> expected{{2, 1, 100}, {2, 2, 110}, {2, 3, 120},
                                          {3, 1, 130}, {3, 2, 140}, {3, 3, 150}};
    EXPECT_EQ(walk, expected);
    // Past 65535 it wraps; a step of -5 (65531) counts down.
    const auto wrap = IncrementSelection({1, 1, 1, 3}, 65530, 5);
    EXPECT_EQ(wrap.back().value, 4);
    const auto down = IncrementSelection({1, 1, 1, 3}, 3, *StepFromAnswer("-5"));
    EXPECT_EQ(down[1].value, 65534);
    EXPECT_EQ(down[2].value, 65529);
}

TEST(Selection, TheColourColumnIsSkippedAndNeverStartsAWalk) {
    // Columns 4 ... 6 over two rows: the colour column is not a value.
    const auto fill = FillSelection({1, 4, 2, 3}, 7);
    const std::vector<CellWrite> expected{{1, 4, 7}, {1, 5, 7}, {2, 4, 7}, {2, 5, 7}};
    EXPECT_EQ(fill, expected);
    const auto walk = IncrementSelection({1, 4, 2, 3}, 10, 1);
    EXPECT_EQ(walk.back(), (CellWrite{2, 5, 13}));
    EXPECT_TRUE(IncrementSelection({1, kColorColumn, 3, 1}, 10, 1).empty());
    EXPECT_TRUE(FillSelection({1, kColorColumn, 3, 1}, 5).empty());
    // Nothing selected, or a rectangle reaching past the table.
    EXPECT_TRUE(FillSelection({0, 1, 2, 2}, 5).empty());
    EXPECT_TRUE(IncrementSelection({1, 0, 2, 2}, 5, 1).empty());
    EXPECT_EQ(FillSelection({30, 5, 5, 5}, 5).size(), 2u);
}

TEST(PromptAnswers, OnlyWholeNumbersACellCanHoldAreTaken) {
    EXPECT_EQ(CellValueFromAnswer("42"), 42);
    EXPECT_EQ(CellValueFromAnswer(" +42 "), 42);
    EXPECT_EQ(CellValueFromAnswer("0"), 0);
    EXPECT_EQ(CellValueFromAnswer("65535"), 65535);
    for (const char* refused :
         {"", "   ", "abc", "-", "+", "-5", "65536", "70000", "999999999", "12abc", "12 3", "1.5",
          "0x10", "--5", "+-5", "99999999999999999999999"})
        EXPECT_FALSE(CellValueFromAnswer(refused)) << refused;
    EXPECT_EQ(StepFromAnswer("10"), 10);
    EXPECT_EQ(StepFromAnswer("-1"), 65535);
    EXPECT_EQ(StepFromAnswer("-65535"), 1);
    for (const char* refused : {"", "x", "65536", "-65536", "999999999", "5 apples"})
        EXPECT_FALSE(StepFromAnswer(refused)) << refused;
}
