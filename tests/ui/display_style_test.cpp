// The displays' style copies a panel it drew once: what it paints must be what the
// application's style paints, pixel for pixel, in every size, state and colour a display has.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>

#include "ui/display_style.h"

namespace {

QImage Shown(QLineEdit& field) {
    return field.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void Prepare(QLineEdit& field, QSize size, bool enabled, const QColor& base) {
    field.setReadOnly(true);
    field.setAutoFillBackground(true);
    field.setText(QStringLiteral("1234.5"));
    field.setEnabled(enabled);
    if (base.isValid()) {
        QPalette palette = field.palette();
        palette.setColor(QPalette::Base, base);
        field.setPalette(palette);
    }
    field.resize(size);
}

TEST(DisplayStyle, PaintsWhatTheApplicationsStylePaints) {
    for (const QSize size : {QSize(120, 24), QSize(37, 19), QSize(300, 40)}) {
        for (const bool enabled : {true, false}) {
            for (const QColor& base : {QColor(), QColor(0xC0, 0xFF, 0xC0)}) {
                SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " "
                                                << enabled << " " << base.name().toStdString());
                QLineEdit plain;
                Prepare(plain, size, enabled, base);
                QLineEdit display;
                display.setStyle(ui::SharedDisplayStyle());
                Prepare(display, size, enabled, base);
                const QImage expected = Shown(plain);
                EXPECT_EQ(Shown(display), expected);  // drawn, then kept
                display.setText(QStringLiteral("99"));
                plain.setText(QStringLiteral("99"));
                EXPECT_EQ(Shown(display), Shown(plain));  // copied
            }
        }
    }
}

TEST(DisplayStyle, IsSharedAndOwnedByTheApplication) {
    ui::DisplayStyle* style = ui::SharedDisplayStyle();
    EXPECT_EQ(ui::SharedDisplayStyle(), style);
    EXPECT_EQ(style->parent(), qApp);
}

}  // namespace
