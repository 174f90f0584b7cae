// The run-time layer: which user actions reach a callback and as what, help pop-ups,
// panel events, shortcut keys, the keys for double-clicks and the scripted pop-ups the other tests rely on.

#include "ui/runtime.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFrame>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/popups.h"

namespace {

struct Recorder {
    std::vector<ui::Event> events;
    ui::Callback Callback() {
        return [this](ui::Event e) { events.push_back(e); };
    }
};

}  // namespace

TEST(Runtime, UserActionsFireCallbacksProgramWritesDoNot) {
    ui::ScriptedPopups popups;
    ui::Runtime rt(popups);
    QWidget panel;
    auto* button = new QPushButton("GO", &panel);
    auto* toggle = new QPushButton("RAM", &panel);
    toggle->setCheckable(true);
    auto* spin = new QSpinBox(&panel);
    auto* combo = new QComboBox(&panel);
    combo->addItem("STAT", 0);
    combo->addItem("DYN", 1);
    auto* table = new QTableWidget(3, 2, &panel);
    Recorder b, t, s, c, tab;
    rt.Bind(button, "CBF_ButtonGo", b.Callback());
    rt.Bind(toggle, "CBF_SelectMem", t.Callback());
    rt.Bind(spin, "CBF_EditAverage", s.Callback());
    rt.Bind(combo, "CBF_EditPmode", c.Callback());
    rt.Bind(table, "CBF_GridCtt", tab.Callback());

    ui::SetValue(spin, 7);
    ui::SetComboValue(combo, 1);
    ui::SetValue(toggle, true);
    ui::SetCell(table, 2, 1, 99);
    EXPECT_TRUE(s.events.empty());
    EXPECT_TRUE(c.events.empty());
    EXPECT_TRUE(t.events.empty());
    EXPECT_TRUE(tab.events.empty());
    EXPECT_EQ(ui::ComboValue(combo), 1);
    EXPECT_EQ(ui::CellValue(table, 2, 1), 99);
    EXPECT_EQ(ui::CellValue(table, 3, 2), 0);  // an empty cell reads 0

    button->click();
    toggle->click();
    spin->setValue(9);  // what an arrow click does
    emit combo->activated(0);
    table->item(1, 0)->setData(Qt::EditRole, 5);  // what the cell editor does
    using E = ui::Event;
    EXPECT_EQ(b.events, std::vector<E>{E::Commit});
    EXPECT_EQ(t.events, (std::vector<E>{E::ValueChanged, E::Commit}));
    EXPECT_EQ(s.events, (std::vector<E>{E::ValueChanged, E::Commit}));
    EXPECT_EQ(c.events, (std::vector<E>{E::ValueChanged, E::Commit}));
    EXPECT_EQ(tab.events, (std::vector<E>{E::ValueChanged, E::Commit}));
    EXPECT_EQ(rt.CallbackName(spin), "CBF_EditAverage");
}

// A control kind whose user changes never reach its callback leaves the program's state
// behind what the control shows (the recorder's interval kept its old record time).
TEST(Runtime, EveryControlKindOfThePanelSetCommitsWhatTheUserChanged) {
    ui::ScriptedPopups popups;
    ui::Runtime rt(popups);
    QWidget panel;
    auto* layout = new QVBoxLayout(&panel);
    auto* real = new QDoubleSpinBox;
    auto* check = new QCheckBox("AUTO");
    auto* slider = new QSlider(Qt::Horizontal);
    auto* edit = new QLineEdit;
    auto* history = new QComboBox;
    history->setEditable(true);
    auto* note = new QPlainTextEdit;
    auto* tabs = new QTabWidget;
    tabs->addTab(new QWidget, "A");
    tabs->addTab(new QWidget, "B");
    auto* table = new QTableWidget(2, 2);
    auto* other = new QLineEdit;
    for (QWidget* w : std::initializer_list<QWidget*>{real, check, slider, edit, history, note,
                                                      tabs, table, other})
        layout->addWidget(w);
    Recorder r, c, s, e, h, n, tb, t;
    rt.Bind(real, "CBF_EditInterval", r.Callback());
    rt.Bind(check, "CBF_Check", c.Callback());
    rt.Bind(slider, "CBF_Slider", s.Callback());
    rt.Bind(edit, "CBF_Edit", e.Callback());
    rt.Bind(history, "CBF_StringIpAdress", h.Callback());
    rt.Bind(note, "CBF_EditScopeComment", n.Callback());
    rt.Bind(tabs, "CBF_Tabs", tb.Callback());
    rt.Bind(table, "CBF_GridCtt", t.Callback());
    panel.show();
    QApplication::setActiveWindow(&panel);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    const auto committed = [](const Recorder& rec) {
        return std::count(rec.events.begin(), rec.events.end(), ui::Event::Commit);
    };

    // Typed, then Enter: one commit with the new value, none per keystroke.
    real->setFocus();
    real->selectAll();
    QTest::keyClicks(real, "30");
    EXPECT_EQ(committed(r), 0);
    QTest::keyClick(real, Qt::Key_Return);
    EXPECT_EQ(committed(r), 1);
    EXPECT_DOUBLE_EQ(real->value(), 30.0);
    QTest::keyClick(real, Qt::Key_Up);  // an arrow step commits at once
    EXPECT_EQ(committed(r), 2);

    check->click();
    EXPECT_EQ(committed(c), 1);
    slider->setValue(5);
    EXPECT_EQ(committed(s), 1);
    edit->setFocus();
    QTest::keyClicks(edit, "7");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(committed(e), 1);
    history->setFocus();
    QTest::keyClicks(history, "127.0.0.1");
    QTest::keyClick(history, Qt::Key_Return);
    EXPECT_GE(committed(h), 1);
    // A text box commits when the user leaves it changed, not on every character.
    note->setFocus();
    QTest::keyClicks(note, "part 17");
    EXPECT_EQ(committed(n), 0);
    other->setFocus();
    EXPECT_EQ(committed(n), 1);
    note->setFocus();
    other->setFocus();  // left unchanged: nothing new
    EXPECT_EQ(committed(n), 1);
    tabs->setCurrentIndex(1);
    EXPECT_EQ(committed(tb), 1);
    table->setItem(0, 0, new QTableWidgetItem);
    t.events.clear();
    table->item(0, 0)->setData(Qt::EditRole, 5);  // what the cell editor does
    EXPECT_EQ(t.events, (std::vector<ui::Event>{ui::Event::ValueChanged, ui::Event::Commit}));

    // What the program writes is no user's change.
    const std::size_t before = r.events.size();
    ui::SetValue(real, 0.5);
    EXPECT_EQ(r.events.size(), before);
    EXPECT_DOUBLE_EQ(real->value(), 0.5);
}

TEST(Runtime, RightClickShowsHelpAndPanelsReportCloseAndDoubleClicks) {
    ui::ScriptedPopups popups;
    ui::Runtime rt(popups);
    QWidget panel;
    auto* edit = new QLineEdit(&panel);
    auto* plain = new QLineEdit(&panel);
    Recorder e, p;
    rt.Bind(edit, "CBF_EditGain", e.Callback(), "Select a amplification stage.");
    rt.Bind(plain, "CBF_Plain", {});
    rt.BindPanel(&panel, "CBF_MAINP", p.Callback());
    panel.show();

    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(1, 1), QPoint(1, 1));
    QApplication::sendEvent(edit, &menu);
    QApplication::sendEvent(plain, &menu);  // no help text: no pop-up
    ASSERT_EQ(popups.History().size(), 1u);
    EXPECT_EQ(popups.History()[0].title, "INFO!");
    EXPECT_EQ(popups.History()[0].text, "Select a amplification stage.");
    EXPECT_EQ(e.events, std::vector<ui::Event>{ui::Event::RightClick});
    // Shift+F10 on the focused control is the same right-click.
    QTest::keyClick(edit, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_EQ(popups.History().size(), 2u);
    EXPECT_EQ(popups.History()[1].text, "Select a amplification stage.");
    EXPECT_EQ(e.events.size(), 2u);

    panel.close();
    EXPECT_TRUE(panel.isVisible());  // the callback decides what a close request does
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::RightButton,
                    Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &dbl);
    ASSERT_GE(p.events.size(), 2u);
    EXPECT_NE(std::find(p.events.begin(), p.events.end(), ui::Event::Close), p.events.end());
    EXPECT_EQ(p.events.back(), ui::Event::RightDoubleClick);
}

TEST(Runtime, ShortcutKeysPressOnlyUsableButtons) {
    ui::ScriptedPopups popups;
    ui::Runtime rt(popups);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* stop = new QPushButton("STOP");
    auto* go = new QPushButton("GO");
    layout->addWidget(stop);
    layout->addWidget(go);
    int stops = 0, gos = 0;
    QObject::connect(stop, &QPushButton::clicked, [&] { ++stops; });
    QObject::connect(go, &QPushButton::clicked, [&] { ++gos; });
    rt.AddShortcut(&window, Qt::Key_F12, stop);
    rt.AddShortcut(&window, Qt::Key_F11, go);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ui::SetDimmed(go, true);
    QTest::keyClick(&window, Qt::Key_F12);
    QTest::keyClick(&window, Qt::Key_F11);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(gos, 0);
}

// Without a mouse: Ctrl+Return and Ctrl+Shift+Return are the double-clicks of the control
// with the focus, of the panel where the control does not take them, and of a decoration
// while its page is shown.
TEST(Runtime, DoubleClickKeysReachControlPanelAndDecoration) {
    ui::ScriptedPopups popups;
    ui::Runtime rt(popups);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit;
    auto* plain = new QLineEdit;
    auto* page = new QWidget;
    auto* onPage = new QLineEdit(page);
    auto* decoration = new QFrame(page);
    for (QWidget* w : {static_cast<QWidget*>(edit), static_cast<QWidget*>(plain), page})
        layout->addWidget(w);
    Recorder e, p, d, o;
    rt.Bind(edit, "CBF_DispCOL", e.Callback());
    rt.Bind(plain, "CBF_Plain", {});
    rt.Bind(onPage, "CBF_OnPage", o.Callback());
    rt.Bind(decoration, "CBF_DecoCalibrate1", d.Callback());
    rt.BindPanel(&window, "CBF_MAINP", p.Callback());
    rt.AddRightDoubleClickKeys(decoration);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    using E = ui::Event;
    p.events.clear();  // the panel's resize on show
    page->hide();  // the decoration's page in the back

    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Enter, Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier);
    EXPECT_EQ(e.events, (std::vector<E>{E::LeftDoubleClick, E::RightDoubleClick}));  // no Commit
    EXPECT_TRUE(p.events.empty());

    plain->setFocus();  // no callback: the keys go on to the panel
    QTest::keyClick(plain, Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(p.events, std::vector<E>{E::RightDoubleClick});
    EXPECT_TRUE(d.events.empty());

    page->show();  // while the decoration is shown its gesture wins, wherever the focus is
    onPage->setFocus();
    QTest::keyClick(onPage, Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(d.events, (std::vector<E>{E::RightDoubleClick, E::RightDoubleClick}));
    EXPECT_TRUE(o.events.empty());
    EXPECT_EQ(e.events.size(), 2u);
}

TEST(Runtime, TableMenuReportsTheChosenItem) {
    ui::ScriptedPopups popups;
    ui::Runtime rt(popups);
    QTableWidget table(2, 2);
    rt.Bind(&table, "CBF_GridCtt", {});
    int chosen = -1;
    QMenu* menu =
        rt.AttachTableMenu(&table, {"Help", "", "Reset selection"}, [&](int i) { chosen = i; });
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_TRUE(menu->actions()[1]->isSeparator());
    menu->actions()[2]->trigger();
    EXPECT_EQ(chosen, 2);
}

TEST(Runtime, MaskedFieldAndRangedCells) {
    QLineEdit field;
    ui::MakePasswordField(&field, 20);
    EXPECT_EQ(field.echoMode(), QLineEdit::Password);
    field.setText(QString(30, 'x'));
    EXPECT_EQ(field.text().size(), 20);
    QComboBox combo;
    ui::MakeHistoryCombo(&combo);
    EXPECT_TRUE(combo.isEditable());
    EXPECT_EQ(combo.insertPolicy(), QComboBox::NoInsert);
}

TEST(Runtime, ADisplayShowsTheStartOfATextLongerThanItself) {
    QWidget panel;
    auto* display = new QLineEdit(&panel);
    display->setReadOnly(true);
    display->setFixedWidth(60);
    panel.show();
    const QString firmware = "VELORAX3-KVT-ANA HOLDOUT SENSOR FW 2.14 2024-03-11";
    ui::SetValue(display, firmware);
    EXPECT_EQ(display->text(), firmware);
    EXPECT_EQ(display->cursorPosition(), 0);
    // A path, though, shows its end: the file name, not the folders above it.
    const QString path = "/home/line/velorax/records/shift-2/RecordFile.dat";
    ui::SetPath(display, path);
    EXPECT_EQ(display->toolTip(), path);
    display->grab();  // the field scrolls to its cursor when painted
    const QRect end = display->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    EXPECT_TRUE(display->rect().contains(end.center())) << end.x();
    EXPECT_EQ(display->cursorPosition(), path.size());
}

// The large colour and group windows beside a main window of the default size (frames of
// 790 x 548 and 260 x 200 and a title bar of 30).
TEST(StackBeside, ToTheRightElseToTheLeftElseAtTheEdgeNeverOnEachOther) {
    const std::vector<QSize> big = {QSize(260, 230), QSize(260, 230)};
    const auto expectApart = [&](const std::vector<QPoint>& at, const QRect& main,
                                 const QRect& screen, bool besideMain) {
        ASSERT_EQ(at.size(), 2u);
        const QRect first(at[0], big[0]);
        const QRect second(at[1], big[1]);
        EXPECT_FALSE(first.intersects(second));
        EXPECT_TRUE(screen.contains(first) && screen.contains(second));
        if (besideMain) {
            EXPECT_FALSE(first.intersects(main) || second.intersects(main));
        }
    };
    const QRect screen(0, 0, 1280, 800);
    const QRect main(100, 50, 790, 578);
    const auto right = ui::StackBeside(main, big, screen, 8);
    EXPECT_EQ(right[0], QPoint(898, 50));
    EXPECT_EQ(right[1], QPoint(898, 288));
    expectApart(right, main, screen, true);

    const QRect nearEdge(450, 50, 790, 578);
    const auto left = ui::StackBeside(nearEdge, big, screen, 8);
    EXPECT_EQ(left[0], QPoint(182, 50));
    expectApart(left, nearEdge, screen, true);

    // A screen too narrow: the right edge. Too low: moved up.
    const QRect small(0, 0, 800, 600);
    const auto edge = ui::StackBeside(QRect(0, 200, 790, 578), big, small, 8);
    EXPECT_EQ(edge[0], QPoint(540, 132));
    expectApart(edge, main, small, false);
}

TEST(ScriptedPopups, AnswersInOrderAndRefusesWhatIsNotThere) {
    ui::ScriptedPopups popups;
    EXPECT_FALSE(popups.Confirm("ATTENTION!", "Proceed?"));  // unscripted: No
    popups.AnswerConfirm(true);
    EXPECT_TRUE(popups.Confirm("ATTENTION!", "Proceed?"));
    QTemporaryDir dir;
    ui::FileDialogSpec load{dir.path(), "Parameter.ini", "*.ini", "Parameter", false};
    popups.AnswerFile(dir.filePath("missing.ini"));
    EXPECT_FALSE(popups.FileSelect(load).has_value());  // loading needs an existing file
    ui::FileDialogSpec save = load;
    save.save = true;
    popups.AnswerFile(dir.filePath("new.ini"));
    EXPECT_EQ(popups.FileSelect(save), dir.filePath("new.ini"));
    popups.AnswerPrompt(QString("abcdef"));
    EXPECT_EQ(popups.Prompt("t", "p", 3), QString("abc"));
    EXPECT_EQ(popups.History().size(), 5u);
    EXPECT_EQ(popups.History()[2].file.defaultName, "Parameter.ini");
}

// Without a window manager nothing is active once a pop-up has closed; the next pop-up then
// stood in the middle of the screen, and the password panel at its corner.
TEST(QtPopups, EveryPopUpOpensOverTheMainWindowAndStaysOnTheScreen) {
    ui::QtPopups popups;
    ui::Runtime rt(popups);
    QWidget main, prompt;
    main.setGeometry(420, 300, 360, 240);
    prompt.setWindowModality(Qt::ApplicationModal);
    rt.BindPanel(&main, "CBF_MAINP", {});
    rt.BindPanel(&prompt, "CBF_PASSWORDP", {}, true);
    main.show();
    std::vector<QRect> shown;
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, [&] {
            shown.push_back(QApplication::activeModalWidget()->frameGeometry());
            QApplication::activeModalWidget()->close();
        });
        popups.Message("ATTENTION!", "CONFIRM CALCULATION!");
    }
    prompt.show();
    shown.push_back(prompt.frameGeometry());
    for (const QRect& r : shown) {
        EXPECT_TRUE(main.frameGeometry().contains(r.center())) << r.x() << "," << r.y();
        EXPECT_TRUE(main.screen()->availableGeometry().contains(r)) << r.x() << "," << r.y();
    }
}
