// Every command of velorax-cli in this process against the in-process simulated sensor, on
// TCP and on the simulator's pseudo-terminal: what it prints and writes, and what reaches
// the sensor.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "cli_fixture.h"
#include "params_core/hardware_file.h"
#include "params_core/parameter_file.h"
#include "recorder/record_core.h"
#include "scope_core/scope_core.h"
#include "sim/model/sensor_model.h"

namespace {

using clitest::Args;
using clitest::ReadAll;
using clitest::Result;
using clitest::RunCli;
using clitest::Sensor;
using clitest::Transport;

// A parameter set that differs from the defaults almost everywhere, spare words included.
params::ParameterSet Distinct(std::uint16_t base) {
    params::ParameterSet set;
    set.block.power = static_cast<std::uint16_t>(base + 1);
    set.block.holdFail = 25;
    set.block.dynWinLo = 1000;
    set.block.dynWinHi = 2000;
    for (std::size_t v = 0; v < params::kVectorCount; ++v) {
        for (std::size_t c = 0; c < 5; ++c)
            set.teach[v].cell[c] = static_cast<std::uint16_t>(base + 10 * v + c);
        set.teach[v].group = static_cast<std::uint16_t>(v % 3);
        set.teach[v].hold = static_cast<std::uint16_t>(v + 1);
    }
    return set;
}

class CliCommands : public ::testing::TestWithParam<Transport> {
  protected:
    CliCommands() : sensor(GetParam(), 20.0) {}
    std::vector<std::string> Cmd(std::initializer_list<std::string> rest) {
        return Args(sensor.Link(), rest);
    }
    QString Path(const char* name) const { return files.filePath(name); }
    std::string PathText(const char* name) const { return Path(name).toStdString(); }

    Sensor sensor;
    QTemporaryDir files;
};

TEST_P(CliCommands, IdentifyPrintsTheIdentificationText) {
    const Result r = RunCli(Cmd({"identify"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string(sim::kFirmwareText) + "\n");
    EXPECT_EQ(r.err, "");
}

TEST_P(CliCommands, GetWritesTheParameterFileOfRamOrEepromAndEitherSet) {
    sim::Eeprom eeprom;
    eeprom.sets[1] = Distinct(300);
    sensor.Model().PowerUp(eeprom);
    sensor.Model().Ram()[0] = Distinct(100);

    // RAM, set 0, to standard output: the program's parameter file, CR LF and all.
    Result r = RunCli(Cmd({"get"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, params::BuildParameterFile(Distinct(100)).ToText());
    EXPECT_EQ(r.out.substr(0, 16), "[GENERAL INFO]\r\n");

    // EEPROM, set 1, into a file: the sensor loads its EEPROM into RAM first.
    r = RunCli(Cmd({"get", "--from", "eeprom", "--set", "1", "-o", PathText("set1.ini")}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadAll(Path("set1.ini")), params::BuildParameterFile(Distinct(300)).ToText());
    EXPECT_EQ(sensor.Traced("PC>SIM cmd=4 "), 1);
    EXPECT_EQ(sensor.Traced("PC>SIM cmd=2 par=1 "), 1);
    EXPECT_EQ(sensor.Traced("PC>SIM cmd=2 par=3 "), 1);
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(files.path()).entryList(QDir::Files), QStringList{"set1.ini"});
}

TEST_P(CliCommands, SendLoadsTheFileAndWritesRamOrEepromWithThePlausibilityCounts) {
    ASSERT_TRUE(params::BuildParameterFile(Distinct(200)).WriteToFile(PathText("p.ini")));
    Result r = RunCli(Cmd({"send", PathText("p.ini"), "--set", "1"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "parameter block 1: plausibility count 0\nteach table 3: plausibility count 0\n");
    const params::ParameterSet& ram = sensor.Model().Ram()[1];
    EXPECT_EQ(ram.BlockWords(), Distinct(200).BlockWords());
    // The file holds no spare words; those stay what the set had (zero).
    EXPECT_EQ(ram.teach[30].cell, Distinct(200).teach[30].cell);
    EXPECT_EQ(sensor.Traced("PC>SIM cmd=3 "), 0);

    r = RunCli(Cmd({"send", PathText("p.ini"), "--to", "eeprom"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sensor.Traced("PC>SIM cmd=3 "), 1);
    EXPECT_EQ(sensor.Model().EepromImage().sets[0].BlockWords(), Distinct(200).BlockWords());
}

TEST_P(CliCommands, MeasureWritesRecordLinesOrJsonLinesToStandardOutputOrAFile) {
    // tsv on standard output: the record file, header and lines.
    Result r = RunCli(Cmd({"measure", "--count", "3", "--id", "line 4"}));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string header = recorder::FileHeader("line 4");
    ASSERT_EQ(r.out.substr(0, header.size()), header);
    const QStringList lines =
        QString::fromStdString(r.out.substr(header.size())).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    for (const QString& line : lines) {
        EXPECT_TRUE(line.startsWith("12-07-2026\t14:30:05\t")) << line.toStdString();
        EXPECT_EQ(line.count('\t'), 12);
    }
    EXPECT_EQ(sensor.Traced("PC>SIM cmd=8 "), 3);

    // jsonl into a file: one object per frame, the fields by name, --id and the frame's number.
    r = RunCli(Cmd({"measure", "--count", "2", "--format", "jsonl", "--id", "line \"4\" \\ 2", "-o",
                    PathText("m.jsonl")}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const QStringList objects =
        QString::fromStdString(ReadAll(Path("m.jsonl"))).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(objects.size(), 2);
    const QString shape(
        "^\\{\"red\":\\d+,\"green\":\\d+,\"blue\":\\d+,\"x\":\\d+,\"y\":\\d+,\"int\":\\d+,"
        "\"deltaC\":-?\\d+,\"colorNo\":\\d+,\"groupNo\":\\d+,\"trigger\":[01],"
        "\"temperature\":\\d+,\"rawRed\":\\d+,\"rawGreen\":\\d+,\"rawBlue\":\\d+,"
        "\"rgbMinMax\":\\[\\d+(,\\d+){5}\\],\"extra\":\\[\\d+,\\d+,\\d+\\],%1"
        "\"seq\":%2,\"time\":\"2026-12-07T14:30:05\\.250\\+01:00\"\\}$");
    const QString id = QRegularExpression::escape(R"("id":"line \"4\" \\ 2",)");
    for (int n = 0; n < 2; ++n)
        EXPECT_TRUE(QRegularExpression(shape.arg(id).arg(n + 1)).match(objects[n]).hasMatch())
            << objects[n].toStdString();

    // Without --id, no id; --duration ends the frames as Ctrl-C does.
    r = RunCli(Cmd({"measure", "--duration", "0.3", "--interval", "0.25", "--format", "jsonl"}));
    ASSERT_EQ(r.status, 0) << r.err;
    const QString first = QString::fromStdString(r.out).section('\n', 0, 0);
    EXPECT_TRUE(QRegularExpression(shape.arg("").arg(1)).match(first).hasMatch()) << r.out;
}

// --append adds to a record file of an earlier run; one of JSON lines is none.
TEST_P(CliCommands, AppendAddsToTheRecordFileOfAnEarlierRun) {
    const std::string path = PathText("shift.dat");
    for (int run = 0; run < 2; ++run)
        ASSERT_EQ(RunCli(Cmd({"measure", "--count", "2", "--append", "-o", path})).status, 0);
    const QString written = QString::fromStdString(ReadAll(Path("shift.dat")));
    EXPECT_TRUE(written.startsWith(QString::fromStdString(recorder::FileHeader(""))));
    EXPECT_EQ(written.count("RECORD RESULTS OF:"), 1);
    EXPECT_EQ(written.count("\r\n"), 3 + 4);  // the header's lines and four frames

    const std::string jsonl = PathText("shift.jsonl");
    RunCli(Cmd({"measure", "--count", "1", "--format", "jsonl", "-o", jsonl}));
    const Result r = RunCli(Cmd({"measure", "--count", "1", "--append", "-o", jsonl}));
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, "velorax-cli: " + jsonl + ": not a record file to append to\n");
    EXPECT_EQ(QString::fromStdString(ReadAll(Path("shift.jsonl"))).count('\n'), 1);
}

TEST_P(CliCommands, TriggeredTakesTheSensorsFramesAndSwitchesTriggeredSendingOff) {
    const Result r = RunCli(Cmd({"triggered", "--count", "2", "--format", "jsonl"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(QString::fromStdString(r.out).count("\"trigger\":"), 2);
    EXPECT_EQ(sensor.Traced("PC>SIM cmd=30 par=1 "), 1);
    EXPECT_EQ(sensor.Traced("PC>SIM cmd=30 par=0 "), 1);
    EXPECT_EQ(sensor.Traced("PC>SIM cmd=8 "), 0);
}

TEST_P(CliCommands, CalibrationAndOffsetsAreReadAndWritten) {
    Result r = RunCli(Cmd({"calibration"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1024 1024 1024\n");

    r = RunCli(Cmd({"calibration", "--set", "1100", "980", "1333"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1100 980 1333\n");
    r = RunCli(Cmd({"offsets", "--set", "21", "7", "300"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "21 7 300\n");
    EXPECT_EQ(sensor.Model().EepromImage().factors,
              (std::array<std::uint16_t, 3>{1100, 980, 1333}));
    EXPECT_EQ(sensor.Model().EepromImage().offsets, (std::array<std::uint16_t, 3>{21, 7, 300}));

    // A factor the sensor finds implausible: replaced by its default, said, status 3.
    r = RunCli(Cmd({"calibration", "--set", "5000", "1024", "1024"}));
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "1024 1024 1024\n");
    EXPECT_EQ(r.err,
              "velorax-cli: INFO! 1 PARAMETER IN RAM DID NOT PASS PLAUSIBILITY CHECK AND WERE SET "
              "TO DEFAULT VALUE!\n");
}

TEST_P(CliCommands, HwinfoWritesTheHardwareInformationFile) {
    sensor.Model().Ram()[0] = Distinct(500);
    const Result r = RunCli(Cmd({"hwinfo", "-o", PathText("hw.ini")}));
    ASSERT_EQ(r.status, 0) << r.err;
    params::HardwareSnapshot s;
    s.firmware = sim::kFirmwareText;
    s.data = sensor.Model().HardwareInfo();
    s.factors = sensor.Model().EepromImage().factors;
    s.offsets = sensor.Model().EepromImage().offsets;
    s.parameters = Distinct(500);
    EXPECT_EQ(ReadAll(Path("hw.ini")), params::BuildHardwareFile(s).ToText());
}

TEST_P(CliCommands, ScanWritesTheFourTracesAsCsv) {
    const Result r =
        RunCli(Cmd({"scan", "--mode", "single", "--rate", "2", "-o", PathText("scan.csv")}));
    ASSERT_EQ(r.status, 0) << r.err;
    const QStringList lines =
        QString::fromStdString(ReadAll(Path("scan.csv"))).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 129);
    EXPECT_EQ(lines[0], "sample,red,green,blue,binary");
    EXPECT_TRUE(lines[128].startsWith("127,"));
    // The five settings in their order: single shot, pre-trigger 0, level 2048, rate 2,
    // signal 0.
    EXPECT_TRUE(sensor.Trace().contains("cmd=110 par=1 len=10 | 55 6E 01 00 0A 00"));
    EXPECT_TRUE(sensor.Trace().contains(" 00 00 00 00 00 08 02 00 00 00\n"));
}

INSTANTIATE_TEST_SUITE_P(BothTransports, CliCommands,
                         ::testing::Values(Transport::Tcp, Transport::Serial),
                         [](const auto& info) { return clitest::Name(info.param); });

}  // namespace
