// The words a user reads on the panels, checked against one golden list: every button's
// and check box's text, every label, group and window title, every tab title and every
// choice of a selector, as the program shows them after start-up. A text changed by
// accident (a typo, a lost word, a label swapped between two controls) fails here; a text
// changed on purpose is changed in tests/shell/golden/panel_texts.txt too:
//   VELORAX_UPDATE_GOLDEN=1 bin/shell_test --gtest_filter='Texts.*'  writes it anew.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>
#include <QTableWidget>

#include "program_fixture.h"
#include "ui/panel_set.h"

using testing_support::TestProgram;

namespace {

QString Escaped(QString text) {
    return text.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

// One line per text: "PANEL/object kind: text", in a fixed order.
QStringList PanelTexts(TestProgram& p) {
    QStringList lines;
    for (const char* name : ui::kPanelNames) {
        QWidget* panel = p->Panel(name);
        if (!panel) continue;
        const QString at = QString::fromLatin1(name) + QLatin1Char('/');
        if (!panel->windowTitle().isEmpty())
            lines << at + QStringLiteral(": title: ") + Escaped(panel->windowTitle());
        for (QWidget* w : panel->findChildren<QWidget*>()) {
            const QString id = at + w->objectName();
            // Displays show values, not words of the panel.
            if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")) ||
                w->objectName().startsWith(QLatin1String("Disp")))
                continue;
            if (auto* b = qobject_cast<QAbstractButton*>(w)) {
                if (!b->text().isEmpty()) lines << id + QStringLiteral(" button: ") + Escaped(b->text());
            } else if (auto* l = qobject_cast<QLabel*>(w)) {
                if (!l->text().isEmpty()) lines << id + QStringLiteral(" label: ") + Escaped(l->text());
            } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
                lines << id + QStringLiteral(" group: ") + Escaped(g->title());
            } else if (auto* t = qobject_cast<QTabWidget*>(w)) {
                for (int i = 0; i < t->count(); ++i)
                    lines << id + QStringLiteral(" tab %1: ").arg(i) + Escaped(t->tabText(i));
            } else if (auto* c = qobject_cast<QComboBox*>(w)) {
                for (int i = 0; i < c->count(); ++i)
                    lines << id + QStringLiteral(" choice %1: ").arg(i) + Escaped(c->itemText(i));
            } else if (auto* table = qobject_cast<QTableWidget*>(w)) {
                for (int i = 0; i < table->columnCount(); ++i)
                    if (auto* h = table->horizontalHeaderItem(i))
                        lines << id + QStringLiteral(" column %1: ").arg(i) + Escaped(h->text());
            }
        }
    }
    lines.sort();
    return lines;
}

}  // namespace

TEST(Texts, EveryPanelShowsTheGoldenWords) {
    TestProgram p(testing_support::NoSensorSettingsText());
    ASSERT_TRUE(p.program);
    p->StartUp();
    const QByteArray shown = PanelTexts(p).join(QLatin1Char('\n')).toUtf8() + '\n';
    const QString golden = QStringLiteral(VELORAX_GOLDEN_DIR "/panel_texts.txt");
    if (qEnvironmentVariableIsSet("VELORAX_UPDATE_GOLDEN")) {
        QFile out(golden);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(shown);
        GTEST_SKIP() << "written " << golden.toStdString();
    }
    QFile in(golden);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly)) << golden.toStdString();
    const QList<QByteArray> want = in.readAll().split('\n');
    const QList<QByteArray> got = shown.split('\n');
    // The first difference, readable, rather than two walls of text.
    for (qsizetype i = 0; i < std::max(want.size(), got.size()); ++i) {
        const QByteArray w = i < want.size() ? want[i] : QByteArray("<nothing>");
        const QByteArray g = i < got.size() ? got[i] : QByteArray("<nothing>");
        ASSERT_EQ(g.toStdString(), w.toStdString()) << "line " << i + 1 << " of " << golden.toStdString();
    }
}
