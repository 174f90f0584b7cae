#pragma once
// The printed record of a scope capture: one page with the date, the time and "page 1 of 1"
// in its header, "Scope Screen Shot", the program title, the sensor's identification text
// and the user's comment (each only when there is one), and a picture of the whole scope
// panel. Printed on the printer the system's print dialog gives, or into a PDF file where
// no printer is installed.

#include <QImage>
#include <QString>
#include <QStringList>

class QPrinter;
class QWidget;

namespace ui {
class Popups;
}

namespace scope {

// The report's text lines in order, "" for an empty line.
QStringList ReportLines(const QString& identification, const QString& comment);

// The page onto `printer`; false when the printer cannot be painted on.
bool PaintReport(QPrinter& printer, const QStringList& lines, const QImage& panel);

// The whole print: the panel's picture through a temporary file, the dialog, the page, and
// the result said ("Print successful!" or "Print error ", title "Info!"). A cancelled
// dialog says nothing; a picture that cannot be made says "Could not initialize the print
// report..." (title "ERROR") and nothing else happens.
void PrintReport(ui::Popups& popups, QWidget* panel, const QString& identification,
                 const QString& comment);

}  // namespace scope
