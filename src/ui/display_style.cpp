#include "ui/display_style.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOptionFrame>

namespace ui {

DisplayStyle::DisplayStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

void DisplayStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    // Only the panel, only on the screen (a printout keeps its lines sharp), and only where a
    // copy lands on the same pixels: no scaling or rotation.
    const QPaintDevice* device = painter->device();
    const bool onScreen = device && (device->devType() == QInternal::Widget ||
                                     device->devType() == QInternal::Pixmap ||
                                     device->devType() == QInternal::Image);
    if (element != PE_PanelLineEdit || !frame || option->rect.isEmpty() || !onScreen ||
        painter->transform().type() > QTransform::TxTranslate) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const qreal ratio = device->devicePixelRatioF();
    const Look look{option->rect.width(),
                    option->rect.height(),
                    static_cast<unsigned>(option->state),
                    option->palette.cacheKey(),
                    frame->lineWidth,
                    frame->midLineWidth,
                    ratio};
    auto found = panels_.constFind(look);
    if (found == panels_.constEnd()) {
        QImage panel(option->rect.size() * ratio, QImage::Format_ARGB32_Premultiplied);
        panel.setDevicePixelRatio(ratio);
        panel.fill(Qt::transparent);
        QStyleOptionFrame atOrigin(*frame);
        atOrigin.rect = QRect(QPoint(0, 0), option->rect.size());
        QPainter onPanel(&panel);
        QProxyStyle::drawPrimitive(element, &atOrigin, &onPanel, widget);
        onPanel.end();
        if (panels_.size() > 256) panels_.clear();
        found = panels_.insert(look, panel);
    }
    const QImage& panel = *found;
    painter->drawImage(option->rect.topLeft(), panel);
}

DisplayStyle* SharedDisplayStyle() {
    static QPointer<DisplayStyle> shared;
    if (!shared) {
        shared = new DisplayStyle;
        shared->setParent(qApp);
    }
    return shared;
}

}  // namespace ui
