// Controls from tables, the busy scope, the child area, accessibility, and the file dialog
// of the real pop-ups.

#include "ui/controls.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QFileDialog>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/busy.h"
#include "ui/child_area.h"
#include "ui/popups.h"
#include "wait_for.h"

namespace {

struct TestPage {
    QPushButton* go = nullptr;
    QSpinBox* average = nullptr;
    QPushButton* ram = nullptr;
    QPushButton* file = nullptr;
    QStringList calls;
    void CBF_Go(ui::Event e) {
        if (e == ui::Event::Commit) calls << "go";
    }
    void CBF_SelectMem(ui::Event e) {
        if (e == ui::Event::ValueChanged) calls << "mem";
    }
};

using ui::Field;
const ui::ControlRow<TestPage> kRows[] = {
    {"P", "Go", Field<&TestPage::go>(), "CBF_Go", &TestPage::CBF_Go, "Starts it."},
    {"P", "Average", Field<&TestPage::average>(), "CBF_EditAverage", nullptr, nullptr},
    {"P", "Ram", Field<&TestPage::ram>(), "CBF_SelectMem", &TestPage::CBF_SelectMem},
    {"P", "File", Field<&TestPage::file>(), "CBF_SelectMem", &TestPage::CBF_SelectMem, nullptr,
     "File target"},
};

}  // namespace

TEST(Controls, RowsAreLookedUpBoundAndNamedForAssistiveTools) {
    QWidget panel;
    panel.setObjectName("P");
    auto* form = new QFormLayout(&panel);
    auto* go = new QPushButton("&GO", &panel);
    go->setObjectName("Go");
    auto* average = new QSpinBox(&panel);
    average->setObjectName("Average");
    form->addRow("AVERAGE", average);
    form->addRow(go);
    auto* ram = new QPushButton("RAM", &panel);
    ram->setObjectName("Ram");
    ram->setCheckable(true);
    auto* file = new QPushButton(&panel);
    file->setObjectName("File");
    file->setCheckable(true);
    form->addRow(ram);
    form->addRow(file);

    ui::ScriptedPopups popups;
    ui::Runtime rt(popups);
    ui::Lookup look(ui::Lookup::ForWidget(&panel));
    TestPage page;
    ui::AttachControls<TestPage>(look, rt, page, kRows, [](std::string_view cb) -> const char* {
        return cb == "CBF_EditAverage" ? "Average of n." : nullptr;
    });
    ASSERT_TRUE(look.Ok()) << look.Missing().join(", ").toStdString();
    EXPECT_EQ(page.go, go);
    EXPECT_EQ(page.average, average);
    EXPECT_EQ(rt.HelpText(average), "Average of n.");
    EXPECT_EQ(ui::AnnouncedName(go), "GO");
    EXPECT_EQ(go->accessibleDescription(), "Starts it.");
    EXPECT_EQ(ui::AnnouncedName(average), "AVERAGE");  // the label beside it
    // ... which the accessibility bus gets as a "labelled by" relation.
    QAccessibleInterface* averageAccess = QAccessible::queryAccessibleInterface(average);
    const auto labels = averageAccess->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0].first->text(QAccessible::Name), "AVERAGE");
    EXPECT_EQ(ui::AnnouncedName(file), "File target");
    // The names follow the texts the program gives the button and the label later; the
    // row's own name stays.
    go->setText("GO ON");
    form->labelForField(average)->setProperty("text", "MEAN OF");
    file->setText("F");
    EXPECT_EQ(ui::AnnouncedName(go), "GO ON");
    EXPECT_EQ(ui::AnnouncedName(average), "MEAN OF");
    EXPECT_EQ(ui::AnnouncedName(file), "File target");

    // The accessibility interface's actions run the same callbacks as a click.
    QAccessibleInterface* goAccess = QAccessible::queryAccessibleInterface(go);
    ASSERT_NE(goAccess, nullptr);
    goAccess->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QAccessibleInterface* fileAccess = QAccessible::queryAccessibleInterface(file);
    fileAccess->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(file->isChecked());
    // A press is an animated click that ends after a moment.
    EXPECT_TRUE(testing_support::WaitFor([&] { return page.calls.size() == 2; }));
    EXPECT_TRUE(page.calls.contains("go"));
    EXPECT_TRUE(page.calls.contains("mem"));
}

TEST(Controls, AControlOfTheWrongKindRefusesThePanelSet) {
    QWidget panel;
    panel.setObjectName("P");
    auto* go = new QLineEdit(&panel);  // a field where a button belongs
    go->setObjectName("Go");
    ui::ScriptedPopups popups;
    ui::Runtime rt(popups);
    ui::Lookup look(ui::Lookup::ForWidget(&panel));
    TestPage page;
    ui::AttachControls<TestPage>(look, rt, page, kRows);
    EXPECT_FALSE(look.Ok());
    EXPECT_EQ(page.go, nullptr);
    EXPECT_TRUE(look.Missing().join(" ").contains("P/Go"));
    EXPECT_TRUE(look.Missing().join(" ").contains("P/Average"));
}

TEST(Busy, ScopeUndimsOnEveryWayOutAndKeepsWhatItShould) {
    QWidget panel;
    auto* send = new QPushButton(&panel);
    auto* scan = new QPushButton(&panel);
    auto* hwInfo = new QPushButton(&panel);
    ui::Busy busy;
    busy.Register(send, ui::BusyRole::Transfer);
    busy.Register(scan, ui::BusyRole::Transaction);
    busy.Register(hwInfo, ui::BusyRole::DimOnly);
    {
        ui::BusyScope scope(busy, true);  // GO
        EXPECT_TRUE(send->isEnabled());
        EXPECT_FALSE(scan->isEnabled());
        EXPECT_FALSE(hwInfo->isEnabled());
    }
    EXPECT_TRUE(scan->isEnabled());
    EXPECT_FALSE(hwInfo->isEnabled());  // freed by its page only
    auto throwing = [&] {
        ui::BusyScope scope(busy);
        EXPECT_FALSE(send->isEnabled());
        throw std::runtime_error("link gone");
    };
    EXPECT_THROW(throwing(), std::runtime_error);
    EXPECT_TRUE(send->isEnabled());
    EXPECT_TRUE(scan->isEnabled());
    {
        ui::BusyScope scope(busy);
        delete scan;  // a control destroyed while busy is skipped
    }
    EXPECT_TRUE(send->isEnabled());
}

TEST(ChildArea, ShowsOneAndFallsBackToTheDefault) {
    QWidget area;
    new QVBoxLayout(&area);
    QWidget* data = new QWidget;
    QWidget* scope = new QWidget;
    ui::ChildArea child;
    child.Place(&area, {data, scope}, data);
    child.Show(scope);
    EXPECT_EQ(child.Shown(), scope);
    EXPECT_TRUE(data->isHidden());
    child.Show(nullptr);
    EXPECT_EQ(child.Shown(), data);
    QWidget stranger;
    child.Show(&stranger);
    EXPECT_EQ(child.Shown(), data);
    EXPECT_TRUE(stranger.isHidden());
}

TEST(QtPopups, TheSaveDialogLeavesTheOverwriteQuestionToTheCallerWhenAsked) {
    QTemporaryDir dir;
    for (bool ask : {true, false}) {
        bool sawDialog = false;
        bool confirms = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            sawDialog = true;
            confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            dialog->reject();
        });
        ui::QtPopups popups;
        ui::FileDialogSpec spec;
        spec.directory = dir.path();
        spec.defaultName = "RecordFile.dat";
        spec.save = true;
        spec.askOverwrite = ask;
        EXPECT_EQ(popups.FileSelect(spec), std::nullopt);
        EXPECT_TRUE(sawDialog);
        EXPECT_EQ(confirms, ask);
    }
}

// The value prompt takes no more characters than its answer may have, so that nothing the
// user typed is cut off without being seen.
TEST(QtPopups, ThePromptFieldRefusesCharactersBeyondItsLength) {
    QString title;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        title = dialog->windowTitle();
        auto* field = dialog->findChild<QLineEdit*>();
        if (!field) return;
        QTest::keyClicks(field, "1234567890123");
        EXPECT_EQ(field->text(), "123456789");
        dialog->accept();
    });
    ui::QtPopups popups;
    EXPECT_EQ(popups.Prompt("VALUE!", "Insert a cell value!", 9), QString("123456789"));
    EXPECT_EQ(title, "VALUE!");
}
