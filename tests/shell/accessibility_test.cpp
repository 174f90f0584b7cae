// What a screen reader says about the controls: every control of every panel that a user
// operates or reads carries a name of its own, and the help text it is bound with as its
// description. And what a user without a mouse can do: every gesture has its keys.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QXmlStreamReader>
#include <vector>

#include "program_fixture.h"
#include "ui/controls.h"
#include "ui/graph.h"
#include "session/app_state.h"
#include "ui/panel_set.h"
#include "ui/runtime.h"

using testing_support::TestProgram;

namespace {

// The object names of the widgets that the panel set declares. Widgets Qt makes inside a
// control (the line edit of a spin box or combo box, a tab bar and its scroll buttons, the
// bars, viewport and headers of a table) are not among them: they belong to the control
// around them, which is what a screen reader announces.
QSet<QString> DeclaredNames() {
    QSet<QString> names;
    QFile file(QStringLiteral(VELORAX_UIR_PATH));
    if (!file.open(QIODevice::ReadOnly)) return names;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == QLatin1String("widget"))
            names.insert(xml.attributes().value("name").toString());
    }
    return names;
}

// What a user operates or reads, as opposed to labels (names themselves), frames and
// layout containers.
bool IsControl(const QWidget* widget) {
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) ||
           qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const QTextEdit*>(widget) ||
           qobject_cast<const QAbstractItemView*>(widget) ||
           qobject_cast<const QTabWidget*>(widget) ||
           (qobject_cast<const QAbstractSlider*>(widget) &&
            !qobject_cast<const QScrollBar*>(widget)) ||
           qobject_cast<const QProgressBar*>(widget);
}

struct Control {
    QString panel;
    QString where;  // panel/objectName; a chart goes by the place it fills
    QWidget* widget;
};

// Every control of every panel, each under the panel it belongs to, also where a child
// panel shows inside the main panel.
std::vector<Control> ControlsOf(shell::Program& program) {
    const QSet<QString> declared = DeclaredNames();
    std::vector<Control> controls;
    for (const char* panelName : ui::kPanelNames) {
        QWidget* panel = program.Panel(panelName);
        if (!panel) continue;
        const auto ownPanel = [&](const QWidget* widget) {
            for (const QWidget* w = widget->parentWidget(); w; w = w->parentWidget()) {
                for (const char* other : ui::kPanelNames)
                    if (w == program.Panel(other)) return w == panel;
            }
            return false;
        };
        for (QWidget* widget : panel->findChildren<QWidget*>()) {
            if (!ownPanel(widget)) continue;
            QString where;
            if (qobject_cast<ui::Graph*>(widget))
                where = widget->parentWidget()->objectName() + " (chart)";
            else if (declared.contains(widget->objectName()) && IsControl(widget))
                where = widget->objectName();
            else
                continue;
            controls.push_back({QString::fromLatin1(panelName),
                                QString::fromLatin1(panelName) + "/" + where, widget});
        }
    }
    return controls;
}

class Accessibility : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(program.program) << program.createError.toStdString();
        program->StartUp();
        controls = ControlsOf(*program);
    }

    TestProgram program{testing_support::NoSensorSettingsText()};
    std::vector<Control> controls;
};

TEST_F(Accessibility, EveryControlOfEveryPanelHasANameOfItsOwn) {
    // The walk reaches the panels and their charts; an empty walk would pass anything.
    int charts = 0;
    QSet<QString> panels;
    for (const Control& c : controls) {
        if (qobject_cast<ui::Graph*>(c.widget)) ++charts;
        panels.insert(c.panel);
    }
    EXPECT_EQ(charts, 16);
    for (const char* panel :
         {"MAINP", "DATAP", "GRAPHP", "TEACHP1", "TEACHP2", "SCOPEP", "PASSWORDP"})
        EXPECT_TRUE(panels.contains(QLatin1String(panel))) << panel << " has no control";

    // A name equal to the object name is what AttachControl falls back to: nobody named it.
    QStringList unnamed;
    for (const Control& c : controls) {
        const QString name = ui::AnnouncedName(c.widget).trimmed();
        if (name.isEmpty() || name == c.widget->objectName()) unnamed << c.where;
    }
    EXPECT_TRUE(unnamed.isEmpty())
        << unnamed.size() << " controls without a name:\n  " << unnamed.join("\n  ").toStdString();
}

TEST_F(Accessibility, ControlsOnOnePanelAreToldApartByName) {
    // Two fields both called "RED" on one panel leave a screen-reader user guessing which
    // one has the focus.
    QMap<QString, QStringList> byName;
    for (const Control& c : controls) {
        const QString name = ui::AnnouncedName(c.widget).trimmed();
        if (!name.isEmpty()) byName[c.panel + ": " + name] << c.where;
    }
    QStringList twice;
    for (auto it = byName.cbegin(); it != byName.cend(); ++it)
        if (it.value().size() > 1) twice << it.key() + " (" + it.value().join(", ") + ")";
    EXPECT_TRUE(twice.isEmpty()) << "names used more than once:\n  "
                                 << twice.join("\n  ").toStdString();
}

TEST_F(Accessibility, HelpTextIsTheAccessibleDescription) {
    // The help a right-click shows is what a screen reader reads as the description.
    QStringList wrong;
    int described = 0;
    for (const Control& c : controls) {
        const QString help = program->Runtime().HelpText(c.widget).simplified();
        if (help.isEmpty()) continue;
        ++described;
        if (c.widget->accessibleDescription() != help)
            wrong << c.where + ": \"" + c.widget->accessibleDescription() + "\"";
    }
    EXPECT_GT(described, 50);
    EXPECT_TRUE(wrong.isEmpty()) << "help text missing from the description:\n  "
                                 << wrong.join("\n  ").toStdString();
}

TEST_F(Accessibility, LabelsAreReadByTheirOwnText) {
    // A label named by its object name would be read as "LabelX" however the program
    // relabels it. (A display made of a label may carry a name of its own.)
    QStringList misread;
    for (const char* panelName : ui::kPanelNames) {
        QWidget* panel = program->Panel(panelName);
        if (!panel) continue;
        for (QLabel* label : panel->findChildren<QLabel*>()) {
            const QString name = label->accessibleName();
            if (!name.isEmpty() && name == label->objectName())
                misread << QString::fromLatin1(panelName) + "/" + label->objectName() + " reads \"" +
                               name + "\"";
        }
    }
    EXPECT_TRUE(misread.isEmpty()) << misread.join("\n  ").toStdString();
}

TEST_F(Accessibility, TabLeavesEveryTextFieldAndTable) {
    // A text field that takes Tab as a character keeps a keyboard user in it for good; a
    // table that takes it goes through every cell first.
    int fields = 0;
    int tables = 0;
    for (const Control& c : controls) {
        if (auto* view = qobject_cast<QAbstractItemView*>(c.widget)) {
            ++tables;
            EXPECT_FALSE(view->tabKeyNavigation()) << c.where.toStdString();
        }
        if (auto* text = qobject_cast<QPlainTextEdit*>(c.widget)) {
            ++fields;
            EXPECT_TRUE(text->tabChangesFocus()) << c.where.toStdString();
        }
        if (auto* text = qobject_cast<QTextEdit*>(c.widget)) {
            ++fields;
            EXPECT_TRUE(text->tabChangesFocus()) << c.where.toStdString();
        }
    }
    EXPECT_GE(fields, 2);  // the messages and the scope comment
    EXPECT_GE(tables, 4);
}

// The gestures of the panels without a mouse: the double-click on the colour number opens
// its large window and Escape closes it; on the calibration page Ctrl+Shift+Return asks
// for the service password, which Escape dismisses.
TEST_F(Accessibility, GesturesHaveKeys) {
    QWidget* main = program->MainPanel();
    QApplication::setActiveWindow(main);
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));

    auto* colour = program.Control<QLineEdit>("DATAP", "DispCOL");
    QWidget* big = program->Panel("COLBIGP");
    ASSERT_TRUE(colour && big);
    EXPECT_TRUE(colour->focusPolicy() & Qt::TabFocus);
    QTest::keyClick(colour, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(big->isVisible());
    QTest::keyClick(big, Qt::Key_Escape);
    EXPECT_FALSE(big->isVisible());

    QTabWidget* tabs = program.Control<QTabWidget>("MAINP", "TabMain1");
    ui::SetActiveTabPage(tabs, session::kPageCalibration);
    QWidget* onPage = nullptr;
    for (QWidget* w : ui::PageWidget(tabs, session::kPageCalibration)->findChildren<QWidget*>())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisible()) onPage = w;
    ASSERT_NE(onPage, nullptr);
    onPage->setFocus();
    QTest::keyClick(onPage, Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
    QWidget* passwordPanel = program->Panel("PASSWORDP");
    ASSERT_TRUE(passwordPanel->isVisible());
    QTest::keyClick(program.Control<QLineEdit>("PASSWORDP", "StringEnterPW"), Qt::Key_Escape);
    EXPECT_FALSE(passwordPanel->isVisible());
    EXPECT_FALSE(ui::TabPageVisible(tabs, session::kPageOffset));

    // The function keys their help texts name press SEND and GET.
    int sends = 0, gets = 0;
    QObject::connect(program.Control<QAbstractButton>("MAINP", "ButtonSend"),
                     &QAbstractButton::clicked, [&] { ++sends; });
    QObject::connect(program.Control<QAbstractButton>("MAINP", "ButtonGet"),
                     &QAbstractButton::clicked, [&] { ++gets; });
    for (Qt::Key key : {Qt::Key_F9, Qt::Key_F10}) {
        QApplication::setActiveWindow(main);  // a transfer's pop-up may have taken it
        QTest::keyClick(main, key);
    }
    EXPECT_EQ(sends, 1);
    EXPECT_EQ(gets, 1);
}

}  // namespace
