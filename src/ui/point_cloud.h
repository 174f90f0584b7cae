#pragma once
// The graph's own plottable for scatter clouds and single points; used only by the graph's
// files, never by pages.

#include <qcustomplot.h>

#include <QImage>
#include <QPointF>
#include <algorithm>
#include <cstddef>
#include <vector>

#include "ui/graph.h"

namespace ui {

// A cloud of points that grows at its end. Points are kept in arrival order in one
// vector (an append never copies the others). On screen the points already drawn live in
// an image of the axis rect; a repaint blits it and draws only the points added since, so
// the cost of a repaint does not grow with the cloud. A change of axis range, size or
// pixel ratio starts the image afresh. Exports (printing) draw every point directly.
class PointCloud : public QCPAbstractPlottable {
  public:
    PointCloud(QCPAxis* keyAxis, QCPAxis* valueAxis, const QColor& colour, PointStyle style,
               int size);

    void Append(double x, double y) { points_.emplace_back(x, y); }
    void Reserve(std::size_t count) { points_.reserve(count); }
    void SetOnly(double x, double y) {
        points_.assign(1, QPointF(x, y));
        cacheValid_ = false;
    }
    const std::vector<QPointF>& Points() const { return points_; }

    double selectTest(const QPointF&, bool, QVariant*) const override { return -1.0; }
    QCPRange getKeyRange(bool& foundRange, QCP::SignDomain) const override {
        return Range(true, foundRange);
    }
    QCPRange getValueRange(bool& foundRange, QCP::SignDomain, const QCPRange&) const override {
        return Range(false, foundRange);
    }

  protected:
    void draw(QCPPainter* painter) override;
    void drawLegendIcon(QCPPainter* painter, const QRectF& rect) const override;

  private:
    struct CacheKey {
        QCPRange x;
        QCPRange y;
        QRect area;
        qreal ratio;
        bool operator==(const CacheKey&) const = default;
    };

    QCPRange Range(bool keys, bool& found) const;
    void DrawPoints(QPainter& painter, std::size_t from, std::size_t to) const;

    std::vector<QPointF> points_;
    QColor colour_;
    PointStyle style_;
    int size_;
    QImage cache_;
    CacheKey cacheKey_{};
    bool cacheValid_ = false;
    std::size_t cached_ = 0;
};

}  // namespace ui
