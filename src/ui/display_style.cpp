#include "ui/display_style.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOptionFrame>

namespace ui {

DisplayStyle::DisplayStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

void DisplayStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    // Only the panel, and only where a copy lands on the same pixels: no scaling or rotation.
    if (element != PE_PanelLineEdit || !frame || option->rect.isEmpty() || !painter->device() ||
        painter->transform().type() > QTransform::TxTranslate) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const qreal ratio = painter->device()->devicePixelRatioF();
    // Everything the panel's look depends on: size, state, colours, frame width, pixel ratio.
    const QString key = QStringLiteral("velorax-display-%1x%2-%3-%4-%5-%6-%7")
                            .arg(option->rect.width())
                            .arg(option->rect.height())
                            .arg(static_cast<uint>(option->state))
                            .arg(option->palette.cacheKey())
                            .arg(frame->lineWidth)
                            .arg(frame->midLineWidth)
                            .arg(ratio);
    QPixmap panel;
    if (!QPixmapCache::find(key, &panel)) {
        panel = QPixmap(option->rect.size() * ratio);
        panel.setDevicePixelRatio(ratio);
        panel.fill(Qt::transparent);
        QStyleOptionFrame atOrigin(*frame);
        atOrigin.rect = QRect(QPoint(0, 0), option->rect.size());
        QPainter onPanel(&panel);
        QProxyStyle::drawPrimitive(element, &atOrigin, &onPanel, widget);
        onPanel.end();
        QPixmapCache::insert(key, panel);
    }
    painter->drawPixmap(option->rect.topLeft(), panel);
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
