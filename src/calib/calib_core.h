#pragma once
// The arithmetic of the calibration, free of Qt: the spread of the raw channels, the means
// of a calculation's passes, and the factors that bring the three channels to the set value.

#include <array>
#include <cstdint>

namespace calib {

inline constexpr int kCalculationPasses = 100;
inline constexpr std::uint16_t kMaxFactor = 4096;  // 1024 = gain 1

// Largest minus smallest of the three raw values.
std::uint16_t RawDelta(std::uint16_t red, std::uint16_t green, std::uint16_t blue);

// The sums of the passes that brought a frame, and how many did.
struct PassSums {
    std::uint32_t red = 0, green = 0, blue = 0, delta = 0;
    int passes = 0;
    void Add(std::uint16_t r, std::uint16_t g, std::uint16_t b);
};

struct Means {
    std::uint16_t red = 0, green = 0, blue = 0, delta = 0;
};
// Each sum divided by the passes that succeeded (not by all 100: failed passes would pull
// every mean down and every factor up). Nothing when no pass succeeded.
bool MeansOf(const PassSums& sums, Means* means);

enum class FactorResult { Ok, DeltaTooHigh, OutOfRange };
struct Factors {
    FactorResult result = FactorResult::Ok;
    std::array<std::uint16_t, 3> values{};  // red, green, blue when Ok
};
// setValue × 1024 / mean per channel (a mean of 0 taken as 1); refused when the mean
// spread is above maxDelta, or when any factor is above 4096.
Factors ComputeFactors(const Means& means, std::uint16_t setValue, std::uint16_t maxDelta);

}  // namespace calib
