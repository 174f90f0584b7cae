#include "scope/scope_print.h"

#include <QDateTime>
#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QTemporaryFile>
#include <QTextOption>
#include <QWidget>

#include "params_core/program_title.h"
#include "ui/popups.h"

namespace scope {

namespace {

constexpr const char* kReportTitle = "Scope Screen Shot";
constexpr const char* kCannotBuild = "Could not initialize the print report...";
constexpr const char* kErrorTitle = "ERROR";
constexpr const char* kResultTitle = "Info!";
constexpr const char* kPrinted = "Print successful!";
constexpr const char* kPrintError = "Print error ";
constexpr const char* kFontFamily = "Arial";
constexpr int kTitlePoints = 20;
constexpr int kTextPoints = 10;
constexpr int kHeaderPoints = 8;

QFont ReportFont(int points) {
    QFont font(QString::fromLatin1(kFontFamily), points);
    font.setStyleHint(QFont::SansSerif);  // Arial where there is one, a sans serif otherwise
    return font;
}

}  // namespace

QStringList ReportLines(const QString& identification, const QString& comment) {
    QStringList lines = {QString::fromLatin1(kReportTitle),
                         QString::fromLatin1(velorax::kProgramTitle)};
    if (!identification.isEmpty()) lines << QStringLiteral("PANEL ID: ") + identification;
    lines << QString();
    if (!comment.isEmpty()) lines << QStringLiteral("COMMENT:") << comment << QString();
    return lines;
}

bool PaintReport(QPrinter& printer, const QStringList& lines, const QImage& panel) {
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const QRectF area(0, 0, page.width(), page.height());
    const QDateTime now = QDateTime::currentDateTime();

    // Header: date left, time in the middle, page n of m right.
    painter.setFont(ReportFont(kHeaderPoints));
    const QFontMetricsF small(painter.font(), &printer);
    QRectF header(area.left(), area.top(), area.width(), small.height());
    painter.drawText(header, Qt::AlignLeft, QLocale().toString(now.date(), QLocale::ShortFormat));
    painter.drawText(header, Qt::AlignHCenter, QLocale().toString(now.time(), QLocale::ShortFormat));
    painter.drawText(header, Qt::AlignRight, QStringLiteral("page 1 of 1"));
    double y = header.bottom() + small.height();

    // The lines: the title large, the rest at text size; a comment keeps its line breaks.
    // Lines wrap between words, and a word wider than the page wraps inside itself: every
    // character the user wrote is printed.
    QTextOption wrap(Qt::AlignLeft);
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (int i = 0; i < lines.size(); ++i) {
        painter.setFont(ReportFont(i == 0 ? kTitlePoints : kTextPoints));
        const QFontMetricsF metrics(painter.font(), &printer);
        const QRectF room(area.left(), y, area.width(), area.bottom() - y);
        const QString text = lines[i].isEmpty() ? QStringLiteral(" ") : lines[i];
        const QRectF used = painter.boundingRect(room, text, wrap);
        painter.drawText(room, text, wrap);
        y += std::max(used.height(), metrics.height());
    }

    // The panel's picture, as wide as the page allows and no taller than what is left.
    if (!panel.isNull() && y < area.bottom()) {
        const QSizeF fit = QSizeF(panel.size()).scaled(area.width(), area.bottom() - y,
                                                       Qt::KeepAspectRatio);
        painter.drawImage(QRectF(QPointF(area.left(), y), fit), panel);
    }
    return painter.end();
}

void PrintReport(ui::Popups& popups, QWidget* panel, const QString& identification,
                 const QString& comment) {
    // The panel's picture goes through a temporary file, as the report takes images.
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/velorax-scope-XXXXXX.png"));
    const QPixmap picture = panel ? panel->grab() : QPixmap();
    QImage image;
    if (picture.isNull() || !file.open() || !picture.save(&file, "PNG") || !file.flush() ||
        !image.load(file.fileName(), "PNG")) {
        popups.Message(QString::fromLatin1(kErrorTitle), QString::fromLatin1(kCannotBuild));
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QString::fromLatin1(kReportTitle));
    const QString pdfName = QStringLiteral("scope-%1.pdf").arg(
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss")));
    if (!popups.PrintSetup(printer, pdfName)) return;  // cancelled: silent
    const bool printed = PaintReport(printer, ReportLines(identification, comment), image);
    popups.Message(QString::fromLatin1(kResultTitle),
                   QString::fromLatin1(printed ? kPrinted : kPrintError));
}

}  // namespace scope
