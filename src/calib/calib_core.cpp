#include "calib/calib_core.h"

#include <algorithm>

namespace calib {

std::uint16_t RawDelta(std::uint16_t red, std::uint16_t green, std::uint16_t blue) {
    return static_cast<std::uint16_t>(std::max({red, green, blue}) - std::min({red, green, blue}));
}

void PassSums::Add(std::uint16_t r, std::uint16_t g, std::uint16_t b) {
    red += r;
    green += g;
    blue += b;
    delta += RawDelta(r, g, b);
    ++passes;
}

bool MeansOf(const PassSums& sums, Means* means) {
    if (sums.passes <= 0) return false;
    const auto n = static_cast<std::uint32_t>(sums.passes);
    means->red = static_cast<std::uint16_t>(sums.red / n);
    means->green = static_cast<std::uint16_t>(sums.green / n);
    means->blue = static_cast<std::uint16_t>(sums.blue / n);
    means->delta = static_cast<std::uint16_t>(sums.delta / n);
    return true;
}

Factors ComputeFactors(const Means& means, std::uint16_t setValue, std::uint16_t maxDelta) {
    Factors f;
    if (means.delta > maxDelta) {
        f.result = FactorResult::DeltaTooHigh;
        return f;
    }
    const std::array<std::uint16_t, 3> m = {means.red, means.green, means.blue};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::uint32_t mean = m[i] == 0 ? 1 : m[i];
        const std::uint32_t factor = std::uint32_t{setValue} * 1024u / mean;
        if (factor > kMaxFactor) {
            f.result = FactorResult::OutOfRange;
            f.values = {};
            return f;
        }
        f.values[i] = static_cast<std::uint16_t>(factor);
    }
    return f;
}

}  // namespace calib
