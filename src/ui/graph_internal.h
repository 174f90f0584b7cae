#pragma once
// What several of the graph's source files share; included only by them, never by pages.

#include <cmath>

#include "ui/graph.h"
#include "ui/point_cloud.h"

namespace ui {

inline bool Finite(double a, double b) {
    return std::isfinite(a) && std::isfinite(b);
}

// The points of a line or a cloud in the order they were added; nothing for a shape. Both
// the nearest-point search and the cursor keys walk the points this way.
template <typename F>
void Graph::ForEachPoint(const Plot& plot, F&& visit) const {
    if (plot.kind == Kind::Cloud) {
        for (const QPointF& p : static_cast<const PointCloud*>(plot.plottable)->Points())
            visit(p.x(), p.y());
    } else if (plot.kind == Kind::Line) {
        const auto data = static_cast<const QCPCurve*>(plot.plottable)->data();
        for (auto it = data->constBegin(); it != data->constEnd(); ++it) visit(it->key, it->value);
    }
}

}  // namespace ui
