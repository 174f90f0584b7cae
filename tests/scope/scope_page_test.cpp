// The scope page on the real panel set against the in-process simulated sensor: a scan on
// both transports, BREAK during the wait for a trigger, bad blocks, a hang-up, the cycle
// time and the cursor readout, the shown signal, and the printed record as a PDF file.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <cmath>
#include <tuple>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTabWidget>
#include <QRegularExpression>
#include <QTimer>
#include <functional>

#include "link/link_texts.h"
#include "program_fixture.h"
#include "scope/scope_page.h"
#include "scope/scope_print.h"
#include "sim/model/faults.h"
#include "sim/server/sim_server.h"

using testing_support::TestProgram;

namespace {

using testing_support::Transport;

struct Scope : testing_support::SensorProgram {
    explicit Scope(Transport transport = Transport::Tcp, sim::ServerOptions options = {})
        : SensorProgram(std::move(options), transport) {}
    scope::ScopePage& page() { return Page<scope::ScopePage>(); }
    // The page brought to the front, as the user does before a scan.
    void Select() {
        program.Control<QTabWidget>("MAINP", "TabMain1")
            ->setCurrentWidget(ui::PageWidget(program.Control<QTabWidget>("MAINP", "TabMain1"),
                                              session::kPageScope));
    }

    QTemporaryDir dir;
};

QString RunTool(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(20000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace

TEST(ScopeScan, SingleShotDrawsThreeTracesAndTwoBinaryTracesOnBothTransports) {
    for (Transport transport : {Transport::Tcp, Transport::Serial}) {
        SCOPED_TRACE(transport == Transport::Tcp ? "tcp" : "serial");
        Scope t(transport);
        ASSERT_TRUE(testing_support::ConnectedWithoutFailure(t.S())) << t.S().LinkStatus().message;
        scope::ScopePage& p = t.page();
        t.Select();
        EXPECT_TRUE(t.program->Panel("SCOPEP")->isVisibleTo(t.program->Panel("MAINP")));
        EXPECT_TRUE(ui::IsDimmed(t.Control<QSpinBox>("MAINP", "EditPreTrigVal")));  // single shot
        bool scanning = false;
        QTimer watch;
        watch.setInterval(0);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (p.ScanActive())
                scanning = ui::IsVisible(t.Control<QLabel>("SCOPEP", "LedScanRunning")) &&
                           t.Control<QPushButton>("MAINP", "ButtonBreakScan")->isEnabled();
        });
        watch.start();
        t.Control<QPushButton>("MAINP", "ButtonScan")->click();
        watch.stop();
        EXPECT_TRUE(scanning);
        EXPECT_FALSE(p.ScanActive());
        EXPECT_FALSE(ui::IsVisible(t.Control<QLabel>("SCOPEP", "LedScanRunning")));
        EXPECT_TRUE(t.Control<QPushButton>("MAINP", "ButtonScan")->isEnabled());
        EXPECT_EQ(p.ScopeGraph()->PlotCount(), 3);
        EXPECT_EQ(p.BinaryGraph()->PlotCount(), 2);
        EXPECT_TRUE(t.program.popups.History().empty());
        // The calibrated signals of the simulated scene: something, within 12 bits.
        int nonZero = 0;
        for (int b = 0; b < 3; ++b)
            for (std::uint16_t v : p.Traces()[static_cast<std::size_t>(b)]) {
                EXPECT_LE(v, 4095);
                nonZero += v > 0;
            }
        EXPECT_GT(nonZero, 100);
        EXPECT_DOUBLE_EQ(p.ScopeGraph()->AxisRange(ui::Axis::X).upper, 128.0);
    }
}

TEST(ScopeScan, BreakEndsTheWaitForATriggerAndTheNextScanWorks) {
    Scope t;
    scope::ScopePage& p = t.page();
    t.Select();
    testing_support::Choose(t.Control<QComboBox>("MAINP", "EditTriggerMode"), scope::kModeRising);
    EXPECT_FALSE(ui::IsDimmed(t.Control<QSpinBox>("MAINP", "EditTriggerLevel")));
    EXPECT_FALSE(ui::IsDimmed(t.Control<QSpinBox>("MAINP", "EditPreTrigVal")));
    ui::SetValue(t.Control<QSpinBox>("MAINP", "EditTriggerLevel"),
                 4095);  // the blue line never gets there
    int scans = 0;
    QTimer breaker;
    breaker.setInterval(50);
    QObject::connect(&breaker, &QTimer::timeout, [&] {
        if (p.ScanActive()) t.Control<QPushButton>("MAINP", "ButtonBreakScan")->click();
    });
    breaker.start();
    t.Control<QPushButton>("MAINP", "ButtonScan")->click();
    breaker.stop();
    ++scans;
    EXPECT_FALSE(p.ScanActive());
    EXPECT_EQ(p.ScopeGraph()->PlotCount(), 0);  // nothing drawn
    EXPECT_TRUE(t.program.popups.History().empty());
    EXPECT_TRUE(testing_support::ConnectedWithoutFailure(t.S()));

    // Single shot now: the stream is clean, the blocks come.
    ui::SetComboValue(t.Control<QComboBox>("MAINP", "EditTriggerMode"), scope::kModeSingleShot);
    t.Control<QPushButton>("MAINP", "ButtonScan")->click();
    EXPECT_EQ(p.ScopeGraph()->PlotCount(), 3);
    EXPECT_TRUE(t.program.popups.History().empty());

    // Showing one signal redraws the stored traces without asking the sensor.
    const auto traces = p.Traces();
    testing_support::Choose(t.Control<QComboBox>("SCOPEP", "EditScopeSignal"), 2);
    EXPECT_EQ(p.ScopeGraph()->PlotCount(), 1);
    EXPECT_EQ(p.Traces(), traces);
}

TEST(ScopeScan, EveryWayTheWaitEndsEarlySwitchesTheScanOffAtTheSensor) {
    // STOP and the connection page end the wait as BREAK does; the sensor, still armed,
    // sent its blocks later into the next exchange.
    struct Way {
        const char* name;
        std::function<void(Scope&)> end;
    };
    const Way ways[] = {
        {"STOP", [](Scope& t) { t.Control<QPushButton>("MAINP", "ButtonStop")->click(); }},
        {"connection page",
         [](Scope& t) {
             auto* tabs = t.program.Control<QTabWidget>("MAINP", "TabMain1");
             tabs->setCurrentWidget(ui::PageWidget(tabs, session::kPageConnection));
         }},
    };
    for (const Transport transport : {Transport::Tcp, Transport::Serial}) {
        for (const Way& way : ways) {
            SCOPED_TRACE(std::string(way.name) +
                         (transport == Transport::Tcp ? " TCP" : " serial"));
            QTemporaryDir dir;
            sim::ServerOptions o;
            o.tracePath = dir.filePath("trace.txt");
            Scope t(transport, o);
            t.Select();
            testing_support::Choose(t.Control<QComboBox>("MAINP", "EditTriggerMode"),
                                    scope::kModeRising);
            ui::SetValue(t.Control<QSpinBox>("MAINP", "EditTriggerLevel"), 4095);  // never
            QTimer ender;
            ender.setInterval(50);
            bool looping = false;  // a scan is a loop while it waits for its blocks
            QObject::connect(&ender, &QTimer::timeout, [&] {
                if (!t.page().ScanActive()) return;
                looping = t.S().LoopRunning();
                way.end(t);
            });
            ender.start();
            t.Control<QPushButton>("MAINP", "ButtonScan")->click();
            ender.stop();
            EXPECT_FALSE(t.page().ScanActive());
            EXPECT_TRUE(looping);
            EXPECT_FALSE(t.S().LoopRunning());
            QFile trace(o.tracePath);
            ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
            const QByteArray lines = trace.readAll();
            const qsizetype start = lines.indexOf("PC>SIM cmd=110 par=1");
            ASSERT_GE(start, 0);
            EXPECT_GT(lines.indexOf("PC>SIM cmd=110 par=0", start), start);
            EXPECT_TRUE(t.Reports().isEmpty());
        }
    }
}

TEST(ScopeScan, BadBlocksAreReportedAndDrawNothing) {
    struct Case {
        const char* fault;
        std::string_view text;
    };
    const Case cases[] = {
        {"badcrc-payload@110u#3", sensorlink::kDataFrameText},
        {"badcrc-header@110u#1", sensorlink::kHeaderFrameText},
        {"short:100@110u#2", sensorlink::kDataFrameText},  // 50 words instead of 129
        {"short:0@110u#4", sensorlink::kHeaderFrameText},   // a block without payload
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        Scope t;
        scope::ScopePage& p = t.page();
        t.Fault(c.fault);
        t.Fault("split@110u");  // blocks byte by byte, too
        QString reported;
        QObject::connect(&t.S(), &session::Session::LinkFailed, &t.S(),
                         [&](const QString& text) { reported = text; });
        t.Control<QPushButton>("MAINP", "ButtonScan")->click();
        EXPECT_EQ(reported.toStdString(), std::string(c.text));
        EXPECT_EQ(p.ScopeGraph()->PlotCount(), 0);
        EXPECT_FALSE(p.ScanActive());
        EXPECT_TRUE(t.Control<QPushButton>("MAINP", "ButtonScan")->isEnabled());
    }
}

TEST(ScopeScan, AHangUpDuringTheWaitEndsTheScanWithTheTextOfItsLink) {
    // A serial line that fails while the scan waits for its blocks has no unanswered
    // request: its text says so, without "NO DATA RECEIVED!".
    const std::pair<Transport, QString> cases[] = {
        {Transport::Tcp, QStringLiteral("SERVER HAS CLOSED CONNECTION!")},
        {Transport::Serial, QStringLiteral("TIMEOUT! \nCOMMUNICATION ERROR! \nCHECK POWER SUPPLY "
                                           "AND COM SETTINGS. \nTRY TO CONNECT AGAIN!")}};
    for (const auto& [transport, text] : cases) {
        Scope t(transport);
        scope::ScopePage& p = t.page();
        ui::SetComboValue(t.Control<QComboBox>("MAINP", "EditTriggerMode"), scope::kModeRising);
        ui::SetValue(t.Control<QSpinBox>("MAINP", "EditTriggerLevel"), 4095);
        QTimer::singleShot(100, [&] { t.sensor.Stop(); });
        QStringList reported;
        QObject::connect(&t.S(), &session::Session::LinkFailed, &t.S(),
                         [&](const QString& message) { reported << message; });
        t.Control<QPushButton>("MAINP", "ButtonScan")->click();
        ASSERT_FALSE(reported.isEmpty());
        EXPECT_EQ(reported.first(), text);
        if (transport == Transport::Serial) {
            EXPECT_EQ(reported.size(), 1);
        }
        EXPECT_FALSE(p.ScanActive());
        EXPECT_EQ(p.ScopeGraph()->PlotCount(), 0);
    }
}

TEST(ScopeReadout, CycleTimeFromTheSensorAndTheCursorsInMillisecondsDigitsAndVolts) {
    Scope t;
    scope::ScopePage& p = t.page();
    t.Control<QPushButton>("MAINP", "ButtonGetCycleTime")->click();
    ASSERT_GT(p.CycleTime(), 0.0);
    const double frequency = t.Control<QLineEdit>("MAINP", "DispScanFreq")->text().toDouble();
    EXPECT_NEAR(frequency * p.CycleTime(), 1000.0, 1.0);
    EXPECT_TRUE(t.Control<QLineEdit>("MAINP", "DispCycleTime")->text().contains('.'));

    p.ScopeGraph()->SetCursor(1, 10.7, 4096.5);
    p.ScopeGraph()->SetCursor(2, 3.2, 0.4);
    t.Control<QSpinBox>("MAINP", "EditScanRate")->setValue(4);
    const scope::CursorReadout r = scope::ReadCursors(10.7, 4096.5, 3.2, 0.4, 4, p.CycleTime());
    EXPECT_EQ(t.Control<QLineEdit>("SCOPEP", "DispDeltaX")->text(),
              QString::number(r.deltaX, 'f', r.deltaXDecimals));
    EXPECT_EQ(t.Control<QLineEdit>("SCOPEP", "DispDeltaY")->text(), "4096");
    EXPECT_EQ(t.Control<QLineEdit>("SCOPEP", "DispDeltaYVolt")->text(), "10.000");
    // The binary graph marks the same instants.
    EXPECT_EQ(p.BinaryGraph()->CursorPosition(1).x(), 10.7);
    EXPECT_EQ(p.BinaryGraph()->CursorPosition(2).x(), 3.2);

    // The volts display only for the third recorded signal.
    testing_support::Choose(t.Control<QComboBox>("MAINP", "EditScopeRecSignal"), 2);
    EXPECT_TRUE(ui::IsVisible(t.Control<QLineEdit>("SCOPEP", "DispDeltaYVolt")));
    testing_support::Choose(t.Control<QComboBox>("MAINP", "EditScopeRecSignal"), 1);
    EXPECT_FALSE(ui::IsVisible(t.Control<QLineEdit>("SCOPEP", "DispDeltaYVolt")));

    // ZOOM 1:1: back to 0 ... 128 and the y range of the signal.
    p.ScopeGraph()->SetAxisRange(ui::Axis::X, 10, 20);
    t.Control<QPushButton>("SCOPEP", "ButtonZoom11")->click();
    EXPECT_DOUBLE_EQ(p.ScopeGraph()->AxisRange(ui::Axis::X).upper, 128.0);

    // A failed query: 0, and delta X reads 0.
    t.sensor.Stop();
    t.Control<QPushButton>("MAINP", "ButtonGetCycleTime")->click();
    EXPECT_EQ(p.CycleTime(), 0.0);
    EXPECT_EQ(t.Control<QLineEdit>("SCOPEP", "DispDeltaX")->text().toDouble(), 0.0);

    // The comment box clears on a right double-click.
    t.Control<QPlainTextEdit>("MAINP", "EditScopeComment")
        ->setPlainText(QStringLiteral("to be cleared"));
    testing_support::RightDoubleClick(t.Control("MAINP", "EditScopeComment"));
    EXPECT_TRUE(t.Control<QPlainTextEdit>("MAINP", "EditScopeComment")->toPlainText().isEmpty());
}

// The binary graph was 30 pixels high, kept 0 ... 128 while the scope graph zoomed, and the
// cursors' lines lay on the x axis until dragged.
TEST(ScopeGraphs, BinaryGraphTallEnoughFollowsTheZoomAndCursorsStartOnTheTrace) {
    Scope t;
    t.Select();
    t.Control<QPushButton>("MAINP", "ButtonScan")->click();
    ui::Graph* graph = t.page().ScopeGraph();
    ui::Graph* binary = t.page().BinaryGraph();
    binary->ReplotNow();
    EXPECT_GE(binary->axisRect()->height(), 60);  // at the default window size
    for (int c = 1; c <= 2; ++c) {
        const QPointF at = graph->CursorPosition(c);
        EXPECT_EQ(at.y(), t.page().Traces()[0][static_cast<std::size_t>(std::lround(at.x()))]);
    }
    for (auto [type, x, buttons] : {std::tuple{QEvent::MouseButtonPress, 40, Qt::LeftButton},
                                    {QEvent::MouseMove, 80, Qt::LeftButton},
                                    {QEvent::MouseButtonRelease, 80, Qt::NoButton}}) {
        const QPointF at(graph->xAxis->coordToPixel(x), graph->yAxis->coordToPixel(2000 - 10 * x));
        QMouseEvent e(type, at, graph->mapToGlobal(at), Qt::LeftButton, buttons,
                      Qt::ControlModifier);
        QCoreApplication::sendEvent(graph, &e);
    }
    EXPECT_NEAR(binary->AxisRange(ui::Axis::X).lower, 40, 1);
    EXPECT_EQ(binary->AxisRange(ui::Axis::X), graph->AxisRange(ui::Axis::X));
    QTest::keyClick(graph, Qt::Key_0);  // the keys' 1:1
    EXPECT_DOUBLE_EQ(binary->AxisRange(ui::Axis::X).upper, 128.0);
}

TEST(ScopePrint, TheRecordGoesIntoAPdfWithItsLinesAndThePanelPicture) {
    Scope t;
    t.Select();
    t.Control<QPushButton>("MAINP", "ButtonScan")->click();
    auto& popups = t.program.popups;
    popups.Clear();

    // Cancelled: nothing, silently.
    t.Control<QPushButton>("MAINP", "ButtonPrintScopeGraph")->click();
    ASSERT_EQ(popups.History().size(), 1u);
    EXPECT_EQ(popups.History()[0].kind, ui::ScriptedPopups::Kind::Print);
    EXPECT_TRUE(popups.History()[0].text.startsWith("scope-"));
    EXPECT_TRUE(popups.History()[0].text.endsWith(".pdf"));

    // Without identification and comment.
    const QString bare = t.dir.filePath(QStringLiteral("bare.pdf"));
    popups.AnswerPrint(bare);
    t.Control<QPushButton>("MAINP", "ButtonPrintScopeGraph")->click();
    EXPECT_EQ(popups.History().back().title, "Info!");
    EXPECT_EQ(popups.History().back().text, "Print successful!");
    const QString bareText = RunTool(QStringLiteral("pdftotext"), {bare, QStringLiteral("-")});
    ASSERT_FALSE(bareText.isEmpty()) << "pdftotext (poppler-utils) is needed";
    EXPECT_TRUE(bareText.contains("Scope Screen Shot"));
    EXPECT_TRUE(bareText.contains("VELORAX3-KVT-ANA-Scope V1.0"));
    EXPECT_TRUE(bareText.contains("page 1 of 1"));
    EXPECT_FALSE(bareText.contains("PANEL ID"));
    EXPECT_FALSE(bareText.contains("COMMENT"));
    // The panel's picture is on the page.
    const QString images = RunTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), bare});
    EXPECT_GE(images.count('\n'), 3) << images.toStdString();  // two header lines and an image

    // With both: in the order of the report.
    t.S().SetIdentificationText(QStringLiteral("Line 4 station 2"));
    t.Control<QPlainTextEdit>("MAINP", "EditScopeComment")
        ->setPlainText(QStringLiteral("Trigger seen on part 17.\nSecond line."));
    const QString full = t.dir.filePath(QStringLiteral("full.pdf"));
    popups.AnswerPrint(full);
    t.Control<QPushButton>("MAINP", "ButtonPrintScopeGraph")->click();
    const QString text = RunTool(QStringLiteral("pdftotext"), {full, QStringLiteral("-")});
    const qsizetype title = text.indexOf("Scope Screen Shot");
    const qsizetype id = text.indexOf("PANEL ID: Line 4 station 2");
    const qsizetype label = text.indexOf("COMMENT:");
    const qsizetype first = text.indexOf("Trigger seen on part 17.");
    const qsizetype second = text.indexOf("Second line.");
    EXPECT_TRUE(title >= 0 && id > title && label > id && first > label && second > first)
        << text.toStdString();

    // A word longer than the line wraps inside itself; no character of the comment (1023
    // characters at most) is lost at the edge.
    QString word;
    for (int i = 0; i < 1023; ++i) word += QChar('a' + i % 26);
    t.Control<QPlainTextEdit>("MAINP", "EditScopeComment")->setPlainText(word);
    const QString longPdf = t.dir.filePath(QStringLiteral("long.pdf"));
    popups.AnswerPrint(longPdf);
    t.Control<QPushButton>("MAINP", "ButtonPrintScopeGraph")->click();
    QString printed = RunTool(QStringLiteral("pdftotext"), {longPdf, QStringLiteral("-")});
    printed.remove(QRegularExpression(QStringLiteral("\\s")));
    EXPECT_TRUE(printed.contains(word)) << printed.toStdString();

    EXPECT_EQ(scope::ReportLines({}, {}),
              (QStringList{"Scope Screen Shot", "VELORAX3-KVT-ANA-Scope V1.0", ""}));
}

TEST(ScopePrint, APanelThatCannotBeRenderedIsSaidAndNothingIsPrinted) {
    ui::ScriptedPopups popups;
    popups.AnswerPrint(QStringLiteral("/nonexistent/never.pdf"));
    scope::PrintReport(popups, nullptr, {}, {});
    ASSERT_EQ(popups.History().size(), 1u);
    EXPECT_EQ(popups.History()[0].title, "ERROR");
    EXPECT_EQ(popups.History()[0].text, "Could not initialize the print report...");

    // A printer that cannot be painted on (a PDF in a folder that does not exist).
    QWidget panel;
    panel.resize(50, 40);
    popups.Clear();
    scope::PrintReport(popups, &panel, {}, {});
    EXPECT_EQ(popups.History().back().text, "Print error ");
    EXPECT_EQ(popups.History().back().title, "Info!");
}
