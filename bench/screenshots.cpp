// The pictures of the user guide (docs/guide.md): the whole program against velorax-sim as
// a process of its own, each page brought to the front as a user would and shown at work
// (a live loop, captures, a recording, a scan), the main window saved as a PNG file per
// page. Run by scripts/screenshots (under Xvfb when there is no display), never by ctest.
//
//   screenshots OUTPUT_DIR [SCALE]
//
// SCALE only names the files (the caller sets QT_SCALE_FACTOR); 1 by default.

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <cstdio>
#include <functional>

#include "bench_program.h"
#include "measure/measure_page.h"
#include "params/parameter_panel.h"
#include "recorder/recorder_page.h"
#include "scope/scope_page.h"

namespace {

using namespace bench;

class Shots {
  public:
    Shots(BenchProgram& program, QString dir, QString suffix)
        : p_(program), dir_(std::move(dir)), suffix_(std::move(suffix)) {}

    void Page(int page) {
        QTabWidget* tabs = p_.Control<QTabWidget>("MAINP", "TabMain1");
        tabs->setCurrentWidget(ui::PageWidget(tabs, page));  // as a click on the tab
        Settle(0.3);
    }
    // The live loop for `seconds`, then `shot` while it still runs (GO dimmed, as the user
    // sees it during GO), then STOP.
    void Go(double seconds, const std::function<void()>& shot = {}) {
        QTimer::singleShot(static_cast<int>(seconds * 1000), [this, shot] {
            if (shot) shot();
            p_.S().StopLoops();
        });
        p_.Control<QPushButton>("MAINP", "ButtonGo")->click();
        Settle(0.2);
    }
    void GoAndSave(const char* name, double seconds) {
        Go(seconds, [this, name] { Save(name); });
    }
    // A page of the data panel's tab control, as a click on its tab.
    void DataPage(int page) {
        QTabWidget* tabs = p_.Control<QTabWidget>("DATAP", "TabDataP1");
        tabs->setCurrentWidget(ui::PageWidget(tabs, page));
        Settle(0.3);
    }
    // CALCULATION MODE as the user chooses it on the parameter page.
    void CalculationMode(int mode) {
        BenchProgram::Choose(
            p_.Control<QComboBox>("MAINP", params::WordControlName(params::kCalculationMode)),
            mode);
        Settle(0.3);
    }
    void Save(const char* name) {
        Settle(0.2);
        Write(name, p_.Program().MainPanel()->grab());
    }
    // The screen around the main window and the windows beside it.
    void SaveScreen(const char* name, const QRect& area) {
        Settle(0.3);
        QScreen* screen = p_.Program().MainPanel()->screen();
        Write(name, screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()));
    }
    static void Settle(double seconds) {
        Wait([] { return false; }, seconds);
    }

  private:
    void Write(const char* name, const QPixmap& picture) {
        const QString path = QStringLiteral("%1/%2%3.png").arg(dir_, QLatin1String(name), suffix_);
        const bool ok = picture.save(path);
        std::printf("%s %s\n", ok ? "saved" : "NOT SAVED", qPrintable(path));
    }

    BenchProgram& p_;
    QString dir_;
    QString suffix_;
};

void TakeAll(const QString& dir, const QString& suffix) {
    SimProcess sim({"--tcp", "127.0.0.1:0", "--taught-scene", "--trigger-rate", "20"});
    if (!sim.Ok()) return;
    BenchProgram program(TcpSettings(sim.Port()));
    if (!program.Ok()) {
        std::printf("program not connected: %s\n", qPrintable(program.Message()));
        return;
    }
    program.Program().MainPanel()->resize(790, 548);
    Shots shots(program, dir, suffix);
    ui::ScriptedPopups& popups = program.Popups();

    shots.Page(session::kPageConnection);
    shots.Save("connection");

    shots.Page(session::kPageParameter);
    shots.GoAndSave("parameters", 1.5);

    // The data panel's other pages: the coordinate charts, the 3D views (in a 3D mode) and
    // the large colour and group windows beside the main window.
    shots.DataPage(measure::kPageCoord);
    shots.GoAndSave("data-coordinates", 1.5);
    shots.CalculationMode(2);
    shots.DataPage(measure::kPage3D);
    shots.GoAndSave("data-3d", 1.5);
    shots.CalculationMode(0);
    shots.DataPage(measure::kPage2D);
    QWidget* colBig = program.Program().Panel("COLBIGP");
    QWidget* grpBig = program.Program().Panel("GRPBIGP");
    BenchProgram::DoubleClick(program.Control("DATAP", "DispCOL"));
    BenchProgram::DoubleClick(program.Control("DATAP", "DispGroup"));
    const QRect around = program.Program().MainPanel()->frameGeometry().united(
        grpBig->frameGeometry().united(colBig->frameGeometry()));
    shots.Go(1.0, [&] { shots.SaveScreen("big-displays", around); });
    colBig->close();
    grpBig->close();

    shots.Page(session::kPageGroupHold);
    shots.Save("group-hold");

    shots.Page(session::kPageTeachTable);
    shots.GoAndSave("teach-table", 1.0);

    // The capture-and-mean panel: its own live loop, ten captures, then CLOSE.
    int frames = 0;
    program.onFrame = [&](int) {
        ++frames;
        if (frames % 5 == 0 && frames <= 50)
            program.Control<QPushButton>("TEACHP1", "ButtonTP1Capture")->click();
        if (frames == 80) program.S().StopLoops();
    };
    program.Control<QPushButton>("MAINP", "ButtonTeachMean")->click();
    program.onFrame = {};
    shots.Save("teach-mean");
    program.Control<QPushButton>("TEACHP1", "ButtonCloseTeachPanel")->click();

    // The record-based panel: a recording of a few seconds of the scene.
    program.Control<QPushButton>("MAINP", "ButtonTeachRecVal")->click();
    QTimer::singleShot(4000, [&] { program.S().StopLoops(); });
    program.Control<QPushButton>("TEACHP2", "ButtonTP2Start")->click();
    shots.Save("teach-record");
    program.Control<QPushButton>("TEACHP2", "ButtonCloseTP2")->click();

    // The recorder: a continuous recording, then the record graph.
    QTemporaryDir files;
    auto* recorder = program.Page<recorder::RecorderPage>();
    shots.Page(session::kPageRecorder);
    recorder->CreateRecordFile(files.filePath(QStringLiteral("RecordFile.dat")));
    BenchProgram::Choose(program.Control<QComboBox>("MAINP", "EditRecMode"),
                         recorder::kModeContinuous);
    program.Control<QDoubleSpinBox>("MAINP", "EditInterval")->setValue(0.25);
    QTimer::singleShot(6000,
                       [&] { program.Control<QPushButton>("MAINP", "ButtonRecStop")->click(); });
    popups.AnswerConfirm(true);
    program.Control<QPushButton>("MAINP", "ButtonShowGraph")->click();
    program.Control<QPushButton>("MAINP", "ButtonRecStart")->click();
    shots.Save("recorder");

    // The scope: cycle time, a single-shot scan, the cursors apart.
    auto* scope = program.Page<scope::ScopePage>();
    shots.Page(session::kPageScope);
    program.Control<QPushButton>("MAINP", "ButtonGetCycleTime")->click();
    // The scan puts each cursor onto the trace where it stands.
    scope->ScopeGraph()->SetCursor(1, 20, 0);
    scope->ScopeGraph()->SetCursor(2, 84, 0);
    program.Control<QPushButton>("MAINP", "ButtonScan")->click();
    program.Control<QPlainTextEdit>("MAINP", "EditScopeComment")
        ->setPlainText(QStringLiteral("Scan of the white patch"));
    shots.Save("scope");

    shots.Page(session::kPageCalibration);
    shots.GoAndSave("calibration", 1.5);

    shots.Page(session::kPageTableAttributes);
    shots.GoAndSave("table-attributes", 1.0);

    // The service page behind the password.
    auto* password =
        program.Program().Panel("PASSWORDP")->findChild<QLineEdit*>(QStringLiteral("StringEnterPW"));
    password->setText(QStringLiteral("tovrin"));
    emit password->returnPressed();
    program.Control<QPushButton>("MAINP", "ButtonGetOffset")->click();
    shots.Save("offset");
    program.Control<QPushButton>("MAINP", "ButtonCloseOffsetCompensation")->click();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::printf("usage: screenshots OUTPUT_DIR [SCALE]\n");
        return 2;
    }
    const QString suffix = args.size() > 2 && args[2] != QLatin1String("1")
                               ? QStringLiteral("@%1x").arg(args[2])
                               : QString();
    TakeAll(args[1], suffix);
    return 0;
}
