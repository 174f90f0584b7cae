#pragma once
// The look of the read-only fields that show values (the displays): the application's own
// style, except that a display's panel (its background and rounded, antialiased frame) is
// drawn once for each size and look and then copied. Displays change with every frame, and
// stroking that frame was the larger part of repainting one.

#include <QHash>
#include <QImage>
#include <QProxyStyle>

namespace ui {

class DisplayStyle : public QProxyStyle {
  public:
    // Over a fresh instance of the application's style (a widget's style is its own).
    DisplayStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;

  private:
    // Everything a panel's look depends on. Plain numbers: a key is made on every paint of
    // every display, and one put together as text cost more than copying the panel.
    struct Look {
        int width = 0;
        int height = 0;
        unsigned state = 0;
        qint64 palette = 0;  // QPalette::cacheKey
        int lineWidth = 0;
        int midLineWidth = 0;
        qreal ratio = 1;
        friend bool operator==(const Look&, const Look&) = default;
        friend size_t qHash(const Look& look, size_t seed = 0) {
            return qHashMulti(seed, look.width, look.height, look.state, look.palette,
                              look.lineWidth, look.midLineWidth, look.ratio);
        }
    };

    // The panels drawn so far, by look; a handful in practice (emptied past 256). Images, not
    // pixmaps in the pixmap cache: those made the sanitizer build's leak check fail at exit,
    // inside the sanitizer's own handling of thread-local data; an image copies as cheaply.
    mutable QHash<Look, QImage> panels_;
};

// The one instance, owned by the application; the displays of every panel share it.
DisplayStyle* SharedDisplayStyle();

}  // namespace ui
