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

TEST(PromptAnswers, TheLeadingNumberCountsWhenACellCanHoldIt) {
    EXPECT_EQ(CellValueFromAnswer("42"), 42);
    EXPECT_EQ(CellValueFromAnswer(" +42 "), 42);
    EXPECT_EQ(CellValueFromAnswer("0"), 0);
    EXPECT_EQ(CellValueFromAnswer("65535"), 65535);
    // The leading integer counts, whatever follows it.
    EXPECT_EQ(CellValueFromAnswer("12abc"), 12);
    EXPECT_EQ(CellValueFromAnswer("4.5"), 4);
    EXPECT_EQ(CellValueFromAnswer(" 12 3"), 12);
    EXPECT_EQ(CellValueFromAnswer("0x10"), 0);
    for (const char* refused : {"", "   ", "abc", "-", "+", "-5", "65536", "70000", "999999999",
                                "x12", "--5", "+-5", "- 5", "99999999999999999999999"})
        EXPECT_FALSE(CellValueFromAnswer(refused)) << refused;
    EXPECT_EQ(StepFromAnswer("10"), 10);
    EXPECT_EQ(StepFromAnswer("-1"), 65535);
    EXPECT_EQ(StepFromAnswer("-65535"), 1);
    EXPECT_EQ(StepFromAnswer("5 apples"), 5);
    for (const char* refused : {"", "x", "65536", "-65536", "999999999", "apples 5"})
        EXPECT_FALSE(StepFromAnswer(refused)) << refused;
}

// --- capture and mean --------------------------------------------------------------------

namespace {

CaptureRow Frame(std::uint16_t x, std::uint16_t y, std::uint16_t intensity, std::uint16_t red = 0,
                 std::uint16_t green = 0, std::uint16_t blue = 0) {
    return {red, green, blue, x, y, intensity};
}

// The three captures of a colour whose X, Y and INT scatter a little.
CaptureStore ThreeCaptures() {
    CaptureStore s;
    s.CaptureFrame(Frame(1000, 500, 2000, 10, 20, 30));
    s.CaptureFrame(Frame(1010, 500, 2010, 11, 21, 31));
    s.CaptureFrame(Frame(1020, 530, 2030, 13, 23, 33));
    return s;
}

MeanTeach TeachOf(const Means& means, std::uint16_t evaluation, std::uint16_t calculation) {
    MeanTeach t;
    t.means = means;
    t.modes = {evaluation, calculation, 0};
    t.teachRowNo = 4;
    t.currentRow = {1, 2, 3, 4, 5};
    return t;
}

}  // namespace

TEST(CaptureStore, CapturesUndoesAndResets) {
    CaptureStore s;
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.CaptureFrame(Frame(1, 2, 3, 4, 5, 6)), 1);
    EXPECT_EQ(s.CaptureFrame(Frame(7, 8, 9)), 2);
    EXPECT_EQ(s.Count(), 2);
    EXPECT_EQ(s.Row(1), (CaptureRow{4, 5, 6, 1, 2, 3}));

    EXPECT_EQ(s.UndoCapture(), 2);  // the row cleared
    EXPECT_EQ(s.Count(), 1);
    EXPECT_EQ(s.Row(2), CaptureRow{});
    EXPECT_EQ(s.Row(1), (CaptureRow{4, 5, 6, 1, 2, 3}));
    EXPECT_EQ(s.UndoCapture(), 1);
    // At nothing captured the count stays 0 and row 1 is cleared again.
    s.SetCell(1, kCapX, 77);
    EXPECT_EQ(s.UndoCapture(), 1);
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.Row(1), CaptureRow{});

    s.CaptureFrame(Frame(1, 1, 1));
    s.SetCell(50, kCapRed, 9);  // past the count: kept, not counted
    s.SetCell(0, 1, 9);         // outside the table: ignored
    s.SetCell(1, 7, 9);
    EXPECT_EQ(s.Row(50)[0], 9);
    s.ResetCapture();
    EXPECT_EQ(s.Count(), 0);
    for (int r = 1; r <= kCaptureRows; ++r) EXPECT_EQ(s.Row(r), CaptureRow{}) << r;
}

TEST(CaptureStore, AFullTableKeepsOverwritingItsLastRow) {
    CaptureStore s;
    for (int i = 1; i <= 101; ++i)
        EXPECT_EQ(s.CaptureFrame(Frame(static_cast<std::uint16_t>(i), 0, 0)), std::min(i, 100));
    EXPECT_EQ(s.Count(), 100);
    EXPECT_EQ(s.Row(99)[kCapX - 1], 99);
    EXPECT_EQ(s.Row(100)[kCapX - 1], 101);  // the 101st frame
    // Means of 1 ... 99 and 101.
    EXPECT_EQ(s.ComputeMeans(0).values[kCapX - 1], (99 * 100 / 2 + 101) / 100);
}

TEST(ComputeMeans, MeansAndDistancesOfThreeCaptures) {
    const CaptureStore s = ThreeCaptures();
    const Means m = s.ComputeMeans(0);
    EXPECT_EQ(m.values, (CaptureRow{11, 21, 31, 1010, 510, 2013}));  // truncated
    // sqrt(100 + 100) = 14, 10, sqrt(100 + 400) = 22.
    EXPECT_EQ(m.maxDistance, 22);
    EXPECT_EQ(m.maxIntensityDistance, 17);
    EXPECT_EQ(s.ComputeMeans(1), m);  // s i M 2D measures the same way
    // 3D adds the intensity: sqrt(100 + 400 + 289) = 28.
    EXPECT_EQ(s.ComputeMeans(2).maxDistance, 28);
    EXPECT_EQ(s.ComputeMeans(3).maxDistance, 28);
    EXPECT_EQ(s.ComputeMeans(3).maxIntensityDistance, 17);

    EXPECT_EQ(CaptureStore{}.ComputeMeans(0), Means{});
    // One capture: it is its own mean.
    CaptureStore one;
    one.CaptureFrame(Frame(65535, 65535, 65535, 65535, 65535, 65535));
    const Means single = one.ComputeMeans(2);
    EXPECT_EQ(single.values[kCapX - 1], 65535);
    EXPECT_EQ(single.maxDistance, 0);
}

TEST(ComputeMeans, WideScatterNeitherOverflowsNorWraps) {
    // Two captures at the ends of the range: each 32767 or 32768 from the mean. The squared
    // sum of three such differences (about 3.2e9) does not fit a signed 32-bit integer.
    CaptureStore s;
    s.CaptureFrame(Frame(0, 0, 0));
    s.CaptureFrame(Frame(65535, 65535, 65535));
    const Means m = s.ComputeMeans(2);
    EXPECT_EQ(m.values[kCapX - 1], 32767);
    EXPECT_EQ(m.maxIntensityDistance, 32768);
    EXPECT_EQ(m.maxDistance, 56755);                  // floor(sqrt(3 * 32768^2))
    EXPECT_EQ(s.ComputeMeans(0).maxDistance, 46340);  // floor(sqrt(2 * 32768^2))

    // A distance past 65535 shows as 65535 rather than as its low 16 bits.
    CaptureStore far;
    far.CaptureFrame(Frame(0, 0, 0));
    for (int i = 0; i < 99; ++i) far.CaptureFrame(Frame(65535, 65535, 65535));
    const Means f = far.ComputeMeans(3);
    EXPECT_EQ(f.values[kCapX - 1], 64879);
    EXPECT_EQ(f.maxDistance, 65535);  // sqrt(3) * 64879 is about 112374
    EXPECT_EQ(f.maxIntensityDistance, 64879);
    EXPECT_EQ(far.ComputeMeans(0).maxDistance, 65535);
}

TEST(TeachMeanValues, TheRingsChooseTheTolerances) {
    const Means m = ThreeCaptures().ComputeMeans(0);
    MeanTeach t = TeachOf(m, 1, 0);
    t.colourValue = 50;
    t.intensityValue = 30;
    t.colourChoice = kToleranceFixedPlusScatter;
    t.intensityChoice = kToleranceFixedPlusScatter;
    TeachOutcome out = TeachMeanValues(t);
    // X, Y, CTO 50 + 22, INT, ITO 30 + 17; rows around it untouched.
    EXPECT_EQ(out.cells, (std::vector<CellWrite>{
                             {5, 1, 1010}, {5, 2, 510}, {5, 3, 72}, {5, 4, 2013}, {5, 5, 47}}));
    EXPECT_FALSE(out.nextRowNo);

    t.colourChoice = kToleranceFixed;
    t.intensityChoice = kToleranceScatter;
    EXPECT_EQ(RowAfter(TeachMeanValues(t).cells, 5), (std::vector<int>{1010, 510, 50, 2013, 17}));
    t.colourChoice = kToleranceScatter;
    t.intensityChoice = kToleranceFixed;
    EXPECT_EQ(RowAfter(TeachMeanValues(t).cells, 5), (std::vector<int>{1010, 510, 22, 2013, 30}));
    // Keep: the row's own tolerances (columns 3 and 5) stay as they were.
    t.colourChoice = kToleranceKeep;
    t.intensityChoice = kToleranceKeep;
    EXPECT_EQ(RowAfter(TeachMeanValues(t).cells, 5), (std::vector<int>{1010, 510, 3, 2013, 5}));

    // Fixed value + scatter stops at 65535.
    EXPECT_EQ(ChosenTolerance(kToleranceFixedPlusScatter, 65530, 22, 0), 65535);
    EXPECT_EQ(ChosenTolerance(kToleranceFixedPlusScatter, 65513, 22, 0), 65535);
    EXPECT_EQ(ChosenTolerance(kToleranceFixedPlusScatter, 65512, 22, 0), 65534);
    EXPECT_EQ(ChosenTolerance(9, 7, 22, 3), 7);  // no such item: the fixed value
}

TEST(TeachMeanValues, MinDistThreeDRowsAndTheAdvance) {
    const Means m = ThreeCaptures().ComputeMeans(0);
    MeanTeach t = TeachOf(m, 2, 0);  // MIN DIST
    t.colourValue = 50;
    t.colourChoice = kToleranceFixedPlusScatter;
    t.intensityValue = 30;
    EXPECT_EQ(RowAfter(TeachMeanValues(t).cells, 5), (std::vector<int>{1010, 510, 40, 2013, 30}));

    // X Y INT 3D: mean INT into column 3, the tolerance into 4, column 5 not written.
    t = TeachOf(ThreeCaptures().ComputeMeans(2), 1, 2);
    t.colourChoice = kToleranceScatter;
    t.intensityChoice = kToleranceFixed;
    t.intensityValue = 30;
    TeachOutcome out = TeachMeanValues(t);
    EXPECT_EQ(out.cells,
              (std::vector<CellWrite>{{5, 1, 1010}, {5, 2, 510}, {5, 3, 2013}, {5, 4, 28}}));
    t.modes.evaluation = 2;
    t.modes.calculation = 3;
    EXPECT_EQ(TeachMeanValues(t).cells.at(3), (CellWrite{5, 4, 40}));
    t.modes.evaluation = 1;
    t.colourChoice = kToleranceKeep;  // the 3D tolerance column, 4
    EXPECT_EQ(TeachMeanValues(t).cells.at(3), (CellWrite{5, 4, 4}));

    // The "No.:" advance stops at the last row; rows outside the table get nothing.
    t.autoIncrement = true;
    EXPECT_EQ(TeachMeanValues(t).nextRowNo, 5);
    t.teachRowNo = kLastRowNo;
    out = TeachMeanValues(t);
    EXPECT_EQ(out.cells.front().row, kTableRows);
    EXPECT_FALSE(out.nextRowNo);
    t.teachRowNo = kTableRows;
    EXPECT_TRUE(TeachMeanValues(t).cells.empty());
    t.teachRowNo = -1;
    EXPECT_TRUE(TeachMeanValues(t).cells.empty());
}

TEST(TeachPanelLabels, FollowTheCalculationMode) {
    const TeachPanelLabels* l = TeachPanelLabelsFor(0);
    ASSERT_NE(l, nullptr);
    EXPECT_STREQ(l->columns[2], "INT");
    EXPECT_STREQ(l->colourItems[2], "d (X/Y)+VALUE CTO");
    EXPECT_STREQ(l->intensityItems[2], "d INT+VALUE ITO");
    EXPECT_TRUE(l->intensityShown);
    l = TeachPanelLabelsFor(1);
    EXPECT_STREQ(l->columns[0], "s");
    EXPECT_STREQ(l->colourRing, "TEACH siTO WITH");
    EXPECT_STREQ(l->intensityRing, "TEACH MTO WITH");
    l = TeachPanelLabelsFor(2);
    EXPECT_STREQ(l->distance, "d (X/Y/INT)");
    EXPECT_EQ(l->intensityDistance, nullptr);  // left as it was, hidden
    EXPECT_FALSE(l->intensityShown);
    l = TeachPanelLabelsFor(3);
    EXPECT_STREQ(l->intensityDistance, "d M");
    EXPECT_STREQ(l->colourItems[1], "d (s/i/INT)");
    EXPECT_FALSE(l->intensityShown);
    EXPECT_EQ(TeachPanelLabelsFor(4), nullptr);
}
