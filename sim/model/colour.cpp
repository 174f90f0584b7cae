#include "sim/model/colour.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sim {
namespace {

std::int16_t DeltaCOf(double distance) {
    const double rounded = std::round(distance);
    return static_cast<std::int16_t>(std::min(rounded, 32767.0));
}

enum EvaluationMode : std::uint16_t {
    kFirstHit = 0,
    kBestHit = 1,
    kMinDist = 2,
    kCol2 = 3,
    kThdRedGreen = 4,
    kThdRedBlue = 5,
    kThdGreenBlue = 6,
};

struct RowTest {
    double distance = 0.0;
    bool inBand = true;  // intensity inside the band (2D); always true in 3D
    bool hit = false;
};

RowTest TestRow(const params::TeachVector& row, bool threeD, double c0, double c1, double c2) {
    RowTest t;
    const auto& c = row.cell;
    if (threeD) {
        const double d0 = c0 - c[0], d1 = c1 - c[1], d2 = c2 - c[2];
        t.distance = std::sqrt(d0 * d0 + d1 * d1 + d2 * d2);
        t.hit = t.distance <= c[3];
    } else {
        const double d0 = c0 - c[0], d1 = c1 - c[1];
        t.distance = std::sqrt(d0 * d0 + d1 * d1);
        t.inBand = std::abs(c2 - c[3]) <= c[4];
        t.hit = t.inBand && t.distance <= c[2];
    }
    return t;
}

}  // namespace

Coordinates ComputeCoordinates(const std::array<std::uint16_t, 3>& cal) {
    Coordinates out;
    const std::uint32_t r = cal[0], g = cal[1], b = cal[2];
    const std::uint32_t sum = r + g + b;
    if (sum > 0) {
        out.x = static_cast<std::uint16_t>(4095u * r / sum);
        out.y = static_cast<std::uint16_t>(4095u * g / sum);
    }
    out.intensity = static_cast<std::uint16_t>(sum / 3);

    const std::uint32_t hi = std::max({r, g, b});
    const std::uint32_t lo = std::min({r, g, b});
    const double chroma = static_cast<double>(hi - lo);
    double hue = 0.0;  // degrees
    if (chroma > 0) {
        if (hi == r) {
            hue = 60.0 * std::fmod((static_cast<double>(g) - b) / chroma + 6.0, 6.0);
        } else if (hi == g) {
            hue = 60.0 * ((static_cast<double>(b) - r) / chroma + 2.0);
        } else {
            hue = 60.0 * ((static_cast<double>(r) - g) / chroma + 4.0);
        }
    }
    out.s = static_cast<std::uint16_t>(std::min(10000.0, std::round(hue / 360.0 * 10000.0)));
    out.i = hi > 0 ? static_cast<std::uint16_t>(std::round(chroma / hi * 5000.0)) : 0;
    out.m = static_cast<std::uint16_t>(out.intensity * 1200u / 4095u);
    return out;
}

Evaluation Evaluate(const params::ParameterSet& set, const Coordinates& coords,
                    const std::array<std::uint16_t, 3>& cal) {
    const params::ParameterBlock& p = set.block;
    Evaluation e;
    if (p.digitalOutMode == 0) return e;

    const bool siM = (p.calculationMode % 2) == 1;
    const bool threeD = params::Is3D(p.calculationMode);
    const double c0 = siM ? coords.s : coords.x;
    const double c1 = siM ? coords.i : coords.y;
    const double c2 = siM ? coords.m : coords.intensity;

    if (c2 < p.intLim) return e;

    const auto groupOf = [&](std::uint16_t row) {
        return p.colorGroup == 1 ? set.teach[row].group : row;
    };

    const std::uint16_t mode = p.evaluationMode;
    if (mode >= kThdRedGreen && mode <= kThdGreenBlue) {
        static constexpr std::array<std::array<int, 2>, 3> kSignals{{{0, 1}, {0, 2}, {1, 2}}};
        const auto& which = kSignals[mode - kThdRedGreen];
        std::uint16_t pattern = 0;
        if (cal[static_cast<std::size_t>(which[0])] > set.teach[0].cell[0]) pattern |= 1;
        if (cal[static_cast<std::size_t>(which[1])] > set.teach[1].cell[0]) pattern |= 2;
        e.colorNo = pattern;
        e.groupNo = pattern;
        return e;
    }

    const std::size_t active = std::clamp<std::size_t>(p.maxVecNo, 1, params::kVectorCount);

    if (mode == kCol2) {
        std::uint16_t pattern = 0;
        double best = std::numeric_limits<double>::infinity();
        for (std::uint16_t row = 0; row < 2; ++row) {
            const RowTest t = TestRow(set.teach[row], threeD, c0, c1, c2);
            if (t.hit) {
                pattern |= static_cast<std::uint16_t>(1u << row);
                best = std::min(best, t.distance);
            }
        }
        e.colorNo = pattern;
        e.groupNo = pattern;
        if (pattern != 0) e.deltaC = DeltaCOf(best);
        return e;
    }

    int chosen = -1;
    double chosenDistance = 0.0;
    double lastDistance = 0.0;
    for (std::size_t row = 0; row < active; ++row) {
        const RowTest t = TestRow(set.teach[row], threeD, c0, c1, c2);
        lastDistance = t.distance;
        switch (mode) {
            case kFirstHit:
                if (t.hit && chosen < 0) {
                    chosen = static_cast<int>(row);
                    chosenDistance = t.distance;
                }
                break;
            case kBestHit:
                if (t.hit && (chosen < 0 || t.distance < chosenDistance)) {
                    chosen = static_cast<int>(row);
                    chosenDistance = t.distance;
                }
                break;
            default:  // MIN DIST
                if (t.inBand && (chosen < 0 || t.distance < chosenDistance)) {
                    chosen = static_cast<int>(row);
                    chosenDistance = t.distance;
                }
                break;
        }
        if (mode == kFirstHit && chosen >= 0) break;
    }
    if (chosen < 0) {
        if (mode == kFirstHit) e.deltaC = DeltaCOf(lastDistance);
        return e;
    }
    e.colorNo = static_cast<std::uint16_t>(chosen);
    e.groupNo = groupOf(static_cast<std::uint16_t>(chosen));
    e.deltaC = DeltaCOf(chosenDistance);
    return e;
}

}  // namespace sim
