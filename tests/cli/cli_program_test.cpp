// velorax-cli writes byte for byte what the program writes for the same data: the parameter
// file, the hardware information file and the recorder's count-mode record file, each
// written once by the whole program (offscreen, its real pages) and once by velorax-cli.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include "cli_fixture.h"
#include "params_core/parameter_file.h"
#include "program_fixture.h"
#include "recorder/recorder_page.h"
#include "sim/model/scene.h"
#include "sim/model/sensor_model.h"
#include "ui/controls.h"

namespace {

using clitest::ReadAll;
using clitest::RunCli;

std::vector<std::string> TcpLink(const sim::SimServer& sensor) {
    return {"--tcp", "127.0.0.1:" + std::to_string(sensor.TcpPort())};
}

std::vector<std::string> With(std::vector<std::string> link,
                              std::initializer_list<std::string> rest) {
    link.insert(link.end(), rest);
    return link;
}

// A set in the sensor's RAM that breaks the mode rules: with COL2 at most two rows and no
// colour groups, under DIRECT HI the outputs of BINARY.
void BreaksTheModeRules(sim::SensorModel& model) {
    testing_support::UnlikeTheDefaults(model);
    params::ParameterBlock& block = model.Ram()[0].block;
    block.digitalOutMode = 3;  // DIRECT HI
    block.evaluationMode = 3;  // COL2
    block.maxVecNo = 7;
    block.colorGroup = 1;
}

// The program's parameter file (GET from RAM, SEND to a file) and hardware information file,
// and velorax-cli's, for the set `prepare` leaves in the sensor.
void ExpectTheProgramsFiles(const std::function<void(sim::SensorModel&)>& prepare) {
    testing_support::SensorProgram t({}, testing_support::Transport::Tcp, nullptr, prepare);
    QTemporaryDir dir;
    const QString programFile = dir.filePath("program.ini");
    const QString cliFile = dir.filePath("cli.ini");

    // The program: GET from RAM, then SEND to a file.
    session::Session& s = t.S();
    ASSERT_EQ(s.GetParametersFrom(session::TransferTarget::Ram), sensorlink::Outcome::Reply);
    s.SelectTransferTarget(session::TransferTarget::File);
    t.program.popups.AnswerFile(programFile);
    s.SendParameters();
    ASSERT_TRUE(QFile::exists(programFile));
    clitest::Result r = RunCli(With(TcpLink(t.sensor), {"get", "-o", cliFile.toStdString()}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadAll(cliFile), ReadAll(programFile));

    // The hardware information file: the program's button, then velorax-cli. The simulator
    // serves the newest client: the program connects again first.
    const QString programHw = dir.filePath("program-hw.ini");
    const QString cliHw = dir.filePath("cli-hw.ini");
    t.program.Control<QPushButton>("MAINP", "ButtonTryToConnect")->click();
    t.program.popups.AnswerFile(programHw);
    t.program.Control<QPushButton>("MAINP", "ButtonGenHwInfoFile")->click();
    ASSERT_TRUE(QFile::exists(programHw));
    r = RunCli(With(TcpLink(t.sensor), {"hwinfo", "-o", cliHw.toStdString()}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadAll(cliHw), ReadAll(programHw));
}

TEST(CliAgainstTheProgram, TheParameterAndHardwareFilesAreTheProgramsByteForByte) {
    ExpectTheProgramsFiles(testing_support::UnlikeTheDefaults);
    // Both hold the set as the program shows it: the mode rules applied once.
    ExpectTheProgramsFiles(BreaksTheModeRules);
}

// `send FILE` sends what the program's LOAD then SEND would: the file's set with the mode
// rules applied, and the sensor's own spare words.
TEST(CliAgainstTheProgram, SendingAFileAppliesTheModeRulesAndKeepsTheSpareWords) {
    sim::SimServer sensor;
    sensor.Model().Ram()[0].teach[4].spare = 0x5A5A;
    sensor.StartTcp(0);
    // A file with COL2, MAX VEC NO 7 and COLOR GROUP 1 under DIRECT HI.
    sim::SensorModel broken;
    BreaksTheModeRules(broken);
    QTemporaryDir dir;
    const std::string file = dir.filePath("set.ini").toStdString();
    ASSERT_TRUE(params::BuildParameterFile(broken.Ram()[0]).WriteToFile(file));

    clitest::Result r = RunCli(With(TcpLink(sensor), {"send", file}));
    EXPECT_EQ(r.status, 0) << r.err;
    const params::ParameterSet& sent = sensor.Model().Ram()[0];
    EXPECT_EQ(sent.block.maxVecNo, 2);
    EXPECT_EQ(sent.block.colorGroup, 0);
    EXPECT_EQ(sent.block.digitalOutMode, 2);
    EXPECT_EQ(sent.teach[4].spare, 0x5A5A);
}

// A sensor whose frames are the same for every client that asks the same number of times:
// one colour patch, no trigger, the same seed, a temperature that stays at 28 degrees for
// the seconds of the test.
sim::ServerOptions SteadySensor() {
    sim::ServerOptions options;
    options.model.seed = 11;
    options.model.triggerRate = 0;
    options.model.scene = sim::Scene({sim::Patch{"grey", {0.5, 0.4, 0.3}, 60.0}});
    return options;
}

// Its second measurement is an error frame, its third too short: frames without measured
// values, which neither the recorder nor velorax-cli writes a line for.
void WithUnmeasuredFrames(sim::SimServer& sensor) {
    for (const char* fault : {"error:3@8#2", "short:20@8#3"})
        sensor.Model().Faults().Add(*sim::ParseFault(fault));
}

TEST(CliAgainstTheProgram, TheRecordFileIsTheRecordersCountModeFileByteForByte) {
    QTemporaryDir dir;
    const QString programFile = dir.filePath("program.dat");
    const QString cliFile = dir.filePath("cli.dat");

    // The program's recorder: count mode, five values at the shortest interval, on a clock
    // that the test moves so that no interval is waited for.
    testing_support::ManualClock clock;
    sim::SimServer programSensor(SteadySensor());
    WithUnmeasuredFrames(programSensor);
    programSensor.StartTcp(0);
    testing_support::TestProgram program(
        testing_support::TcpSettingsText("127.0.0.1", programSensor.TcpPort()), &clock);
    program->StartUp();
    session::Session& s = program.Session();
    ASSERT_TRUE(testing_support::ConnectedWithoutFailure(s));
    s.SetIdentificationText("line 4 / sensor 2");
    auto& page = program.Page<recorder::RecorderPage>();
    page.SetClock([] { return clitest::FixedStamp().local; });
    ASSERT_TRUE(page.CreateRecordFile(programFile));
    testing_support::Choose(program.Control<QComboBox>("MAINP", "EditRecMode"),
                            recorder::kModeCount);
    ui::SetValue(program.Control<QSpinBox>("MAINP", "EditRecVal"), 5);
    program.Control<QDoubleSpinBox>("MAINP", "EditInterval")->setValue(0.25);
    QTimer ticks;
    ticks.setInterval(0);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        clock.now += 0.05;
        s.Wait().Wake();
    });
    QObject::connect(&s, &session::Session::LoopStarted, &s, [&] { ticks.start(); });
    program.popups.AnswerConfirm(true);
    program.Control<QPushButton>("MAINP", "ButtonRecStart")->click();
    ticks.stop();

    // velorax-cli against a sensor of its own in the same state.
    sim::SimServer cliSensor(SteadySensor());
    WithUnmeasuredFrames(cliSensor);
    cliSensor.StartTcp(0);
    const clitest::Result r =
        RunCli(With(TcpLink(cliSensor), {"measure", "--count", "5", "--id", "line 4 / sensor 2",
                                         "-o", cliFile.toStdString()}));
    // Both say that two frames went unrecorded; the command's status says the sensor refused.
    const char* unrecorded = "2 FRAMES WITHOUT MEASURED VALUES WERE NOT RECORDED!";
    EXPECT_TRUE(program.Connection().Messages().contains(unrecorded));
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find(unrecorded), std::string::npos) << r.err;
    const std::string written = ReadAll(programFile);
    ASSERT_EQ(std::count(written.begin(), written.end(), '\n'), 8);
    EXPECT_EQ(ReadAll(cliFile), written);
}

}  // namespace
