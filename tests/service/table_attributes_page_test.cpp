// The table attributes page on the whole program: editing, files, panel settings, frames.

#include "service/table_attributes_page.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>

#include "program_fixture.h"

namespace {

// A program after start-up (no sensor: the port table is empty) with nothing shown yet.
struct Started {
    explicit Started(const QString& settings = {}) : p(settings) {
        EXPECT_TRUE(p.program) << p.createError.toStdString();
        p->StartUp();
        p.popups.Clear();
    }
    service::TableAttributesPage& page() { return p.Page<service::TableAttributesPage>(); }
    session::Session& s() { return p.Session(); }
    QTableWidgetItem* Cell(int row, int column) {
        return p.Control<QTableWidget>("MAINP", "GridSpec")->item(row - 1, column - 1);
    }
    QRgb CellColor(int row) { return Cell(row, 2)->background().color().rgb() & 0xFFFFFF; }
    QString CellText(int row) { return Cell(row, 1)->text(); }
    void SetRowColor(int row, int color) {
        p.Control<QSpinBox>("MAINP", "EditRow")->setValue(row);
        p.Control<QSpinBox>("MAINP", "EditColorNumericRow")->setValue(color);
        p.Control<QPushButton>("MAINP", "ButtonSetRowColor")->click();
    }
    QString Write(const QString& name, const QByteArray& text) {
        QFile file(p.dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    }

    testing_support::TestProgram p;
};

TEST(AttrPage, StartsWithThePaletteAndSavesItAsDecimals) {
    Started t;
    EXPECT_EQ(t.s().RowColorTable(), service::defaultRowColors);
    EXPECT_EQ(t.CellColor(17), 0x80FF00u);
    EXPECT_FALSE(ui::IsVisible(t.p.Control<QFrame>("MAINP", "DispColorDetected")));

    const QString target = t.p.dir.filePath("attr.ini");
    t.p.popups.AnswerFile(target);
    t.p.Control<QPushButton>("MAINP", "ButtonSaveArray")->click();
    ASSERT_EQ(t.p.popups.History().size(), 1u);  // the dialog only
    const ui::FileDialogSpec& spec = t.p.popups.History()[0].file;
    EXPECT_EQ(QDir(spec.directory), QDir(t.p.Dir()));
    EXPECT_EQ(spec.defaultName, "TableAttributes.ini");
    EXPECT_EQ(spec.filter, "*.ini");
    EXPECT_EQ(spec.title, "TableAttributes");
    EXPECT_EQ(t.s().Paths().tableAttributesFilePath, target);
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        file.readAll().contains("[TABLE ATTR OF TEACH VECTOR 0]\r\nRow color = 16711680\r\n"
                                "Row specification = \"\"\r\n"));
}

TEST(AttrPage, SetColoursTheRowAndAutomaticModeDimsTheSelectors) {
    Started t;
    QSignalSpy changed(&t.s(), &session::Session::RowColorsChanged);
    t.SetRowColor(5, 0x123456);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(t.s().RowColorTable()[5], 0x123456);
    EXPECT_EQ(t.CellColor(6), 0x123456u);
    // The row recoloured is the one labelled with the number ROW names, as in the teach
    // and group tables.
    EXPECT_EQ(t.p.Control<QTableWidget>("MAINP", "GridSpec")->verticalHeaderItem(5)->text(), "5");
    EXPECT_EQ(t.p.Control<QTableWidget>("MAINP", "GridSpec")->verticalHeaderItem(0)->text(), "0");
    EXPECT_EQ(t.p.Control<QTableWidget>("MAINP", "GridSpec")->verticalHeaderItem(30)->text(), "30");
    // Typed without Enter still counts: the controls are the master copy.
    t.p.Control<QSpinBox>("MAINP", "EditColorNumericRow")
        ->findChild<QLineEdit*>()
        ->setText("#abcdef");
    t.p.Control<QSpinBox>("MAINP", "EditRow")->setValue(30);
    t.p.Control<QPushButton>("MAINP", "ButtonSetRowColor")->click();
    EXPECT_EQ(t.s().RowColorTable()[30], 0xABCDEF);

    // A row text takes no more characters than a file gives back.
    t.p.Control<QTableWidget>("MAINP", "GridSpec")->editItem(t.Cell(1, 1));
    auto* editor =
        t.p.Control<QTableWidget>("MAINP", "GridSpec")->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->maxLength(), 99);

    QComboBox* mode = t.p.Control<QComboBox>("MAINP", "EditSetColor");
    mode->setCurrentIndex(mode->findData(service::kColorModeAutomatic));
    emit mode->activated(mode->currentIndex());
    EXPECT_TRUE(t.page().AutomaticColors());
    EXPECT_FALSE(t.p.Control<QSpinBox>("MAINP", "EditRow")->isEnabled() ||
                 t.p.Control<QSpinBox>("MAINP", "EditColorNumericRow")->isEnabled() ||
                 t.p.Control<QPushButton>("MAINP", "ButtonSetRowColor")->isEnabled());
    EXPECT_TRUE(ui::IsVisible(t.p.Control<QFrame>("MAINP", "DispColorDetected")));
}

TEST(AttrPage, LoadWithYesToBothQuestionsAppliesAndReports) {
    Started t;
    QByteArray text =
        "[GENERAL INFO]\r\nFILE TYPE: = \"Parameter File\"\r\n"
        "SCOPE VERSION: = \"V0.9\"\r\n";
    for (int i = 0; i < 31; ++i) {
        text += QString("[TABLE ATTR OF TEACH VECTOR %1]\r\n").arg(i).toUtf8();
        if (i != 16) text += QString("Row color = %1\r\n").arg(0x010101 * i).toUtf8();
        text += QString("Row specification = \"spec %1\"\r\n").arg(i).toUtf8();
    }
    const QString path = t.Write("foreign.ini", text);
    QSignalSpy changed(&t.s(), &session::Session::RowColorsChanged);
    t.p.popups.AnswerFile(path);
    t.p.popups.AnswerConfirm(true);
    t.p.popups.AnswerConfirm(true);
    t.p.Control<QPushButton>("MAINP", "ButtonGetArray")->click();

    EXPECT_EQ(t.p.popups.Texts(),
              (QStringList{"",
                           "Selected file is not a table attributes file! \nDo you want to "
                           "proceed anyway?",
                           "Selected file and scope version do not match! \nDo you want to "
                           "proceed anyway?",
                           "Following teach vectors could not be read \nand where set to default "
                           "value:\n\nTABLE ATTR OF TEACH VECTOR 16\n"}));
    EXPECT_EQ(t.p.popups.History()[3].title, "Attention!");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(t.s().RowColorTable()[16], 0x80FF00);
    EXPECT_EQ(t.CellColor(31), 0x1E1E1Eu);
    EXPECT_EQ(t.CellText(17), "spec 16");
}

TEST(AttrPage, DeclinedCancelledOrMissingFilesChangeNothing) {
    Started t;
    t.SetRowColor(2, 0x00AA00);
    t.Cell(3, 1)->setText("mine");
    const QString foreign =
        t.Write("foreign.ini", "[TABLE ATTR OF TEACH VECTOR 2]\r\nRow color = 5\r\n");
    QSignalSpy changed(&t.s(), &session::Session::RowColorsChanged);
    t.p.popups.Clear();
    t.p.popups.AnswerFile(foreign);  // and No to "not a table attributes file"
    t.p.Control<QPushButton>("MAINP", "ButtonGetArray")->click();
    t.p.popups.AnswerFile(std::nullopt);
    t.p.Control<QPushButton>("MAINP", "ButtonGetArray")->click();
    t.p.popups.AnswerFile(t.p.dir.filePath("gone.ini"));
    t.p.Control<QPushButton>("MAINP", "ButtonGetArray")->click();
    t.p.popups.AnswerFile(t.p.Dir());  // a folder is no file either
    t.p.Control<QPushButton>("MAINP", "ButtonGetArray")->click();
    EXPECT_EQ(t.p.popups.Messages(),
              (QStringList{"No parameter where read!", "No file was selected!",
                           "No file was selected!", "No file was selected!"}));
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(t.s().RowColorTable()[2], 0x00AA00);
    EXPECT_EQ(t.CellText(3), "mine");
    EXPECT_EQ(t.s().Paths().tableAttributesFilePath, foreign);  // the last file that existed
}

TEST(AttrPage, ResetAsksThenRestoresThePaletteAndClearsTexts) {
    Started t;
    t.SetRowColor(30, 0x0000FF);
    t.Cell(31, 1)->setText("last");
    t.p.Control<QPushButton>("MAINP", "ButtonTableAttrReset")->click();  // No
    EXPECT_EQ(t.s().RowColorTable()[30], 0x0000FF);
    t.p.popups.AnswerConfirm(true);
    t.p.Control<QPushButton>("MAINP", "ButtonTableAttrReset")->click();
    EXPECT_EQ(t.p.popups.History().back().title, "ATTENTION!");
    EXPECT_EQ(t.p.popups.History().back().text, "Do you really want to reset the table?");
    EXPECT_EQ(t.s().RowColorTable()[30], 0xFF0000);
    EXPECT_EQ(t.CellColor(31), 0xFF0000u);
    EXPECT_EQ(t.CellText(31), "");
}

TEST(AttrPage, RowTextsAreTheSessionsWhateverChangesThem) {
    Started t;
    t.Cell(31, 1)->setText("last");  // typed into the table
    EXPECT_EQ(t.s().RowTexts()[30], "last");
    t.s().SetRowText(0, "first \xC3\xA4");  // given to the session: the table shows it
    EXPECT_EQ(t.CellText(1), QString::fromUtf8("first \xC3\xA4"));
    t.p.popups.AnswerConfirm(true);
    t.p.Control<QPushButton>("MAINP", "ButtonTableAttrReset")->click();
    EXPECT_EQ(t.s().RowTexts(), params::TeachRowTexts{});
}

TEST(AttrPage, AFileThatCannotBeWrittenIsReported) {
    Started t;
    const QString locked = t.Write("locked.ini", "keep me");
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ReadOther);
    for (const QString& target : {locked, t.p.dir.filePath("no/such/folder/attr.ini")}) {
        t.p.popups.Clear();
        t.p.popups.AnswerFile(target);
        t.p.Control<QPushButton>("MAINP", "ButtonSaveArray")->click();
        EXPECT_EQ(t.p.popups.Messages(),
                  QStringList{"The table attributes file could not be written:\n" +
                              QDir::toNativeSeparators(target)});
    }
    QFile file(locked);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "keep me");
}

TEST(AttrPage, RowAttributesSurviveARestartInThePanelSettings) {
    QString saved;
    const QString special = "Lid \"A\" \\ 3\tmm\nsecond line";
    const QString longest(99, QChar(0x00E4));
    {
        Started t;
        t.SetRowColor(3, 0xABCDEF);
        t.Cell(1, 1)->setText(special);
        t.Cell(30, 1)->setText(longest);
        t.p->MainPanel()->close();
        saved = t.p.ReadSettingsFile();
    }
    const int comm = saved.indexOf("[COMMUNICATION SETTINGS]");
    ASSERT_GE(comm, 0);
    EXPECT_LT(comm, saved.indexOf("[TABLE ATTR OF TEACH VECTOR 0]"));
    // A colour that cannot be read is defaulted at start-up without a word.
    saved.replace("[TABLE ATTR OF TEACH VECTOR 16]\r\nRow color = 8453888",
                  "[TABLE ATTR OF TEACH VECTOR 16]\r\nRow color = banana");

    Started q(saved);
    EXPECT_TRUE(q.p.popups.History().empty());
    EXPECT_EQ(q.s().RowColorTable()[3], 0xABCDEF);
    EXPECT_EQ(q.s().RowColorTable()[16], 0x80FF00);
    EXPECT_EQ(q.CellColor(4), 0xABCDEFu);
    EXPECT_EQ(q.CellText(1), special);
    EXPECT_EQ(q.CellText(30), longest);
}

TEST(AttrPage, RowLabelsFollowTheModesOnlyWhileColoursAreEvaluated) {
    Started t;
    auto label = [&](int row) {
        return t.p.Control<QTableWidget>("MAINP", "GridSpec")
                   ->verticalHeaderItem(row - 1)
                   ->background()
                   .color()
                   .rgb() &
               0xFFFFFF;
    };
    session::ModeView view;
    view.digitalOutMode = 1;
    view.maxVecNo = 3;
    t.s().SetModes(view);
    EXPECT_EQ(label(3), 0x008000u);
    EXPECT_EQ(label(4), 0xFF0000u);
    view.digitalOutMode = 0;  // evaluation off: the labels keep their last state
    view.maxVecNo = 31;
    t.s().SetModes(view);
    EXPECT_EQ(label(31), 0xFF0000u);
}

TEST(AttrPage, TemperatureAndDetectedColourFollowEachFrame) {
    Started t;
    auto swatch = [&] {
        return t.p.Control<QFrame>("MAINP", "DispColorDetected")
                   ->palette()
                   .color(QPalette::Window)
                   .rgb() &
               0xFFFFFF;
    };
    // The page must be in front: hidden displays are not written per frame.
    t.p.Control<QTabWidget>("MAINP", "TabMain1")
        ->setCurrentWidget(ui::PageWidget(t.p.Control<QTabWidget>("MAINP", "TabMain1"),
                                          session::kPageTableAttributes));
    session::MeasuredValues m = t.s().Measured();
    m.temperature = 41;
    m.red = 4095;
    m.green = 2048;
    m.blue = 15;
    t.s().SetMeasured(m);
    t.s().TakeFrame();
    EXPECT_TRUE(testing_support::WaitFor(
        [&] { return t.p.Control<QLineEdit>("MAINP", "DispTemp")->text() == "41"; }));
    EXPECT_EQ(swatch(), 0xFF8000u);  // this frame's colour, not the one before

    ui::SetValue(t.p.Control<QLineEdit>("MAINP", "DispTemp"), "marker");
    t.s().TakeFrame();  // unchanged: not written again
    t.page().RefreshFrameDisplays();
    EXPECT_EQ(t.p.Control<QLineEdit>("MAINP", "DispTemp")->text(), "marker");
    t.s().SetMeasured({});
    t.s().TakeFrame();
    t.page().RefreshFrameDisplays();
    EXPECT_EQ(t.p.Control<QLineEdit>("MAINP", "DispTemp")->text(), "0");
    EXPECT_EQ(swatch(), 0u);
}

}  // namespace

TEST(AttrPage, HelpOfItsOwnControlsIsTitledInfo) {
    Started t;
    QContextMenuEvent right(QContextMenuEvent::Mouse, QPoint(2, 2), QPoint(2, 2));
    QCoreApplication::sendEvent(t.p.Control<QPushButton>("MAINP", "ButtonTableAttrReset"), &right);
    QCoreApplication::sendEvent(t.p.Control<QLineEdit>("MAINP", "DispTemp"), &right);
    ASSERT_EQ(t.p.popups.History().size(), 2u);
    EXPECT_EQ(t.p.popups.History()[0].title, "Info");
    EXPECT_EQ(t.p.popups.History()[0].text, "Set default row colors.");
    EXPECT_EQ(t.p.popups.History()[1].title, "INFO!");
}

// At the default window size the colour field shows a whole colour: "#" and six hex digits,
// whichever digits they are ("#1234" of "#123456" was all it showed).
TEST(AttrPage, TheColourFieldShowsEverySixDigitColourInFull) {
    Started t;
    ui::SetActiveTabPage(t.p.Control<QTabWidget>("MAINP", "TabMain1"),
                         session::kPageTableAttributes);
    ASSERT_EQ(t.p->MainPanel()->size(), QSize(790, 548));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QSpinBox* color = t.p.Control<QSpinBox>("MAINP", "EditColorNumericRow");
    ASSERT_TRUE(color->isVisible());
    QLineEdit* field = color->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    // The line edit keeps two pixels on either side of its text.
    const int room = field->contentsRect().width() - 4;
    for (const QChar digit : QStringLiteral("123456789abcdef")) {
        color->setValue(QString(6, digit).toInt(nullptr, 16));
        EXPECT_LE(field->fontMetrics().horizontalAdvance(color->text()), room)
            << color->text().toStdString();
    }
}
