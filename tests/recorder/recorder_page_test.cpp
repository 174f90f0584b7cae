// The recorder page on the real panel set against the in-process simulated sensor: the
// controls of each mode, choosing the file, count mode on an injected clock, continuous
// mode and its ends, manual records, triggered frames, the record graph, and a recording
// whose file goes away.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "program_fixture.h"
#include "recorder/recorder_page.h"
#include "sim/model/faults.h"
#include "sim/server/sim_server.h"
#include "ui/controls.h"

using testing_support::TestProgram;

namespace {

sim::ServerOptions Options(const QString& trace, double triggerRate) {
    sim::ServerOptions o;
    o.tracePath = trace;
    o.model.triggerRate = triggerRate;
    return o;
}

// The folder of the trace and the record files: there before the sensor that writes into it.
struct RecorderFolder {
    QTemporaryDir dir;
};

// The simulated sensor (tracing every frame) and the program connected to it.
struct Recorder : RecorderFolder, testing_support::SensorProgram {
    explicit Recorder(double triggerRate = 0, ui::Clock* clock = nullptr)
        : SensorProgram(Options(dir.filePath("trace.txt"), triggerRate),
                        testing_support::Transport::Tcp, clock) {
        page().SetClock([] { return recorder::DateTime{2026, 12, 7, 14, 30, 5}; });
        S().RememberPath(&session::FilePaths::recordPath, RecordPath());
    }
    recorder::RecorderPage& page() { return program.Page<recorder::RecorderPage>(); }
    QString RecordPath() const { return dir.filePath("record ä file.dat"); }
    void SelectMode(int mode) {
        testing_support::Choose(Control<QComboBox>("MAINP", "EditRecMode"), mode);
    }
    QByteArray File() const {
        QFile f(RecordPath());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    QList<QByteArray> DataLines() const {
        QList<QByteArray> lines = File().split('\n');
        QList<QByteArray> data;
        for (const QByteArray& l : lines)
            if (l.startsWith("12-07-2026\t14:30:05\t")) data << l;
        return data;
    }
    int Traced(const QByteArray& what) const {
        QFile f(dir.filePath("trace.txt"));
        f.open(QIODevice::ReadOnly);
        return static_cast<int>(f.readAll().count(what));
    }
    int Shown(QLineEdit* display) {
        page().FlushDisplays();
        return display->text().toInt();
    }
    bool Visible(const char* name) { return ui::IsVisible(Control("MAINP", name)); }

};

}  // namespace

TEST(RecorderModes, EachModeShowsItsControlsAndTheRecordTimeKeepsTheMinimumInterval) {
    Recorder t;
    struct Case {
        int mode;
        bool interval, values, time, recorded, remaining, frames, start, stop, triggered, manual;
    };
    const Case cases[] = {
        {0, true, true, true, true, true, false, true, true, false, false},
        {1, true, false, false, false, false, true, true, true, false, false},
        {2, false, false, false, true, false, false, false, false, false, true},
        {3, false, false, false, false, false, true, false, true, true, false},
    };
    for (const Case& c : cases) {
        t.SelectMode(c.mode);
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(t.Visible("EditInterval"), c.interval);
        EXPECT_EQ(t.Visible("LabelRecInterval"), c.interval);
        EXPECT_EQ(t.Visible("EditRecVal"), c.values);
        EXPECT_EQ(t.Visible("DispRecordDays"), c.time);
        EXPECT_EQ(t.Visible("DispRecordSeconds"), c.time);
        EXPECT_EQ(t.Visible("DispRecordedValues"), c.recorded);
        EXPECT_EQ(t.Visible("DispRemaining"), c.remaining);
        EXPECT_EQ(t.Visible("DispRecFrameCounter"), c.frames);
        EXPECT_EQ(t.Visible("ButtonRecStart"), c.start);
        EXPECT_EQ(t.Visible("ButtonRecStop"), c.stop);
        EXPECT_EQ(t.Visible("ButtonRecStartTriggered"), c.triggered);
        EXPECT_EQ(t.Visible("ButtonManualRecord"), c.manual);
        for (const char* always :
             {"EditRecMode", "ButtonRecFileSelect", "DispRecPath", "DispRecId"})
            EXPECT_TRUE(t.Visible(always));
    }

    // The record time follows what the user types into the interval, and a value below
    // the minimum becomes the minimum at once.
    t.SelectMode(0);
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditRecVal"), 4);
    auto* interval = t.Control<QDoubleSpinBox>("MAINP", "EditInterval");
    const auto type = [&](const char* text) {
        interval->setFocus();
        interval->selectAll();
        QTest::keyClicks(interval, text);
        QTest::keyClick(interval, Qt::Key_Return);
    };
    type("30");
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRecordMinutes")->text(), "2");
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRecordSeconds")->text(), "0.00");
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditRecVal"), 1000);
    type("0.1");
    EXPECT_DOUBLE_EQ(interval->value(), 0.25);
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRecordDays")->text(), "0");
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRecordHours")->text(), "0");
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRecordMinutes")->text(), "4");
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRecordSeconds")->text(), "10.00");
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRemaining")->text(), "1000");
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRecordedValues")->text(), "0");

    // The help texts, on a right-click.
    QContextMenuEvent right(QContextMenuEvent::Mouse, QPoint(2, 2), QPoint(2, 2));
    QCoreApplication::sendEvent(interval, &right);
    EXPECT_EQ(t.program.popups.History().back().text,
              "Choose a interval in secondes for recording. \nMinimum interval is 0,25 second.");
}

TEST(RecorderFile, TheDialogsQuestionsAndANewHeader) {
    Recorder t;
    auto* fileSelect = t.Control<QPushButton>("MAINP", "ButtonRecFileSelect");
    auto& popups = t.program.popups;
    const QString before = t.S().Paths().recordPath;

    // Cancelled: said, and nothing changes.
    fileSelect->click();
    ASSERT_EQ(popups.History().size(), 2u);
    EXPECT_EQ(popups.History()[0].kind, ui::ScriptedPopups::Kind::FileSelect);
    EXPECT_EQ(popups.History()[0].file.title, "FILENAME!");
    EXPECT_EQ(popups.History()[0].file.defaultName, "RecordFile.dat");
    EXPECT_EQ(popups.History()[0].file.filter, "*.dat");
    EXPECT_EQ(popups.History()[1].text, "No filename was selected! \nRecording will not be done! ");
    EXPECT_EQ(t.S().Paths().recordPath, before);

    // A new file: its header at once.
    const QString chosen = t.dir.filePath("new.dat");
    popups.AnswerFile(chosen);
    fileSelect->click();
    EXPECT_EQ(t.S().Paths().recordPath, chosen);
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRecPath")->text(),
              QDir::toNativeSeparators(chosen));
    QFile file(chosen);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("\nRECORD RESULTS OF: VELORAX3-KVT-ANA-Scope V1.0\r\n"));
    file.close();

    // An existing file: No keeps it and the path; Yes empties it down to a new header.
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("old line\r\n");
    file.close();
    popups.Clear();
    popups.AnswerFile(chosen);
    fileSelect->click();
    EXPECT_EQ(popups.History().back().text,
              "File already exist! \nDo you want to select existing file?");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().endsWith("old line\r\n"));
    file.close();
    popups.AnswerFile(chosen);
    popups.AnswerConfirm(true);
    fileSelect->click();
    EXPECT_EQ(popups.History().back().text,
              " Make sure, that the file is not opened by any other program. \n Otherwise it can "
              "not be saved.");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("old line"));
    file.close();

    // A directory that does not exist: said at once.
    popups.Clear();
    popups.AnswerFile(t.dir.filePath("no such dir/rec.dat"));
    fileSelect->click();
    EXPECT_TRUE(popups.History().back().text.startsWith("The record file could not be written!"))
        << popups.History().back().text.toStdString();
}

TEST(RecorderCount, ThreeValuesThreeRequestsAtTheIntervalThenItEndsByItself) {
    testing_support::ManualClock clock;
    Recorder t(0, &clock);
    recorder::RecorderPage& p = t.page();
    ASSERT_TRUE(testing_support::ConnectedWithoutFailure(t.S()));
    ASSERT_TRUE(p.CreateRecordFile(t.RecordPath()));
    const int before = t.Traced("PC>SIM cmd=8 ");
    t.SelectMode(0);
    t.Control<QSpinBox>("MAINP", "EditRecVal")->setValue(3);
    t.Control<QDoubleSpinBox>("MAINP", "EditInterval")->setValue(0.25);

    // The clock runs on in small steps while the program waits.
    QTimer ticks;
    ticks.setInterval(0);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        clock.now += 0.01;
        t.S().Wait().Wake();
    });
    std::vector<double> requests;
    QObject::connect(&t.S(), &session::Session::FrameTaken, &t.S(),
                     [&] { requests.push_back(clock.now); });
    bool red = false;
    QObject::connect(&t.S(), &session::Session::LoopStarted, &t.S(), [&] {
        red = t.Control<QPushButton>("MAINP", "ButtonRecStart")->styleSheet().contains("FF0000") &&
              !t.Control<QPushButton>("MAINP", "ButtonRecStart")->isEnabled();
        ticks.start();
    });
    t.program.popups.AnswerConfirm(true);
    t.Control<QPushButton>("MAINP", "ButtonRecStart")->click();
    ticks.stop();

    EXPECT_TRUE(red);
    EXPECT_EQ(t.Traced("PC>SIM cmd=8 ") - before, 3);
    ASSERT_EQ(requests.size(), 3u);
    // The requests keep to a schedule of 0.25 s (the clock moves 0.01 s a step).
    for (std::size_t i = 1; i < requests.size(); ++i) {
        EXPECT_GT(requests[i] - requests[i - 1], 0.25 - 0.05);
        EXPECT_LT(requests[i] - requests[i - 1], 0.25 + 0.05);
    }
    EXPECT_NEAR(requests[2] - requests[0], 0.5, 0.05);
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRecordedValues")->text(), "3");
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRemaining")->text(), "0");
    EXPECT_FALSE(t.S().App().loopRunning);
    EXPECT_TRUE(t.Control<QPushButton>("MAINP", "ButtonRecStart")->isEnabled());
    EXPECT_TRUE(t.Control<QPushButton>("MAINP", "ButtonRecStart")->styleSheet().contains("E0E0E0"));
    const QStringList texts = t.program.popups.Texts();
    ASSERT_EQ(texts.size(), 3);
    EXPECT_EQ(texts[0], "Are you sure, that you have selected the right file name?");
    EXPECT_EQ(texts[2], "File has been saved!");

    // Three lines of thirteen fields, after the header; the values are the frames taken.
    const QList<QByteArray> lines = t.DataLines();
    ASSERT_EQ(lines.size(), 3);
    for (const QByteArray& l : lines) {
        EXPECT_EQ(l.count('\t'), 12);
        EXPECT_TRUE(l.endsWith('\r'));
    }
    const session::MeasuredValues& m = t.S().Measured();
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("12-07-2026\t14:30:05\t%1\t%2\t%3\t")
                                        .arg(m.red)
                                        .arg(m.green)
                                        .arg(m.blue)
                                        .toLatin1()));
    // The record graph holds the three frames.
    EXPECT_EQ(p.GraphPanel().Index(), 3);
    EXPECT_EQ(p.GraphPanel().Graph()->PointCount(p.GraphPanel().Trace(6)), 3);
    EXPECT_EQ(t.Shown(t.Control<QLineEdit>("GRAPHP", "DispGpRed")), m.red);

    // No values: no request at all.
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditRecVal"), 0);
    t.program.popups.AnswerConfirm(true);
    t.Control<QPushButton>("MAINP", "ButtonRecStart")->click();
    EXPECT_EQ(t.Traced("PC>SIM cmd=8 ") - before, 3);
    EXPECT_EQ(t.program.popups.Texts().back(), "File has been saved!");
}

TEST(RecorderContinuous, StopOrAModeChangeEndsItAndTheGraphShowsOneSignal) {
    Recorder t;
    recorder::RecorderPage& p = t.page();
    ASSERT_TRUE(testing_support::ConnectedWithoutFailure(t.S()));
    ASSERT_TRUE(p.CreateRecordFile(t.RecordPath()));
    t.SelectMode(1);
    t.Control<QDoubleSpinBox>("MAINP", "EditInterval")->setValue(0.25);
    int frames = 0;
    QObject::connect(&t.S(), &session::Session::FrameTaken, &t.S(), [&] {
        if (++frames == 2) t.Control<QPushButton>("MAINP", "ButtonRecStop")->click();
    });
    t.program.popups.AnswerConfirm(true);
    t.Control<QPushButton>("MAINP", "ButtonRecStart")->click();
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(t.DataLines().size(), 2);
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRecFrameCounter")->text(), "2");

    // A change of mode while it runs ends it too.
    frames = 0;
    QObject::connect(&t.S(), &session::Session::FrameTaken, &t.S(), [&] {
        if (frames == 1) {
            testing_support::Choose(t.Control<QComboBox>("MAINP", "EditRecMode"), 2);
        }
    });
    t.program.popups.AnswerConfirm(true);
    ui::SetComboValue(t.Control<QComboBox>("MAINP", "EditRecMode"), 1);
    t.Control<QPushButton>("MAINP", "ButtonRecStart")->click();
    EXPECT_EQ(frames, 1);
    EXPECT_FALSE(t.S().App().loopRunning);
    t.SelectMode(1);
    EXPECT_EQ(p.GraphPanel().Index(), 0);  // a mode change resets the graph

    // GRAPHP: the selector shows one trace; CLOSE shows the data panel.
    t.Control<QPushButton>("MAINP", "ButtonShowGraph")->click();
    EXPECT_TRUE(t.program->Panel("GRAPHP")->isVisibleTo(t.program->Panel("MAINP")));
    testing_support::Choose(t.Control<QComboBox>("GRAPHP", "EditSignal"), 6);
    ui::Graph* g = p.GraphPanel().Graph();
    for (int s = 0; s < recorder::kGraphSignals; ++s) {
        g->AppendPoint(p.GraphPanel().Trace(s), 0, 1);  // visible or not, every trace is drawn
        EXPECT_EQ(g->PointCount(p.GraphPanel().Trace(s)), 1);
    }
    t.Control<QPushButton>("GRAPHP", "ButtonGpClose")->click();
    EXPECT_TRUE(t.program->Panel("DATAP")->isVisibleTo(t.program->Panel("MAINP")));

    // The coordinates are named as the calculation mode names them, in the selector and
    // on the values.
    const auto names = [&] {
        QStringList n;
        for (int i = 3; i <= 5; ++i) n << t.Control<QComboBox>("GRAPHP", "EditSignal")->itemText(i);
        for (const char* label : {"LabelGpX", "LabelGpY", "LabelGpInt"})
            n << t.program.Control<QLabel>("GRAPHP", label)->text();
        // ... and a screen reader hears the values by the same names.
        for (const char* value : {"DispGpX", "DispGpY", "DispGpInt"})
            n << ui::AnnouncedName(t.program.Control<QLineEdit>("GRAPHP", value));
        return n;
    };
    EXPECT_EQ(names(), (QStringList{"X", "Y", "INT", "X", "Y", "INT", "X", "Y", "INT"}));
    for (std::uint16_t calculation : {1, 3, 2, 0}) {
        {
            params::ParameterSet edited = t.S().Parameters();
            edited.block.digitalOutMode = 1;
            edited.block.evaluationMode = 1;
            edited.block.calculationMode = calculation;
            t.S().SetParameters(edited);
        }
        const QStringList expected =
            calculation % 2 == 1 ? QStringList{"s", "i", "M", "s", "i", "M", "s", "i", "M"}
                                 : QStringList{"X", "Y", "INT", "X", "Y", "INT", "X", "Y", "INT"};
        EXPECT_EQ(names(), expected) << calculation;
    }
}

TEST(RecorderManual, EachClickAppendsTheLastFrameWithoutARequest) {
    Recorder t;
    recorder::RecorderPage& p = t.page();
    ASSERT_TRUE(p.CreateRecordFile(t.RecordPath()));
    t.SelectMode(2);
    session::MeasuredValues m = t.S().Measured();
    m.red = 0xFFFF;
    m.deltaC = -1;
    m.temperature = 29;
    t.S().SetMeasured(m);
    const int requests = t.Traced("PC>SIM cmd=8 ");
    t.Control<QPushButton>("MAINP", "ButtonManualRecord")->click();
    t.Control<QPushButton>("MAINP", "ButtonManualRecord")->click();
    EXPECT_EQ(t.Traced("PC>SIM cmd=8 "), requests);
    const QList<QByteArray> lines = t.DataLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], lines[1]);
    EXPECT_EQ(lines[0], "12-07-2026\t14:30:05\t65535\t0\t0\t0\t0\t0\t-1\t0\t0\t0\t29\r");
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRecordedValues")->text(), "2");
    EXPECT_TRUE(t.program.popups.History().empty());
    t.SelectMode(2);
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRecordedValues")->text(), "0");
}

TEST(RecorderTriggered, FramesOnTriggersUntilStopThenTriggeredSendingOff) {
    Recorder t(200);  // triggers per second
    recorder::RecorderPage& p = t.page();
    ASSERT_TRUE(testing_support::ConnectedWithoutFailure(t.S()));
    ASSERT_TRUE(p.CreateRecordFile(t.RecordPath()));
    t.SelectMode(3);
    int frames = 0;
    QObject::connect(&t.S(), &session::Session::FrameTaken, &t.S(), [&] {
        if (++frames == 20) t.Control<QPushButton>("MAINP", "ButtonRecStop")->click();
    });
    t.program.popups.AnswerConfirm(true);
    t.Control<QPushButton>("MAINP", "ButtonRecStartTriggered")->click();
    EXPECT_EQ(frames, 20);
    EXPECT_EQ(t.DataLines().size(), 20);
    EXPECT_EQ(t.Control<QLineEdit>("MAINP", "DispRecFrameCounter")->text(), "20");
    EXPECT_EQ(t.Traced("PC>SIM cmd=30 par=1 "), 1);
    EXPECT_EQ(t.Traced("PC>SIM cmd=30 par=0 "), 1);
    EXPECT_TRUE(t.Control<QPushButton>("MAINP", "ButtonRecStartTriggered")
                    ->styleSheet()
                    .contains("E0E0E0"));
    EXPECT_EQ(t.program.popups.Texts().back(), "File has been saved!");
    EXPECT_TRUE(testing_support::ConnectedWithoutFailure(t.S()));
}

TEST(RecorderTriggered, ABadFrameEndsItWithTheLinkTextAndSwitchesTriggeredSendingOff) {
    Recorder t(200);
    recorder::RecorderPage& p = t.page();
    ASSERT_TRUE(p.CreateRecordFile(t.RecordPath()));
    t.SelectMode(3);
    // The triggered frames come byte by byte, and the fourth with a bad payload checksum.
    t.sensor.Model().Faults().Add(*sim::ParseFault("split@30u"));
    t.sensor.Model().Faults().Add(*sim::ParseFault("badcrc-payload@30u#4"));
    QString reported;
    QObject::connect(&t.S(), &session::Session::LinkFailed, &t.S(),
                     [&](const QString& text) { reported = text; });
    t.program.popups.AnswerConfirm(true);
    t.Control<QPushButton>("MAINP", "ButtonRecStartTriggered")->click();
    EXPECT_FALSE(reported.isEmpty());
    EXPECT_EQ(t.DataLines().size(), 3);
    EXPECT_EQ(t.Traced("PC>SIM cmd=30 par=0 "), 1);
    EXPECT_FALSE(t.S().App().loopRunning);
    EXPECT_TRUE(t.Control<QPushButton>("MAINP", "ButtonRecStartTriggered")->isEnabled());
}

TEST(RecorderFrames, AFrameWithoutMeasuredValuesWritesNoLineAndIsCounted) {
    // An error frame has no words: its line repeated the previous frame's, as if measured.
    for (const int mode : {0, 3}) {
        SCOPED_TRACE(mode == 0 ? "count" : "triggered");
        Recorder t(200);
        ASSERT_TRUE(t.page().CreateRecordFile(t.RecordPath()));
        t.SelectMode(mode);
        if (mode == 0) {
            t.sensor.Model().Faults().Add(*sim::ParseFault("error:3@8#2"));
            t.Control<QSpinBox>("MAINP", "EditRecVal")->setValue(3);
            t.program.popups.AnswerConfirm(true);
            t.Control<QPushButton>("MAINP", "ButtonRecStart")->click();
        } else {
            t.sensor.Model().Faults().Add(*sim::ParseFault("error:3@30u#2"));
            int frames = 0;
            QObject::connect(&t.S(), &session::Session::FrameTaken, &t.S(), [&] {
                if (++frames == 2) t.Control<QPushButton>("MAINP", "ButtonRecStop")->click();
            });
            t.program.popups.AnswerConfirm(true);
            t.Control<QPushButton>("MAINP", "ButtonRecStartTriggered")->click();
        }
        const QList<QByteArray> lines = t.DataLines();
        ASSERT_EQ(lines.size(), 2);
        EXPECT_EQ(t.program.popups.Texts().back(), "File has been saved!");
        EXPECT_TRUE(t.program.Connection().Messages().contains(
            "1 FRAME WITHOUT MEASURED VALUES WAS NOT RECORDED!\n\n"));
    }
}

TEST(RecorderLostLines, AFileThatGoesAwayIsReportedInsteadOfTheSuccessText) {
    Recorder t;
    recorder::RecorderPage& p = t.page();
    ASSERT_TRUE(p.CreateRecordFile(t.dir.filePath("sub/rec.dat")) == false);  // no such dir
    QDir(t.dir.path()).mkdir(QStringLiteral("sub"));
    ASSERT_TRUE(p.CreateRecordFile(t.dir.filePath("sub/rec.dat")));
    t.program.popups.Clear();
    t.SelectMode(1);
    t.Control<QDoubleSpinBox>("MAINP", "EditInterval")->setValue(0.25);
    int frames = 0;
    QObject::connect(&t.S(), &session::Session::FrameTaken, &t.S(), [&] {
        ++frames;
        if (frames == 2) QDir(t.dir.filePath(QStringLiteral("sub"))).removeRecursively();
        if (frames == 4) t.Control<QPushButton>("MAINP", "ButtonRecStop")->click();
    });
    t.program.popups.AnswerConfirm(true);
    t.Control<QPushButton>("MAINP", "ButtonRecStart")->click();
    const auto& last = t.program.popups.History().back();
    EXPECT_EQ(last.title, "ATTENTION!");
    EXPECT_TRUE(last.text.startsWith("3 of 4 recorded frames could not be written"))
        << last.text.toStdString();
}
