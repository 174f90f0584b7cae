// The calibration arithmetic: factors from means, the refusals, and means over the passes
// that brought a frame.

#include "calib/calib_core.h"

#include <gtest/gtest.h>

using namespace calib;

TEST(CalibrationFactors, BringEachChannelToTheSetValueOrAreRefused) {
    Factors f = ComputeFactors({1000, 500, 2000, 0}, 1000, 200);
    ASSERT_EQ(f.result, FactorResult::Ok);
    EXPECT_EQ(f.values, (std::array<std::uint16_t, 3>{1024, 2048, 512}));

    // 1000 × 1024 / 200 = 5120: above 4096.
    EXPECT_EQ(ComputeFactors({200, 1000, 1000, 0}, 1000, 200).result, FactorResult::OutOfRange);
    // Exactly 4096 is taken.
    EXPECT_EQ(ComputeFactors({250, 1000, 1000, 0}, 1000, 200).values[0], 4096);
    // A mean of 0 is taken as 1: a set value of 3 gives 3072; a dark target is refused.
    f = ComputeFactors({0, 1000, 1000, 0}, 3, 200);
    ASSERT_EQ(f.result, FactorResult::Ok);
    EXPECT_EQ(f.values[0], 3072);
    EXPECT_EQ(ComputeFactors({2, 3, 0, 0}, 1000, 200).result, FactorResult::OutOfRange);

    // The spread: equal to the maximum is accepted, one more refused.
    EXPECT_EQ(ComputeFactors({1000, 1000, 1000, 200}, 1000, 200).result, FactorResult::Ok);
    EXPECT_EQ(ComputeFactors({1000, 1000, 1000, 201}, 1000, 200).result,
              FactorResult::DeltaTooHigh);
    // The largest set value with the largest means stays within 32 bits.
    EXPECT_EQ(ComputeFactors({65535, 65535, 65535, 0}, 65535, 0).values[0], 1024);
}

TEST(CalibrationMeans, DivideByThePassesThatBroughtAFrame) {
    PassSums sums;
    for (int pass = 0; pass < 80; ++pass) sums.Add(1000, 1100, 900);  // 20 passes failed
    Means m;
    ASSERT_TRUE(MeansOf(sums, &m));
    EXPECT_EQ(m.red, 1000);  // not 800, as a division by 100 would give
    EXPECT_EQ(m.green, 1100);
    EXPECT_EQ(m.blue, 900);
    EXPECT_EQ(m.delta, 200);
    EXPECT_EQ(ComputeFactors(m, 1000, 200).values[0], 1024);

    EXPECT_FALSE(MeansOf(PassSums{}, &m));  // no frame at all: no means
    sums = {};
    for (int pass = 0; pass < 100; ++pass) sums.Add(65535, 0, 65535);
    ASSERT_TRUE(MeansOf(sums, &m));
    EXPECT_EQ(m.delta, 65535);
    EXPECT_EQ(RawDelta(5, 9, 7), 4);
}
