#include "params_core/parameter_set.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace params {
namespace {

TEST(ParameterSet, HoldFailTravelsAsWordFourBetweenEvaluationModeAndIntLim) {
    ParameterSet set;
    set.block.evaluationMode = 3;
    set.block.holdFail = 777;
    set.block.intLim = 42;
    const auto words = set.BlockWords();
    EXPECT_EQ(words[3], 3);
    EXPECT_EQ(words[4], 777);
    EXPECT_EQ(words[5], 42);
    EXPECT_EQ(words[kHoldFail], 777);

    ParameterSet back;
    back.SetBlockWords(words);
    EXPECT_EQ(back.block.holdFail, 777);
    EXPECT_EQ(back.block.intLim, 42);
}

TEST(ParameterSet, CalculationModeThereAndBackCopiesColourToleranceIntoIntensityTolerance) {
    ParameterSet set;
    set.teach[4].cell = {1500, 1200, 200, 2000, 100};  // X, Y, CTO, INT, ITO
    set.teach[30].cell = {10, 20, 30, 40, 50};

    ConvertTeachVectors(set, 0, 2);
    EXPECT_EQ(set.teach[4].cell, (std::array<std::uint16_t, 5>{1500, 1200, 2000, 200, 1}));

    ConvertTeachVectors(set, 2, 0);
    EXPECT_EQ(set.teach[4].cell, (std::array<std::uint16_t, 5>{1500, 1200, 200, 2000, 200}));
    EXPECT_EQ(set.teach[30].cell, (std::array<std::uint16_t, 5>{10, 20, 30, 40, 30}));
}

TEST(ParameterSet, CalculationModeWithinOneDimensionLeavesCellsAlone) {
    ParameterSet set;
    set.teach[0].cell = {1, 2, 3, 4, 5};
    ConvertTeachVectors(set, 1, 0);
    EXPECT_EQ(set.teach[0].cell, (std::array<std::uint16_t, 5>{1, 2, 3, 4, 5}));
    ConvertTeachVectors(set, 3, 2);
    EXPECT_EQ(set.teach[0].cell, (std::array<std::uint16_t, 5>{1, 2, 3, 4, 5}));
}

}  // namespace
}  // namespace params
