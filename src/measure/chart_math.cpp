#include "measure/chart_math.h"

#include <algorithm>

namespace measure {

void ChartHistory::Append(std::uint16_t red, std::uint16_t green, std::uint16_t blue,
                          std::uint16_t xv, std::uint16_t yv, std::uint16_t iv) {
    std::copy(rgb.begin() + 3, rgb.end(), rgb.begin());
    rgb[rgb.size() - 3] = red;
    rgb[rgb.size() - 2] = green;
    rgb[rgb.size() - 1] = blue;
    for (auto* h : {&x, &y, &intensity}) std::copy(h->begin() + 1, h->end(), h->begin());
    x.back() = xv;
    y.back() = yv;
    intensity.back() = iv;
}

VectorGeometry Geometry(const params::TeachVector& v, std::uint16_t calculationMode) {
    VectorGeometry g;
    g.x = v.cell[0];
    g.y = v.cell[1];
    if (calculationMode < 2) {
        g.r = v.cell[2];
        g.i = v.cell[3];
        g.t = v.cell[4];
    } else {
        g.r = v.cell[3];
        g.i = v.cell[2];
        g.t = v.cell[3];
    }
    return g;
}

PlotExtents ComputeExtents(const params::ParameterSet& set, std::uint16_t calculationMode) {
    PlotExtents e{10000, 0, 10000, 0, 10000, 0};
    for (const params::TeachVector& vector : set.teach) {
        const VectorGeometry g = Geometry(vector, calculationMode);
        if (g.x <= 10 && g.y <= 10) continue;  // untaught or reset
        e.xMin = std::min(e.xMin, g.x - g.r);
        e.xMax = std::max(e.xMax, g.x + g.r);
        e.yMin = std::min(e.yMin, g.y - g.r);
        e.yMax = std::max(e.yMax, g.y + g.r);
        e.iMin = std::min(e.iMin, g.i - g.t);
        e.iMax = std::max(e.iMax, g.i + g.t);
    }
    for (auto [lo, hi] : {std::pair{&e.xMin, &e.xMax}, {&e.yMin, &e.yMax}, {&e.iMin, &e.iMax}})
        if (*hi < *lo) std::swap(*lo, *hi);
    return e;
}

namespace {

struct Span {
    std::int32_t span;
    std::int32_t centre;
};

Span SpanOf(std::int32_t v, std::int32_t lo, std::int32_t hi) {
    if (v > hi) return {v - lo, lo + (v - lo) / 2};
    if (v < lo) return {hi - v, v + (hi - v) / 2};
    return {hi - lo, lo + (hi - lo) / 2};
}

}  // namespace

ViewWindow ComputeView(std::int32_t a, std::int32_t aLo, std::int32_t aHi, std::int32_t b,
                       std::int32_t bLo, std::int32_t bHi) {
    const Span sa = SpanOf(a, aLo, aHi);
    const Span sb = SpanOf(b, bLo, bHi);
    const std::int32_t m = std::max(sa.span, sb.span);
    return {{sa.centre - m / 2 - 25, sa.centre + m / 2 + 25},
            {sb.centre - m / 2 - 25, sb.centre + m / 2 + 25}};
}

AxisWindow IntensityBand(std::int32_t intensity, std::int32_t tolerance) {
    return {std::max(intensity - tolerance, 0), std::min(intensity + tolerance, 4096)};
}

}  // namespace measure
