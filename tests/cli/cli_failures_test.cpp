// velorax-cli's failures: usage, links that cannot be made, the program's failure texts,
// refusals of the sensor and files it cannot read or write. Each is one line on standard
// error with its exit status, and none waits for a time-out.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <fstream>

#include "cli/options.h"
#include "cli_fixture.h"
#include "params_core/parameter_file.h"
#include "program_fixture.h"

namespace {

using clitest::Args;
using clitest::Result;
using clitest::RunCli;
using clitest::Sensor;
using clitest::Transport;

TEST(CliUsage, MistakesAreStatusOneWithOneLineAndHelpIsStatusZero) {
    const std::vector<std::string> tcp = {"--tcp", "127.0.0.1:1"};
    const std::vector<std::vector<std::string>> mistakes = {
        {},
        {"identify"},
        {"--tcp", "127.0.0.1", "--serial", "/dev/null", "identify"},
        {"--tcp", "127.0.0.1:0", "identify"},
        {"--tcp", "127.0.0.1:70000", "identify"},
        {"--tcp", "127.0.0.1", "--baud", "115200", "identify"},
        {"--serial", "/dev/x", "--baud", "4800", "identify"},
        Args(tcp, {"frobnicate"}),
        Args(tcp, {"send"}),
        Args(tcp, {"hwinfo"}),
        Args(tcp, {"scan"}),
        Args(tcp, {"get", "--set", "2"}),
        Args(tcp, {"get", "--from", "flash"}),
        Args(tcp, {"identify", "-o", "x"}),
        Args(tcp, {"measure", "--count", "0"}),
        Args(tcp, {"measure", "--interval", "0.1"}),
        Args(tcp, {"measure", "--format", "csv"}),
        Args(tcp, {"measure", "--count"}),
        Args(tcp, {"calibration", "--set", "1", "2"}),
        Args(tcp, {"calibration", "--set", "1", "2", "65536"}),
        Args(tcp, {"scan", "--mode", "sideways", "-o", "x.csv"}),
        Args(tcp, {"get", "extra"}),
        Args(tcp, {"measure", "--id", "line\t4"}),
        Args(tcp, {"measure", "--id", "line 4\n"}),
        Args(tcp, {"measure", "--duration", "0"}),
        Args(tcp, {"measure", "--timeout", "5"}),
        Args(tcp, {"triggered", "--timeout", "-1"}),
        Args(tcp, {"get", "--append"}),
    };
    for (const auto& args : mistakes) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        SCOPED_TRACE(joined);
        const Result r = RunCli(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.ErrLines(), 1) << r.err;
        EXPECT_EQ(r.err.rfind("velorax-cli: ", 0), 0u) << r.err;
        EXPECT_EQ(r.out, "");
    }

    // Counts beyond 16 bits are taken whole.
    const cli::Parsed parsed = cli::ParseArguments(Args(tcp, {"measure", "--count", "100000"}));
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.count, 100000);

    // Help for the whole and for each command, with or without a link.
    Result r = RunCli({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Exit status:"), std::string::npos);
    for (const char* command : {"identify", "get", "send", "measure", "triggered", "calibration",
                                "offsets", "hwinfo", "scan"}) {
        SCOPED_TRACE(command);
        r = RunCli({command, "--help"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_NE(r.out.find(std::string("velorax-cli (--tcp HOST[:PORT] | --serial DEVICE "
                                         "[--baud RATE]) ") +
                             command),
                  std::string::npos);
        EXPECT_EQ(RunCli(Args(tcp, {command, "-h"})).out, r.out);
    }
    EXPECT_EQ(RunCli({"help", "measure"}).out, RunCli({"measure", "--help"}).out);

    r = RunCli({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "velorax-cli 1.0 (files of VELORAX3-KVT-ANA-Scope V1.0)\n");
}

TEST(CliLinkFailures, ARefusingHostOrAMissingDeviceIsOneLineAndStatusTwo) {
    Result r = RunCli(
        {"--tcp", "127.0.0.1:" + std::to_string(testing_support::FreeTcpPort()), "identify"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.ErrLines(), 1);
    EXPECT_NE(r.err.find("FailedToConnect Connection refused by 127.0.0.1:"), std::string::npos)
        << r.err;

    QTemporaryDir dir;
    r = RunCli({"--serial", dir.filePath("no-such-tty").toStdString(), "get"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.ErrLines(), 1);
    EXPECT_NE(r.err.find("no-such-tty"), std::string::npos) << r.err;

    // A regular file is no serial port.
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    r = RunCli({"--serial", plain.fileName().toStdString(), "identify"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.ErrLines(), 1) << r.err;
}

class CliSensorFailures : public ::testing::TestWithParam<Transport> {
  protected:
    CliSensorFailures() : sensor(GetParam()) {}
    std::vector<std::string> Cmd(std::initializer_list<std::string> rest) {
        return Args(sensor.Link(), rest);
    }
    std::string File(const char* name) const { return files.filePath(name).toStdString(); }
    Sensor sensor;
    QTemporaryDir files;
};

TEST_P(CliSensorFailures, TheProgramsFailureTextsAndTheSensorsRefusals) {
    // A bad frame: the link's text on one line, status 2.
    sensor.Fault("badcrc-header@7#1");
    Result r = RunCli(Cmd({"identify"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "velorax-cli: ATTENTION! RECEIVED HEADER FRAME IS INCORRECT!\n");

    // An error reply: the sensor refused, status 3.
    sensor.Fault("error:1@7#1");
    r = RunCli(Cmd({"identify"}));
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "velorax-cli: INVALIDE ORDER NUMBER! VERIFY PC AND SENSOR SOFTWARE!\n");
    EXPECT_EQ(r.out, "");
    // One with a code that has no text says which code it was, also where the sequence
    // goes on after it.
    sensor.Fault("error:9@102#1");
    r = RunCli(Cmd({"offsets"}));
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "velorax-cli: the sensor answered with an error reply of code 9\n");
    ASSERT_TRUE(params::BuildParameterFile(params::ParameterSet{}).WriteToFile(File("p.ini")));
    sensor.Fault("error:3@1#1");
    r = RunCli(Cmd({"send", File("p.ini")}));
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "velorax-cli: the sensor answered with an error reply of code 3\n");
    sensor.Fault("error:5@194#1");  // refused in the program's words too: still one line
    r = RunCli(Cmd({"hwinfo", "-o", File("hw.ini")}));
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "velorax-cli: the sensor answered with an error reply of code 5\n");

    // Plausibility counts: the transfer goes on, the counts are printed, status 3.
    sensor.Fault("plausibility:2@1#1");
    r = RunCli(Cmd({"send", File("p.ini"), "--to", "eeprom"}));
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out,
              "parameter block 0: plausibility count 2\nteach table 2: plausibility count 0\n");
    EXPECT_EQ(r.err,
              "velorax-cli: INFO! 2 PARAMETER IN RAM DID NOT PASS PLAUSIBILITY CHECK AND WERE SET "
              "TO DEFAULT VALUE!\n");
    EXPECT_EQ(sensor.Traced("PC>SIM cmd=3 "), 1);

    // A bad measurement frame ends the frames with the data-frame text; the line written
    // before stays whole.
    sensor.Fault("badcrc-payload@8#2");
    r = RunCli(Cmd({"measure", "--format", "jsonl"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "velorax-cli: ATTENTION! RECEIVED DATA FRAME IS INCORRECT!\n");
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);

    // The sensor goes away in the middle of a GET: said once.
    if (GetParam() == Transport::Tcp) {
        sensor.Fault("close-after:1");
        r = RunCli(Cmd({"get"}));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.ErrLines(), 1) << r.err;
    }
}

TEST_P(CliSensorFailures, FilesThatCannotBeReadOrWrittenAreStatusFourBeforeTheSensorIsAsked) {
    // Missing, a folder, a file of another type, another program version.
    QFile other(files.filePath("settings.ini"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("[GENERAL INFO]\r\nFILE TYPE: = \"Panel Settings\"\r\n\r\n");
    other.close();
    QFile old(files.filePath("old.ini"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("[GENERAL INFO]\r\nFILE TYPE: = \"Parameter File\"\r\nSCOPE VERSION: = \"V0.9\"\r\n");
    old.close();
    struct Case {
        std::vector<std::string> args;
        std::string said;
    };
    const std::string missing = File("missing.ini");
    const Case cases[] = {
        {Cmd({"send", missing}), missing + ": No such file or directory"},
        {Cmd({"send", files.path().toStdString()}),
         files.path().toStdString() + ": Is a directory"},
        {Cmd({"send", File("settings.ini")}),
         File("settings.ini") +
             ": Selected file is not a parameter file! (--force sends it all the same)"},
        {Cmd({"send", File("old.ini")}),
         File("old.ini") +
             ": Selected file and scope version do not match! (--force sends it all the same)"},
        {Cmd({"get", "-o", File("no/folder/p.ini")}),
         File("no/folder/p.ini") + ": No such file or directory"},
        {Cmd({"hwinfo", "-o", files.path().toStdString()}),
         files.path().toStdString() + ": Is a directory"},
        {Cmd({"measure", "-o", File("no/folder/r.dat")}),
         File("no/folder/r.dat") + ": No such file or directory"},
        {Cmd({"scan", "-o", File("no/folder/s.csv")}),
         File("no/folder/s.csv") + ": No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said);
        const Result r = RunCli(c.args);
        EXPECT_EQ(r.status, 4);
        EXPECT_EQ(r.err, "velorax-cli: " + c.said + "\n");
    }
    // Not one request reached the sensor.
    EXPECT_EQ(sensor.Traced("PC>SIM"), 0);

    // --force sends the older version; every item it lacks gets its default and is named.
    const Result r = RunCli(Cmd({"send", File("old.ini"), "--force"}));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.ErrLines(), 2) << r.err;
    EXPECT_NE(r.err.find("old.ini: Following parameter could not be read and where set to default "
                         "value: POWER, POWER MODE, AVERAGE"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("EXTEACH, CALCULATION MODE"), std::string::npos);
    EXPECT_NE(r.err.find("Following teach vectors could not be read and where set to default "
                         "value: TEACH VECTOR 0, TEACH VECTOR 1"),
              std::string::npos);
    EXPECT_EQ(sensor.Model().Ram()[0].block.power, 500);
}

// A command that fails leaves an old file as it was: a file is made or replaced only once
// there is something to put in it. --timeout ends the waits for the sensor's own frames
// (nothing triggers) with status 2 and switches the sensor off again.
TEST_P(CliSensorFailures, AFailedCommandLeavesTheOldFileAlone) {
    const std::string old = "the last shift's record\r\n";
    const auto oldFile = [&](const char* name) {
        std::ofstream(File(name), std::ios::binary) << old;
        return File(name);
    };
    // The lines said: the failure; for a frame without measured values also how many went
    // unrecorded.
    const std::tuple<const char*, std::vector<std::string>, int, int> cases[] = {
        {"error:3@4#1", Cmd({"get", "--from", "eeprom", "-o", oldFile("p.ini")}), 3, 1},
        {"error:3@8#1", Cmd({"measure", "--count", "1", "-o", oldFile("r.dat")}), 3, 2},
        {"badcrc-header@8#1", Cmd({"measure", "--format", "jsonl", "-o", oldFile("r.jsonl")}), 2,
         1},
        {"error:3@30#1", Cmd({"triggered", "-o", oldFile("t.dat")}), 3, 1},
        {"silent@30u", Cmd({"triggered", "--timeout", "0.2", "-o", oldFile("t.dat")}), 2, 1},
        {"silent@110u", Cmd({"scan", "--timeout", "0.2", "-o", oldFile("s.csv")}), 2, 1},
    };
    for (const auto& [fault, args, status, lines] : cases) {
        SCOPED_TRACE(fault);
        sensor.Fault(fault);
        const Result r = RunCli(args);
        EXPECT_EQ(r.status, status);
        EXPECT_EQ(r.ErrLines(), lines) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(clitest::ReadAll(QString::fromStdString(args.back())), old);
        sensor.Model().Faults().Clear();
    }
    EXPECT_EQ(sensor.Traced("PC>SIM cmd=30 par=0 "), 2);
    EXPECT_EQ(sensor.Traced("PC>SIM cmd=110 par=0 "), 1);
    // No temporary file is left behind.
    EXPECT_EQ(QDir(files.path()).entryList(QDir::Files).size(), 5);
}

// --reconnect: a bad frame in the middle is said, the sensor identified again, and the
// lines go on into the same file, numbered on.
TEST_P(CliSensorFailures, WithReconnectAFailedExchangeIsSaidAndTheFileGoesOn) {
    sensor.Fault("badcrc-header@8#3");
    const Result r = RunCli(Cmd({"measure", "--count", "6", "--format", "jsonl", "--reconnect",
                                 "--retry-max", "0.1", "-o", File("frames.jsonl")}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "velorax-cli: ATTENTION! RECEIVED HEADER FRAME IS INCORRECT!\n"
              "velorax-cli: the line is tried again\n");
    const std::string lines = clitest::ReadAll(QString::fromStdString(File("frames.jsonl")));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 6);
    EXPECT_NE(lines.find("\"seq\":6,"), std::string::npos);
    EXPECT_EQ(sensor.Traced("PC>SIM cmd=7 "), 2);
}

INSTANTIATE_TEST_SUITE_P(BothTransports, CliSensorFailures,
                         ::testing::Values(Transport::Tcp, Transport::Serial),
                         [](const auto& info) { return clitest::Name(info.param); });

}  // namespace
