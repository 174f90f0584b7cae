// SEND and GET between the parameter controls, the simulated sensor and parameter files.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <optional>

#include "connection/connection_page.h"
#include "params/parameter_panel.h"
#include "params_core/parameter_set.h"
#include "program_fixture.h"
#include "sim/model/faults.h"
#include "sim/model/sensor_model.h"
#include "sim/server/sim_server.h"

using testing_support::TestProgram;

namespace {

// A full set that the mode rules leave as it is, with most words different from their
// defaults, within what the panel and the sensor accept; the spare words carry values no
// control could hold. (TRIGGER PARA keeps ANALOG OUT at CONT and EXTERN TEACH at OFF.)
params::ParameterSet DistinctSet(std::uint16_t seed) {
    params::ParameterSet s;
    auto& b = s.block;
    b.power = static_cast<std::uint16_t>(700 + seed);
    b.powerMode = 1;
    b.average = static_cast<std::uint16_t>(8 + seed);
    b.evaluationMode = 2;
    b.holdFail = static_cast<std::uint16_t>(25 + seed);
    b.intLim = static_cast<std::uint16_t>(111 + seed);
    b.maxVecNo = 3;
    b.digitalOutMode = 2;
    b.trigger = 6;
    b.externTeach = 0;
    b.calculationMode = 2;
    b.dynWinLo = static_cast<std::uint16_t>(3000 + seed);
    b.dynWinHi = static_cast<std::uint16_t>(3500 + seed);
    b.colorGroup = 1;
    b.ledMode = 3;
    b.gain = 7;
    b.integral = static_cast<std::uint16_t>(42 + seed);
    b.analogOutMode = 2;
    b.analogOut = 0;
    b.analogZoom = static_cast<std::uint16_t>(9 + seed);
    for (std::size_t v = 0; v < params::kVectorCount; ++v) {
        auto& t = s.teach[v];
        for (std::size_t c = 0; c < 5; ++c)
            t.cell[c] = static_cast<std::uint16_t>(1000 * c + 10 * v + seed + 2);
        t.group = static_cast<std::uint16_t>(v % 3);
        t.hold = static_cast<std::uint16_t>(20 + v + seed);
        t.spare = static_cast<std::uint16_t>(0xA000 + v + seed);
    }
    return s;
}

std::vector<std::uint16_t> Words(const params::ParameterSet& s) {
    std::vector<std::uint16_t> w;
    for (auto x : s.BlockWords()) w.push_back(x);
    for (auto x : s.TeachWords()) w.push_back(x);
    return w;
}

struct Connected : testing_support::SensorProgram {
    Connected() { EXPECT_TRUE(testing_support::ConnectedWithoutFailure(S())); }
    TestProgram& p() { return program; }
    params::ParameterPanel& panel() { return Page<params::ParameterPanel>(); }
    void AddFault(const char* spec) { Fault(spec); }
    QString Messages() { return program.Connection().Messages(); }
};

void Select(QPushButton* button) {
    button->click();
}

}  // namespace

TEST(Transfer, GetThenSendReturnsAllWordsBitExact) {
    Connected c;
    const params::ParameterSet original = DistinctSet(0);
    c.sensor.Model().Ram()[0] = original;
    c.Control<QPushButton>("MAINP", "ButtonGet")->click();
    EXPECT_EQ(Words(c.p().Session().Parameters()), Words(original));
    EXPECT_EQ(c.Control<QSlider>("MAINP", "SlidePower")->value(), original.block.power);
    EXPECT_EQ(ui::CellValue(c.Control<QTableWidget>("MAINP", "EditGridHold"), 1, 1),
              original.block.holdFail);
    EXPECT_EQ(ui::CellValue(c.Control<QTableWidget>("MAINP", "EditGridHold"), 32, 1),
              original.teach[30].hold);

    c.sensor.Model().Ram()[0] = sim::DefaultParameterSet();
    c.Control<QPushButton>("MAINP", "ButtonSend")->click();
    EXPECT_EQ(Words(c.sensor.Model().Ram()[0]), Words(original));  // spare words included
    EXPECT_FALSE(c.Messages().contains("PLAUSIBILITY"));
}

TEST(Transfer, SendToEepromGoesOnAfterAPlausibilityReport) {
    Connected c;
    const params::ParameterSet wanted = DistinctSet(1);
    c.sensor.Model().Ram()[0] = wanted;
    c.Control<QPushButton>("MAINP", "ButtonGet")->click();
    c.AddFault("plausibility:2@1#1");
    Select(c.Control<QPushButton>("MAINP", "SelectEeprom"));
    EXPECT_EQ(c.p().Session().Transfer().target, session::TransferTarget::Eeprom);
    EXPECT_FALSE(c.Control<QPushButton>("MAINP", "SelectRam")->isChecked());
    c.Control<QPushButton>("MAINP", "ButtonSend")->click();
    EXPECT_TRUE(c.Messages().contains(
        "INFO!\n2 PARAMETER IN RAM DID NOT PASS PLAUSIBILITY CHECK AND WERE SET TO DEFAULT "
        "VALUE!\n\n"));
    EXPECT_EQ(ui::ActiveTabPage(c.Control<QTabWidget>("MAINP", "TabMain1")),
              session::kPageConnection);
    // The teach table and the store command still went out.
    EXPECT_EQ(Words(c.sensor.Model().EepromImage().sets[0]), Words(wanted));
}

TEST(Transfer, GetFromEepromLoadsItIntoRamFirst) {
    Connected c;
    sim::Eeprom image;
    image.sets[0] = DistinctSet(2);
    c.sensor.Model().PowerUp(image);
    c.sensor.Model().Ram()[0] = DistinctSet(5);
    Select(c.Control<QPushButton>("MAINP", "SelectEeprom"));
    c.AddFault("plausibility:3@4");
    c.Control<QPushButton>("MAINP", "ButtonGet")->click();
    EXPECT_EQ(Words(c.p().Session().Parameters()),
              Words(image.sets[0]));  // the report did not stop it
    EXPECT_TRUE(c.Messages().contains(
        "INFO!\n3 PARAMETER FROM EEPROM DID NOT PASS PLAUSIBILITY CHECK AND WERE SET TO DEFAULT "
        "VALUE!\n\n"));
}

TEST(Transfer, ParameterSetOneAddressesItsOwnBlocks) {
    Connected c;
    c.sensor.Model().Ram()[0] = DistinctSet(3);
    c.sensor.Model().Ram()[1] = DistinctSet(4);
    Select(c.Control<QPushButton>(
        "MAINP", "SelectParaSet1"));  // dimmed: the set read at connection has TRIGGER CONT
    EXPECT_EQ(c.p().Session().Transfer().set, 0);
    c.Control<QPushButton>("MAINP", "ButtonGet")->click();  // TRIGGER PARA
    Select(c.Control<QPushButton>("MAINP", "SelectParaSet1"));
    EXPECT_EQ(c.p().Session().Transfer().set, 1);
    c.Control<QPushButton>("MAINP", "ButtonGet")->click();
    EXPECT_EQ(Words(c.p().Session().Parameters()), Words(DistinctSet(4)));
    ui::SetValue(c.Control<QSpinBox>("MAINP", "NumPower"), 123);
    c.Control<QSlider>("MAINP", "SlidePower")->setValue(123);
    c.Control<QPushButton>("MAINP", "ButtonSend")->click();
    EXPECT_EQ(c.sensor.Model().Ram()[1].block.power, 123);
    EXPECT_EQ(Words(c.sensor.Model().Ram()[0]), Words(DistinctSet(3)));  // set 0 untouched
}

TEST(Transfer, ValuesOutsideTheControlsRangesGoBackUnchanged) {
    // A sensor or a file may hold what no control offers: nothing of it may change on the
    // way through the panel, all 16 bits of every word, except what the mode rules correct.
    Connected c;
    params::ParameterSet odd = DistinctSet(3);
    auto& b = odd.block;
    b.power = 4000;
    b.average = 0;
    b.maxVecNo = 0;
    b.intLim = 5000;
    b.dynWinLo = 65535;
    b.dynWinHi = 4096;
    b.analogZoom = 200;
    b.colorGroup = 2;
    b.holdFail = 65000;
    b.gain = 65535;
    odd.teach[4].group = 77;
    odd.teach[5].hold = 60000;
    c.sensor.Model().Ram()[0] = odd;
    c.Control<QPushButton>("MAINP", "ButtonGet")->click();
    // SEND reads the controls first: what it would send is what came. COLOR GROUP 2 shows
    // as on, and BINARY outputs signal groups 0 to 2 only.
    params::ParameterSet expected = odd;
    expected.teach[4].group = 0;
    EXPECT_EQ(Words(c.p().Session().Parameters()), Words(expected));
    ASSERT_EQ(c.program.popups.Messages().size(), 1);
    EXPECT_TRUE(c.program.popups.Messages()[0].contains("3 groups are possible"));
    // What the user changes is the user's.
    c.Control<QCheckBox>("MAINP", "EditColorGroups")->click();
    EXPECT_EQ(c.p().Session().Parameters().block.colorGroup, 0);
}

TEST(Transfer, AnErrorReplyToASendIsNotReadAsAPlausibilityCount) {
    Connected c;
    c.AddFault("error:2@1#1");
    c.Control<QPushButton>("MAINP", "ButtonSend")->click();
    const QString messages = c.Messages();
    EXPECT_FALSE(messages.contains("PLAUSIBILITY")) << messages.toStdString();
    EXPECT_FALSE(messages.contains("INFO!\n2")) << messages.toStdString();
}

TEST(Transfer, TheMemorySelectorWorksThroughTheAccessibilityInterface) {
    Connected c;
    // Screen readers toggle a checkable button without a click.
    QAccessibleInterface* file =
        QAccessible::queryAccessibleInterface(c.Control<QPushButton>("MAINP", "SelectFile"));
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::toggleAction()));
    file->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(c.Control<QPushButton>("MAINP", "SelectFile")->isChecked());
    EXPECT_FALSE(c.Control<QPushButton>("MAINP", "SelectRam")->isChecked());
    EXPECT_EQ(c.p().Session().Transfer().target, session::TransferTarget::File);
    EXPECT_EQ(file->text(QAccessible::Name), "FILE");
    EXPECT_FALSE(c.Control<QPushButton>("MAINP", "SelectFile")->accessibleDescription().isEmpty());
}

TEST(Transfer, DuringALoopTheButtonsOnlyRaiseRequests) {
    Connected c;
    std::optional<session::LoopScope> loop(std::in_place, c.p().Session());
    c.Control<QPushButton>("MAINP", "ButtonSend")->click();
    c.Control<QPushButton>("MAINP", "ButtonSend")->click();
    c.Control<QPushButton>("MAINP", "ButtonGet")->click();
    EXPECT_TRUE(c.p().Session().App().sendRequest);
    EXPECT_TRUE(c.p().Session().App().getRequest);
    loop.reset();
    c.p().Session().SendParameters();
    EXPECT_FALSE(c.p().Session().App().sendRequest);
}

TEST(Transfer, FailedOrShortRepliesLeaveTheControlsAlone) {
    Connected c;
    const int before = c.Control<QSlider>("MAINP", "SlidePower")->value();
    c.sensor.Model().Ram()[0] = DistinctSet(6);
    c.AddFault("badcrc-payload@2#2");  // the teach table read fails
    c.Control<QPushButton>("MAINP", "ButtonGet")->click();
    EXPECT_EQ(c.Control<QSlider>("MAINP", "SlidePower")->value(), before);
    EXPECT_TRUE(c.Messages().contains("ATTENTION! \nRECEIVED DATA FRAME IS INCORRECT!"));

    c.sensor.Model().Faults().Clear();
    c.AddFault("length:10@2#1");  // a parameter block of five words
    c.Control<QPushButton>("MAINP", "ButtonGet")->click();
    EXPECT_EQ(c.Control<QSlider>("MAINP", "SlidePower")->value(), before);
}

// The velorax-sim program keeps its EEPROM in a file across runs, as a sensor keeps it
// across power cycles.
TEST(Transfer, SendToEepromSurvivesARestartOfTheSensor) {
    QTemporaryDir dir;
    const QString eeprom = dir.filePath("sensor.eeprom");
    const QString port = QString::number(testing_support::FreeTcpPort());
    auto startSensor = [&](QProcess& process) {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(VELORAX_SIM_EXE),
                      {"--tcp", "127.0.0.1:" + port, "--eeprom", eeprom});
        EXPECT_TRUE(testing_support::WaitFor(
            [&] { return process.readAll().contains("listening"); }, 10000));
    };
    auto stopSensor = [](QProcess& process) {
        process.terminate();
        EXPECT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), 0);
    };

    TestProgram p(testing_support::TcpSettingsText("127.0.0.1", port.toInt()));
    {
        QProcess sensor;
        startSensor(sensor);
        p->StartUp();
        ASSERT_TRUE(testing_support::ConnectedWithoutFailure(p.Session()))
            << p.Connection().Messages().toStdString();
        Select(p.Control<QPushButton>("MAINP", "SelectEeprom"));
        p.Control<QSlider>("MAINP", "SlidePower")->setValue(321);
        p.Control<QPushButton>("MAINP", "ButtonSend")->click();
        stopSensor(sensor);
    }
    QProcess sensor;
    startSensor(sensor);
    Select(p.Control<QPushButton>("MAINP", "SelectRam"));
    p.Control<QSlider>("MAINP", "SlidePower")->setValue(500);
    p.Control<QPushButton>("MAINP", "ButtonTryToConnect")
        ->click();  // identification reads the RAM, loaded from EEPROM
    EXPECT_EQ(p.Control<QSlider>("MAINP", "SlidePower")->value(), 321);
    stopSensor(sensor);
}

TEST(ParameterFile, SaveAndLoadThroughTheDialogs) {
    Connected c;
    c.sensor.Model().Ram()[0] = DistinctSet(7);
    c.Control<QPushButton>("MAINP", "ButtonGet")->click();
    const QString path = c.program.dir.filePath("set.ini");
    Select(c.Control<QPushButton>("MAINP", "SelectFile"));
    c.program.popups.AnswerFile(path);
    c.Control<QPushButton>("MAINP", "ButtonSend")->click();
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(c.p().Session().Paths().parameterFilePath, path);

    // Load it back over the defaults.
    c.p().Session().SetParameters(sim::DefaultParameterSet());
    c.program.popups.AnswerFile(path);
    c.Control<QPushButton>("MAINP", "ButtonGet")->click();
    auto expected = DistinctSet(7);
    for (auto& t : expected.teach) t.spare = 0;
    auto got = c.p().Session().Parameters();
    for (auto& t : got.teach) t.spare = 0;
    EXPECT_EQ(Words(got), Words(expected));
    EXPECT_TRUE(c.program.popups.Messages().isEmpty());
}

TEST(ParameterFile, ForeignFileAskedAndRefusedStillShowsACompleteSet) {
    TestProgram p(testing_support::NoSensorSettingsText());
    p->StartUp();
    const QString path = p.dir.filePath("other.ini");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "[GENERAL INFO]\r\nFILE TYPE: = \"Table Attributes\"\r\n\r\n[PARAMETER]\r\nPOWER = 1\r\n");
    f.close();
    Select(p.Control<QPushButton>("MAINP", "SelectFile"));
    p.popups.AnswerFile(path);
    p.popups.AnswerConfirm(false);
    p.Control<QPushButton>("MAINP", "ButtonGet")->click();
    ASSERT_EQ(p.popups.Texts().size(), 3);
    EXPECT_EQ(p.popups.Texts()[1],
              "Selected file is not a parameter file! \nDo you want to proceed anyway?");
    EXPECT_EQ(p.popups.Texts()[2], "No parameter where read!");
    EXPECT_NE(p.Control<QSlider>("MAINP", "SlidePower")->value(), 1);

    // Yes: everything missing is reported, parameters first.
    p.popups.Clear();
    p.popups.AnswerFile(path);
    p.popups.AnswerConfirm(true);
    p.popups.AnswerConfirm(true);
    p.Control<QPushButton>("MAINP", "ButtonGet")->click();
    const QStringList messages = p.popups.Messages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].startsWith("Following parameter could not be read"));
    EXPECT_FALSE(messages[0].contains("POWER\n"));
    EXPECT_TRUE(messages[0].contains("EXTEACH\n"));
    EXPECT_TRUE(messages[1].contains("TEACH VECTOR 30\n"));
    EXPECT_EQ(p.Control<QSlider>("MAINP", "SlidePower")->value(), 1);
}

TEST(ParameterFile, CancelledDialogAndUnwritableTargetAreReported) {
    TestProgram p(testing_support::NoSensorSettingsText());
    p->StartUp();
    Select(p.Control<QPushButton>("MAINP", "SelectFile"));
    p.Control<QPushButton>("MAINP", "ButtonSend")->click();  // no answer: cancelled
    EXPECT_EQ(p.popups.Messages(), QStringList{"No file was selected!"});

    p.popups.Clear();
    p.popups.AnswerFile(p.dir.filePath("no/such/folder/set.ini"));
    p.Control<QPushButton>("MAINP", "ButtonSend")->click();
    ASSERT_EQ(p.popups.Messages().size(), 1);
    EXPECT_TRUE(p.popups.Messages()[0].startsWith("The parameter file could not be written"));
}

TEST(Controls, CalculationModeTwoDimensionsToThreeAndBack) {
    TestProgram p(testing_support::NoSensorSettingsText());
    p->StartUp();
    const int cells[5] = {1200, 1300, 150, 2000, 90};  // X, Y, CTO, INT, ITO
    for (int c = 0; c < 5; ++c)
        p.Control<QTableWidget>("MAINP", "GridCtt")->item(3, c)->setData(Qt::EditRole, cells[c]);
    auto* calc = qobject_cast<QComboBox*>(
        p.Control("MAINP", params::WordControlName(params::kCalculationMode)));
    ASSERT_NE(calc, nullptr);
    auto choose = [&](int mode) {
        calc->setCurrentIndex(calc->findData(mode));
        emit calc->activated(calc->currentIndex());
    };
    // Without digital outputs the calculation follows the analog output; with them it is
    // the user's.
    auto* digital = qobject_cast<QComboBox*>(
        p.Control("MAINP", params::WordControlName(params::kDigitalOutMode)));
    digital->setCurrentIndex(digital->findData(1));
    emit digital->activated(digital->currentIndex());
    choose(2);
    EXPECT_EQ(ui::CellValue(p.Control<QTableWidget>("MAINP", "GridCtt"), 4, 3), 2000);  // INT
    EXPECT_EQ(ui::CellValue(p.Control<QTableWidget>("MAINP", "GridCtt"), 4, 4), 150);   // TOL = CTO
    EXPECT_EQ(ui::CellValue(p.Control<QTableWidget>("MAINP", "GridCtt"), 4, 5), 1);
    choose(0);
    const int back[5] = {1200, 1300, 150, 2000, 150};  // ITO takes the colour tolerance
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(ui::CellValue(p.Control<QTableWidget>("MAINP", "GridCtt"), 4, c + 1), back[c]);
    choose(1);  // same dimension: untouched
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(ui::CellValue(p.Control<QTableWidget>("MAINP", "GridCtt"), 4, c + 1), back[c]);
    EXPECT_EQ(p.Session().Parameters().block.calculationMode, 1);
}

TEST(Controls, ExternTeachLeavesOnlyContAndSelfInTheTriggerList) {
    TestProgram p(testing_support::NoSensorSettingsText());
    p->StartUp();
    auto* trigger =
        qobject_cast<QComboBox*>(p.Control("MAINP", params::WordControlName(params::kTrigger)));
    {
        params::ParameterSet edited = p.Session().Parameters();
        edited.block.digitalOutMode = 1;  // the trigger and the teach input are in use
        edited.block.externTeach = 1;
        edited.block.trigger = 1;
        p.Session().SetParameters(edited);
    }
    EXPECT_EQ(trigger->count(), 2);
    EXPECT_EQ(ui::ComboValue(trigger), 1);
    {
        params::ParameterSet edited = p.Session().Parameters();
        edited.block.externTeach = 0;
        edited.block.trigger = 6;
        p.Session().SetParameters(edited);
    }
    EXPECT_EQ(trigger->count(), 7);
    EXPECT_EQ(ui::ComboValue(trigger), 6);  // PARA can be shown again
}

TEST(Controls, GroupAndHoldResetsAskFirstThenFillTheTables) {
    TestProgram p(testing_support::NoSensorSettingsText());
    p->StartUp();
    ui::SetCell(p.Control<QTableWidget>("MAINP", "EditGridGroups"), 5, 1, 1);
    ui::SetCell(p.Control<QTableWidget>("MAINP", "EditGridHold"), 1, 1, 77);
    p.Control<QSpinBox>("MAINP", "EditResetHold")->setValue(33);
    p.popups.AnswerConfirm(false);
    p.Control<QPushButton>("MAINP", "ButtonResetGroupTable")->click();
    EXPECT_EQ(ui::CellValue(p.Control<QTableWidget>("MAINP", "EditGridGroups"), 5, 1),
              1);  // No: nothing happens
    p.popups.AnswerConfirm(true);
    p.Control<QPushButton>("MAINP", "ButtonResetGroupTable")->click();
    EXPECT_EQ(ui::CellValue(p.Control<QTableWidget>("MAINP", "EditGridGroups"), 5, 1), 0);
    EXPECT_EQ(p.Control<QTableWidget>("MAINP", "EditGridGroups")->item(4, 0)->background().color(),
              QColor(Qt::white));
    p.popups.AnswerConfirm(true);
    p.Control<QPushButton>("MAINP", "ButtonResetHoldTable")->click();
    EXPECT_EQ(ui::CellValue(p.Control<QTableWidget>("MAINP", "EditGridHold"), 1, 1),
              33);  // HOLD FAIL too
    EXPECT_EQ(ui::CellValue(p.Control<QTableWidget>("MAINP", "EditGridHold"), 32, 1), 33);
    EXPECT_EQ(p.popups.Texts().count("Do you really want to reset the table?"), 3);
}
