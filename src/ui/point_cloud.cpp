#include "ui/point_cloud.h"

#include <QPainter>

namespace ui {

namespace {

constexpr std::size_t kCacheFrom = 512;  // smaller clouds are drawn directly every time

}  // namespace

PointCloud::PointCloud(QCPAxis* keyAxis, QCPAxis* valueAxis, const QColor& colour, PointStyle style,
                       int size)
    : QCPAbstractPlottable(keyAxis, valueAxis),
      colour_(colour),
      style_(style),
      size_(std::clamp(size, 1, 64)) {
    setPen(QPen(colour));
    setBrush(Qt::NoBrush);
    setSelectable(QCP::stNone);
}

void PointCloud::draw(QCPPainter* painter) {
    if (!mKeyAxis || !mValueAxis || points_.empty()) return;
    const QRect area = clipRect();
    if (area.isEmpty()) return;
    const bool exporting = painter->modes().testFlag(QCPPainter::pmNoCaching) ||
                           painter->modes().testFlag(QCPPainter::pmVectorized);
    if (exporting || points_.size() < kCacheFrom) {
        DrawPoints(*painter, 0, points_.size());
        return;
    }
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const CacheKey key{mKeyAxis->range(), mValueAxis->range(), area, ratio};
    if (!cacheValid_ || !(key == cacheKey_) || cached_ > points_.size()) {
        cache_ =
            QImage((QSizeF(area.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        cache_.setDevicePixelRatio(ratio);
        cache_.fill(Qt::transparent);
        cacheKey_ = key;
        cacheValid_ = true;
        cached_ = 0;
    }
    if (cached_ < points_.size()) {
        QPainter onCache(&cache_);
        onCache.translate(-area.topLeft());
        DrawPoints(onCache, cached_, points_.size());
        cached_ = points_.size();
    }
    painter->drawImage(area.topLeft(), cache_);
}

void PointCloud::drawLegendIcon(QCPPainter* painter, const QRectF& rect) const {
    painter->fillRect(
        QRectF(rect.center() - QPointF(size_ / 2.0, size_ / 2.0), QSizeF(size_, size_)), colour_);
}

QCPRange PointCloud::Range(bool keys, bool& found) const {
    DataBounds b;
    for (const QPointF& p : points_) b.Extend(p.x(), p.y());
    found = !b.Empty();
    if (!found) return QCPRange();
    return keys ? QCPRange(b.x0, b.x1) : QCPRange(b.y0, b.y1);
}

void PointCloud::DrawPoints(QPainter& painter, std::size_t from, std::size_t to) const {
    // Points far outside the axis rect are skipped before rounding to pixels: a value
    // of 1e300 must not reach an int.
    const QRectF area = QRectF(clipRect()).adjusted(-size_, -size_, size_, size_);
    const int half = size_ / 2;
    painter.setRenderHint(QPainter::Antialiasing, style_ == PointStyle::Circle);
    painter.setPen(style_ == PointStyle::Dot ? QPen(Qt::NoPen) : QPen(colour_, 1));
    painter.setBrush(Qt::NoBrush);
    for (std::size_t i = from; i < to; ++i) {
        const double px = mKeyAxis->coordToPixel(points_[i].x());
        const double py = mValueAxis->coordToPixel(points_[i].y());
        if (!(px >= area.left() && px <= area.right() && py >= area.top() && py <= area.bottom()))
            continue;
        const int ix = qRound(px);
        const int iy = qRound(py);
        switch (style_) {
            case PointStyle::Dot:
                painter.fillRect(ix - half, iy - half, size_, size_, colour_);
                break;
            case PointStyle::Circle:
                painter.drawEllipse(QPointF(px, py), size_ / 2.0, size_ / 2.0);
                break;
            case PointStyle::Cross:
                painter.drawLine(ix - half, iy, ix + half, iy);
                painter.drawLine(ix, iy - half, ix, iy + half);
                break;
        }
    }
}

}  // namespace ui
