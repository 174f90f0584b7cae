#pragma once
// The arithmetic behind the data panel's charts, free of Qt: the strip-chart history of the
// last 100 frames, the extents of the taught vectors, the view window that keeps both the
// taught range and the current point in sight, the tolerance ellipses and the intensity
// band of one row.

#include <array>
#include <cstdint>

#include "params_core/parameter_set.h"

namespace measure {

inline constexpr std::size_t kHistorySamples = 100;

// Oldest sample first; zero until frames arrive. Fixed size: appending allocates nothing.
struct ChartHistory {
    std::array<double, 3 * kHistorySamples> rgb{};  // red, green, blue of one frame in a row
    std::array<double, kHistorySamples> x{};
    std::array<double, kHistorySamples> y{};
    std::array<double, kHistorySamples> intensity{};

    void Append(std::uint16_t red, std::uint16_t green, std::uint16_t blue, std::uint16_t xv,
                std::uint16_t yv, std::uint16_t iv);
};

// Minimum and maximum of X, Y and INT over the counted teach vectors with their tolerances.
struct PlotExtents {
    std::int32_t xMin = 0, xMax = 0;
    std::int32_t yMin = 0, yMax = 0;
    std::int32_t iMin = 0, iMax = 0;
};

// The cells of one teach vector as the colour views read them in a calculation mode.
struct VectorGeometry {
    std::int32_t x = 0, y = 0;
    std::int32_t r = 0;  // colour tolerance: CTO or siTO in 2D, TOL in 3D
    std::int32_t i = 0;  // intensity
    std::int32_t t = 0;  // intensity tolerance: ITO or MTO in 2D, TOL in 3D
};
VectorGeometry Geometry(const params::TeachVector& vector, std::uint16_t calculationMode);

// Extents over all 31 vectors; a vector with X <= 10 and Y <= 10 is untaught and does not
// count. With no vector counted an extent is 0 ... 10000.
PlotExtents ComputeExtents(const params::ParameterSet& set, std::uint16_t calculationMode);

// One axis pair of a colour view: both axes as long as the larger span, 25 more on each
// side. Signed integer arithmetic, division truncating towards zero.
struct AxisWindow {
    std::int32_t min = 0;
    std::int32_t max = 0;
};
struct ViewWindow {
    AxisWindow horizontal;
    AxisWindow vertical;
};
ViewWindow ComputeView(std::int32_t a, std::int32_t aLo, std::int32_t aHi, std::int32_t b,
                       std::int32_t bLo, std::int32_t bHi);

// The INT tolerance band of a row: INT - tol ... INT + tol, within 0 ... 4096.
AxisWindow IntensityBand(std::int32_t intensity, std::int32_t tolerance);
// Which cells of a row hold INT and its tolerance (1-based columns) in a calculation mode.
inline int IntensityColumn(std::uint16_t calculationMode) {
    return calculationMode < 2 ? 4 : 3;
}

}  // namespace measure
