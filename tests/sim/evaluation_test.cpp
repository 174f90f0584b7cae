// Colour coordinates and the evaluation against the teach table, with cases worked out by
// hand.

#include <gtest/gtest.h>

#include "sim/model/colour.h"
#include "sim/model/sensor_model.h"
#include "sim_test_util.h"

namespace {

using params::TeachVector;

params::ParameterSet Set(std::uint16_t evaluationMode, std::uint16_t calculationMode,
                         std::uint16_t maxVecNo) {
    params::ParameterSet set = sim::DefaultParameterSet();
    set.block.digitalOutMode = 2;
    set.block.evaluationMode = evaluationMode;
    set.block.calculationMode = calculationMode;
    set.block.maxVecNo = maxVecNo;
    return set;
}

TeachVector Row(std::uint16_t c0, std::uint16_t c1, std::uint16_t c2, std::uint16_t c3,
                std::uint16_t c4, std::uint16_t group = 0) {
    TeachVector v;
    v.cell = {c0, c1, c2, c3, c4};
    v.group = group;
    return v;
}

sim::Coordinates Xyi(std::uint16_t x, std::uint16_t y, std::uint16_t intensity) {
    sim::Coordinates c;
    c.x = x;
    c.y = y;
    c.intensity = intensity;
    return c;
}

constexpr std::array<std::uint16_t, 3> kAnyRgb{1000, 1000, 1000};

TEST(SimColour, Coordinates) {
    const auto reddish = sim::ComputeCoordinates({2000, 1000, 1000});
    EXPECT_EQ(reddish.x, 2047);  // 4095 * 2000 / 4000 = 2047.5, integer division
    EXPECT_EQ(reddish.y, 1023);
    EXPECT_EQ(reddish.intensity, 1333);
    EXPECT_EQ(reddish.s, 0);     // hue 0
    EXPECT_EQ(reddish.i, 2500);  // saturation 0.5
    EXPECT_EQ(reddish.m, 390);   // 1333 * 1200 / 4095

    const auto green = sim::ComputeCoordinates({1000, 2000, 1000});
    EXPECT_EQ(green.s, 3333);  // 120 degrees
    const auto blue = sim::ComputeCoordinates({0, 0, 4095});
    EXPECT_EQ(blue.s, 6667);
    EXPECT_EQ(blue.i, 5000);
    EXPECT_EQ(blue.m, 400);

    const auto black = sim::ComputeCoordinates({0, 0, 0});
    EXPECT_EQ(black.x, 0);
    EXPECT_EQ(black.intensity, 0);
    EXPECT_EQ(black.i, 0);
    const auto full = sim::ComputeCoordinates({4095, 4095, 4095});
    EXPECT_EQ(full.m, 1200);
    EXPECT_EQ(full.x, 1365);
}

TEST(SimEvaluation, HitAndMissIn2D) {
    auto set = Set(1, 0, 1);  // BEST HIT, X Y INT 2D, one row
    set.teach[0] = Row(1500, 1400, 100, 2300, 200);
    // distance sqrt(13^2 + 15^2) = 19.8
    auto e = sim::Evaluate(set, Xyi(1513, 1385, 2308), kAnyRgb);
    EXPECT_EQ(e.colorNo, 0);
    EXPECT_EQ(e.groupNo, 0);
    EXPECT_EQ(e.deltaC, 20);

    // Colour inside the circle but intensity outside the band: a miss, delta C -1.
    e = sim::Evaluate(set, Xyi(1513, 1385, 2600), kAnyRgb);
    EXPECT_EQ(e.colorNo, 255);
    EXPECT_EQ(e.groupNo, 255);
    EXPECT_EQ(e.deltaC, -1);

    // Outside the circle (distance 101): a miss.
    e = sim::Evaluate(set, Xyi(1601, 1400, 2300), kAnyRgb);
    EXPECT_EQ(e.colorNo, 255);
    EXPECT_EQ(e.deltaC, -1);
    e = sim::Evaluate(set, Xyi(1600, 1400, 2300), kAnyRgb);  // on the circle: a hit
    EXPECT_EQ(e.colorNo, 0);
    EXPECT_EQ(e.deltaC, 100);
}

TEST(SimEvaluation, FirstHitVersusBestHitOnOverlappingRows) {
    auto set = Set(0, 0, 3);
    set.teach[0] = Row(1450, 1400, 200, 2300, 200);  // distance sqrt(63^2+15^2) = 64.8
    set.teach[1] = Row(1510, 1390, 200, 2300, 200);  // distance sqrt(9+25) = 5.8
    set.teach[2] = Row(3000, 3000, 10, 2300, 200);
    const auto coords = Xyi(1513, 1385, 2308);

    auto first = sim::Evaluate(set, coords, kAnyRgb);
    EXPECT_EQ(first.colorNo, 0);
    EXPECT_EQ(first.deltaC, 65);

    set.block.evaluationMode = 1;
    auto best = sim::Evaluate(set, coords, kAnyRgb);
    EXPECT_EQ(best.colorNo, 1);
    EXPECT_EQ(best.deltaC, 6);

    // FIRST HIT without a hit: the distance to the last active row (row 2 here).
    set.block.evaluationMode = 0;
    const auto far = Xyi(100, 100, 2300);
    auto miss = sim::Evaluate(set, far, kAnyRgb);
    EXPECT_EQ(miss.colorNo, 255);
    EXPECT_EQ(miss.deltaC, 4101);  // sqrt(2900^2 + 2900^2) = 4101.2
    // BEST HIT without a hit: -1.
    set.block.evaluationMode = 1;
    EXPECT_EQ(sim::Evaluate(set, far, kAnyRgb).deltaC, -1);

    // Only rows below MAX VEC NO count: with one row, row 1 is never the answer.
    set.block.maxVecNo = 1;
    EXPECT_EQ(sim::Evaluate(set, coords, kAnyRgb).colorNo, 0);
}

TEST(SimEvaluation, MinDistIgnoresTheColourTolerance) {
    auto set = Set(2, 0, 3);
    set.teach[0] = Row(1000, 1000, 1, 2300, 100);
    set.teach[1] = Row(1200, 1200, 1, 2300, 100);  // nearest
    set.teach[2] = Row(1500, 1400, 1, 500, 100);   // nearer, but out of the intensity band
    auto e = sim::Evaluate(set, Xyi(1500, 1400, 2300), kAnyRgb);
    EXPECT_EQ(e.colorNo, 1);
    EXPECT_EQ(e.deltaC, 361);  // sqrt(300^2 + 200^2) = 360.6
    // No row within its band: failure.
    e = sim::Evaluate(set, Xyi(1500, 1400, 4000), kAnyRgb);
    EXPECT_EQ(e.colorNo, 255);
    EXPECT_EQ(e.deltaC, -1);
}

TEST(SimEvaluation, ThreeDimensionalSphere) {
    auto set = Set(1, 2, 1);  // BEST HIT, X Y INT 3D
    set.teach[0] = Row(1500, 1400, 2300, 50, 1);
    // distance sqrt(30^2 + 0 + 40^2) = 50: on the sphere.
    auto e = sim::Evaluate(set, Xyi(1530, 1400, 2340), kAnyRgb);
    EXPECT_EQ(e.colorNo, 0);
    EXPECT_EQ(e.deltaC, 50);
    e = sim::Evaluate(set, Xyi(1530, 1400, 2341), kAnyRgb);
    EXPECT_EQ(e.colorNo, 255);

    // s i M 3D evaluates s, i, M instead of X, Y, INT.
    set.block.calculationMode = 3;
    sim::Coordinates c;
    c.s = 1500;
    c.i = 1400;
    c.m = 2300;
    EXPECT_EQ(sim::Evaluate(set, c, kAnyRgb).deltaC, 0);
}

TEST(SimEvaluation, IntLimGroupsAndOutputsOff) {
    auto set = Set(1, 0, 2);
    set.block.colorGroup = 1;
    set.teach[0] = Row(1000, 1000, 50, 2300, 200, 3);
    set.teach[1] = Row(1513, 1385, 50, 2300, 200, 7);
    const auto coords = Xyi(1513, 1385, 2308);
    auto e = sim::Evaluate(set, coords, kAnyRgb);
    EXPECT_EQ(e.colorNo, 1);
    EXPECT_EQ(e.groupNo, 7);
    EXPECT_EQ(e.deltaC, 0);

    set.block.intLim = 2309;  // INT 2308 is below the limit
    e = sim::Evaluate(set, coords, kAnyRgb);
    EXPECT_EQ(e.colorNo, 255);
    EXPECT_EQ(e.groupNo, 255);
    EXPECT_EQ(e.deltaC, -1);
    set.block.intLim = 2308;
    EXPECT_EQ(sim::Evaluate(set, coords, kAnyRgb).colorNo, 1);

    set.block.digitalOutMode = 0;
    e = sim::Evaluate(set, coords, kAnyRgb);
    EXPECT_EQ(e.colorNo, 255);
    EXPECT_EQ(e.deltaC, -1);
}

TEST(SimEvaluation, TwoBitPatternModes) {
    auto set = Set(3, 0, 2);  // COL2
    set.teach[0] = Row(1500, 1400, 100, 2300, 200);
    set.teach[1] = Row(1520, 1400, 100, 2300, 200);
    EXPECT_EQ(sim::Evaluate(set, Xyi(1510, 1400, 2300), kAnyRgb).colorNo, 3);
    EXPECT_EQ(sim::Evaluate(set, Xyi(1410, 1400, 2300), kAnyRgb).colorNo, 1);
    EXPECT_EQ(sim::Evaluate(set, Xyi(1610, 1400, 2300), kAnyRgb).colorNo, 2);
    EXPECT_EQ(sim::Evaluate(set, Xyi(100, 100, 2300), kAnyRgb).colorNo, 0);

    // THD: bit 0 = first signal above row 0's threshold, bit 1 = second above row 1's.
    set.teach[0].cell[0] = 2000;
    set.teach[1].cell[0] = 2000;
    const std::array<std::uint16_t, 3> rgb{3000, 1000, 2500};
    set.block.evaluationMode = 4;  // red, green
    EXPECT_EQ(sim::Evaluate(set, Xyi(0, 0, 0), rgb).colorNo, 1);
    set.block.evaluationMode = 5;  // red, blue
    EXPECT_EQ(sim::Evaluate(set, Xyi(0, 0, 0), rgb).colorNo, 3);
    set.block.evaluationMode = 6;  // green, blue
    EXPECT_EQ(sim::Evaluate(set, Xyi(0, 0, 0), rgb).colorNo, 2);
}

TEST(SimEvaluation, MeasurementFrameCarriesTheEvaluation) {
    // The whole chain: a grey patch, taught into row 0, is recognised in the frame.
    sim::Scene grey({{"grey", {0.5, 0.5, 0.5}, 100.0}});
    sim::SensorModel model(simtest::Options(4, 0, grey));
    auto& set = model.Ram()[0];
    set.block.digitalOutMode = 2;
    set.block.evaluationMode = 1;
    const sim::Scan s = model.Measure(1.0, false);
    set.teach[0] = Row(s.coords.x, s.coords.y, 100, s.coords.intensity, 200, 0);
    const auto w = model.MeasurementFrame(1.0);
    EXPECT_EQ(w[7], 0);
    EXPECT_EQ(w[8], 0);
    EXPECT_LT(static_cast<std::int16_t>(w[6]), 30);
    set.teach[0].cell[0] = static_cast<std::uint16_t>(s.coords.x + 1000);
    EXPECT_EQ(model.MeasurementFrame(1.0)[7], 255);
}

}  // namespace

TEST(TaughtScene, EveryPatchIsRecognisedAsItsOwnRow) {
    sim::SensorModel model;
    model.TeachScene();
    const auto& patches = model.CurrentScene().Patches();
    EXPECT_EQ(model.Ram()[0].block.maxVecNo, patches.size());
    double start = 0.0;
    for (std::size_t k = 0; k < patches.size(); ++k) {
        // In the middle of each patch, with the sensor's noise.
        const sim::Scan scan = model.Measure(start + patches[k].seconds / 2);
        EXPECT_EQ(scan.evaluation.colorNo, k) << patches[k].name;
        start += patches[k].seconds;
    }
}
