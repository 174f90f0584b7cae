// The hardware information file (its button is on the connection page) against the in-process simulated
// sensor: what the file holds, the transfer target kept, an error reply to the hardware
// command, a short reply, and the file outcomes in the message box.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPushButton>

#include "connection/connection_page.h"
#include "params_core/hardware_file.h"
#include "program_fixture.h"
#include "sim/model/faults.h"
#include "sim/model/sensor_model.h"
#include "sim/server/sim_server.h"

using testing_support::TestProgram;

namespace {

struct HardwareFile : testing_support::SensorProgram {
    HardwareFile() : SensorProgram({}, testing_support::Transport::Tcp, nullptr,
                                     testing_support::UnlikeTheDefaults) {
        S().RememberPath(&session::FilePaths::hwInfoFilePath,
                         dir.filePath("old/HardwareInitialFile.ini"));
    }
    QString Messages() { return program.Connection().Messages(); }
    QPushButton* Button() { return program.Control<QPushButton>("MAINP", "ButtonGenHwInfoFile"); }
    // The button as the user presses it.
    void Press() {
        ASSERT_TRUE(Button()->isEnabled());
        Button()->click();
    }
    int FileDialogs() const {
        int n = 0;
        for (const auto& shown : program.popups.History())
            n += shown.kind == ui::ScriptedPopups::Kind::FileSelect;
        return n;
    }
    // The file the simulated sensor's state should give.
    ini::IniObject Expected() {
        params::HardwareSnapshot s;
        s.firmware = sim::kFirmwareText;
        s.data = sensor.Model().HardwareInfo();
        s.factors = sensor.Model().EepromImage().factors;
        s.offsets = sensor.Model().EepromImage().offsets;
        s.parameters = sensor.Model().Ram()[0];
        return params::BuildHardwareFile(s);
    }

    QTemporaryDir dir;
};

// Every item of `expected`, section by section in order, is in `actual` with its value.
void ExpectSameItems(const ini::IniObject& expected, const ini::IniObject& actual) {
    const auto& want = expected.Sections();
    const auto& got = actual.Sections();
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].name, want[i].name);
        for (const auto& item : want[i].items) {
            EXPECT_EQ(actual.GetString(want[i].name, item.tag),
                      expected.GetString(want[i].name, item.tag))
                << want[i].name << " / " << item.tag;
        }
    }
}

ini::IniObject ReadBack(const QString& path) {
    ini::IniObject file;
    EXPECT_TRUE(file.ReadFromFile(QFile::encodeName(path).toStdString()));
    return file;
}

}  // namespace

TEST(HardwareInfoFile, HoldsTheSensorsRamSetCorrectionsAndDataNotUnsentEditsAndKeepsTheTarget) {
    HardwareFile t;
    ASSERT_TRUE(testing_support::ConnectedWithoutFailure(t.S()));
    ASSERT_EQ(t.S().Firmware(), QString::fromLatin1(sim::kFirmwareText));
    // Edits on the panel that were never sent, and correction values the pages show that
    // the sensor does not have.
    {
        params::ParameterSet edited = t.S().Parameters();
        edited.block.power = 123;
        edited.teach[2].cell[0] = 9;
        t.S().SetParameters(edited);
    }
    {
        session::Corrections c = t.S().CorrectionValues();
        c.factors = {1, 2, 3};
        t.S().SetCorrections(c);
    }
    // With FILE selected, a GET that kept the target would open a file dialog of its own.
    t.S().SelectTransferTarget(session::TransferTarget::File);

    const QString path = t.dir.filePath("service ä/hw.ini");
    ASSERT_TRUE(QDir().mkpath(t.dir.filePath("service ä")));
    t.program.popups.AnswerFile(path);
    t.Press();

    EXPECT_EQ(t.S().Transfer().target, session::TransferTarget::File);
    ASSERT_EQ(t.program.popups.History().size(), 1u);
    const ui::FileDialogSpec& dialog = t.program.popups.History()[0].file;
    EXPECT_EQ(dialog.directory, t.dir.filePath("old"));
    EXPECT_EQ(dialog.defaultName, "HardwareInitialFile.ini");
    EXPECT_EQ(dialog.filter, "*.ini");
    EXPECT_EQ(dialog.title, "HardwareInitialFile");
    EXPECT_TRUE(dialog.save);

    ExpectSameItems(t.Expected(), ReadBack(path));
    EXPECT_EQ(t.S().Paths().hwInfoFilePath, path);
    EXPECT_TRUE(t.Messages().endsWith("HARDWARE INI FILE HAS BEEN SAVED TO:\n" +
                                             QDir::toNativeSeparators(path) + "\n\n"));
}

TEST(HardwareInfoFile, ARefusalOrAShortReplyIsSaidAndStopsBeforeTheDialog) {
    // A short reply filled the file's tail with an earlier frame's words; a refusal whose
    // code has no text of its own did nothing at all.
    const std::pair<const char*, const char*> cases[] = {
        {"error:1@194", "INVALIDE ORDER NUMBER!"},
        {"error:3@194", "SENSOR HAS REFUSED THE REQUEST!\nERROR CODE 3"},
        {"error:3@102", "SENSOR HAS REFUSED THE REQUEST!\nERROR CODE 3"},
        {"short:20@194", "RECEIVED DATA FRAME IS INCORRECT!"},
    };
    for (const auto& [fault, said] : cases) {
        SCOPED_TRACE(fault);
        HardwareFile t;
        t.S().SelectTransferTarget(session::TransferTarget::Eeprom);
        t.sensor.Model().Faults().Add(*sim::ParseFault(fault));
        t.program.popups.AnswerFile(t.dir.filePath("never.ini"));
        t.Press();

        EXPECT_EQ(t.FileDialogs(), 0);
        EXPECT_FALSE(QFile::exists(t.dir.filePath("never.ini")));
        EXPECT_EQ(t.S().Transfer().target, session::TransferTarget::Eeprom);
        EXPECT_TRUE(t.Messages().contains(said)) << t.Messages().toStdString();
        EXPECT_FALSE(t.Messages().contains("HARDWARE INI FILE"));
    }
}

TEST(HardwareInfoFile, NoFileAndAnUnwritableFileAreSaidInTheMessageBox) {
    {
        HardwareFile t;
        t.program.popups.AnswerFile(std::nullopt);
        t.Press();
        EXPECT_TRUE(t.Messages().endsWith("ATTENTION!   NO FILE WAS SELECTED!\n\n"));
        EXPECT_EQ(t.S().Paths().hwInfoFilePath, t.dir.filePath("old/HardwareInitialFile.ini"));
    }
    {
        HardwareFile t;
        // A folder that does not exist: nothing can be written there, not even by root.
        const QString path = t.dir.filePath("missing/hw.ini");
        t.program.popups.AnswerFile(path);
        t.Press();
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_TRUE(t.Messages().endsWith(
            "ATTENTION!   HARDWARE INI FILE COULD NOT BE WRITTEN TO:\n" +
            QDir::toNativeSeparators(path) + "\n\n"));
        EXPECT_FALSE(t.Messages().contains("HAS BEEN SAVED"));
        EXPECT_EQ(t.S().Paths().hwInfoFilePath, path);
    }
}
