#pragma once
// What the whole-program benchmarks share besides bench_sim.h (velorax-sim as a child
// process, the bare exchange rate, the resident memory, the verdict line): the program in a
// temporary program folder with a settings file. Header-only: each benchmark is one
// translation unit.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>

#include "bench_clock.h"
#include "bench_sim.h"
#include "link/commands.h"
#include "link/frame.h"
#include "link/link.h"
#include "link/serial_ports.h"
#include "measure/measure_page.h"
#include "shell/branding.h"
#include "shell/page_list.h"
#include "shell/program.h"
#include "ui/panel_set.h"
#include "ui/popups.h"
#include "ui/runtime.h"
#include "ui/wait.h"

namespace bench {

inline QString Lines(const QStringList& lines) {
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

inline QString TcpSettings(int port) {
    return Lines({"[GENERAL INFO]", "FILE TYPE: = \"Panel Settings\"", "",
                  "[COMMUNICATION SETTINGS]", "COMPROTOCOL = 1", "IP ADRESS = \"127.0.0.1\"",
                  QStringLiteral("PORT NUMBER = \"%1\"").arg(port), ""});
}

// Serial port 1001 is the first device path the settings file lists.
inline QString SerialSettings(const QString& device) {
    return Lines({"[GENERAL INFO]", "FILE TYPE: = \"Panel Settings\"", "",
                  "[COMMUNICATION SETTINGS]", "COMPROTOCOL = 0", "COMPORT = 1001",
                  QStringLiteral("BAUDRATE = %1").arg(kBaudIndex115200), "", "[SERIAL DEVICES]",
                  QStringLiteral("DEVICE 1 = \"%1\"").arg(device), ""});
}

// The whole program in a temporary program folder, started and connected.
class BenchProgram {
  public:
    explicit BenchProgram(const QString& settings) {
        QFile::copy(QStringLiteral(VELORAX_UIR_PATH),
                    dir_.filePath(QString::fromLatin1(ui::kPanelSetFile)));
        // The logo beside the panel set, as an installed program has it.
        const QString logo = QString::fromLatin1(shell::kLogoFile);
        QFile::copy(QFileInfo(QStringLiteral(VELORAX_UIR_PATH)).dir().filePath(logo),
                    dir_.filePath(logo));
        QFile file(dir_.filePath(QStringLiteral("PanelSettings.cfg")));
        if (file.open(QIODevice::WriteOnly)) file.write(settings.toUtf8());
        file.close();
        shell::ProgramOptions options;
        options.pages = shell::AllPages();
        // The machine's own serial ports stay out of it.
        options.session.portScanner = [] { return QList<sensorlink::SystemPort>{}; };
        QString error;
        program_ = shell::Program::Create(dir_.path(), popups_, options, &error);
        if (!program_) {
            std::printf("program not created: %s\n", qPrintable(error));
            return;
        }
        program_->SetQuit([] {});
        QObject::connect(&program_->Session(), &session::Session::LinkFailed,
                         &program_->Session(), [this] { ++failures_; });
        program_->StartUp();
        for (const auto& page : program_->Pages())
            if (auto* m = dynamic_cast<measure::MeasurePage*>(page.get())) measure_ = m;
        QObject::connect(&program_->Session(), &session::Session::FrameTaken, &program_->Session(),
                         [this] {
                             ++frames;
                             if (frames == firstOfTurn_) first_ = {WallSeconds(), SelfCpuSeconds()};
                             if (onFrame) onFrame(frames);
                         });
    }
    ~BenchProgram() {
        if (program_) program_->Shutdown();
    }
    BenchProgram(const BenchProgram&) = delete;
    BenchProgram& operator=(const BenchProgram&) = delete;

    // Connected, and no failure reported since start-up or the last TRY TO CONNECT.
    bool Ok() const {
        return program_ && measure_ && program_->Session().Link().Up() &&
               failures_ == failuresBefore_;
    }
    QString Message() const {
        return program_ ? QString::fromStdString(program_->Session().LinkStatus().message)
                        : QStringLiteral("no program");
    }
    session::Session& S() { return program_->Session(); }
    ui::ScriptedPopups& Popups() { return popups_; }
    shell::Program& Program() { return *program_; }
    template <class T>
    T* Page() {
        for (const auto& page : program_->Pages())
            if (auto* p = dynamic_cast<T*>(page.get())) return p;
        return nullptr;
    }

    // A control of the panel set by its panel and object name; nullptr when there is none.
    template <class T = QWidget>
    T* Control(const char* panel, const char* name) {
        QWidget* p = program_->Panel(panel);
        return p ? p->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    }
    // A double click of the left mouse button on a control.
    static void DoubleClick(QWidget* control) {
        QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                        Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(control, &dbl);
    }
    // The user picks the item of `value` from a list.
    static void Choose(QComboBox* list, int value) {
        ui::SetComboValue(list, value);
        emit list->activated(list->currentIndex());
    }

    // A turn of the loop: frames, wall and thread CPU seconds from GO to the end of STOP; and
    // from its first frame to the moment the timer stopped it, the frames after the first and
    // the wall and process CPU seconds they took (GO and STOP, some 5 ms of dimming buttons
    // and repainting once a turn, left out).
    struct Loop {
        int frames = 0;
        double wall = 0;
        double cpu = 0;
        int steadyFrames = 0;
        double steadyWall = 0;
        double steadyCpu = 0;
        Loop& operator+=(const Loop& other) {
            frames += other.frames;
            wall += other.wall;
            cpu += other.cpu;
            steadyFrames += other.steadyFrames;
            steadyWall += other.steadyWall;
            steadyCpu += other.steadyCpu;
            return *this;
        }
        double SteadyRate() const { return steadyFrames / steadyWall; }
        double CpuPerFrame() const { return steadyCpu / steadyFrames; }
    };

    // TRY TO CONNECT after another client took the simulator over, then back to the
    // parameter page the program shows after start-up.
    bool Reconnect() {
        failuresBefore_ = failures_;
        Control<QPushButton>("MAINP", "ButtonTryToConnect")->click();
        ui::SetActiveTabPage(Control<QTabWidget>("MAINP", "TabMain1"), session::kPageParameter);
        return Ok();
    }

    // GO, ended after `seconds` by a timer that clears loopRunning (or earlier by onFrame).
    Loop Go(double seconds) {
        const int frames0 = frames;
        Loop loop;
        firstOfTurn_ = frames0 + 1;
        first_ = {};
        QTimer stop;
        stop.setSingleShot(true);
        stop.setTimerType(Qt::PreciseTimer);
        QObject::connect(&stop, &QTimer::timeout, [this, &loop] {
            if (first_.wall > 0 && frames > firstOfTurn_) {
                loop.steadyFrames = frames - firstOfTurn_;
                loop.steadyWall = WallSeconds() - first_.wall;
                loop.steadyCpu = SelfCpuSeconds() - first_.cpu;
            }
            S().StopLoops();
        });
        if (seconds > 0) stop.start(static_cast<int>(seconds * 1000));
        const double wall0 = WallSeconds();
        const double cpu0 = ThreadCpuSeconds();
        Control<QPushButton>("MAINP", "ButtonGo")->click();
        const bool stoppedByTimer = seconds > 0 && !stop.isActive();
        firstOfTurn_ = 0;
        loop.cpu = ThreadCpuSeconds() - cpu0;
        loop.wall = WallSeconds() - wall0;
        loop.frames = frames - frames0;
        if (seconds > 0 && !stoppedByTimer)
            std::printf("  the loop ended before its time: %s\n", qPrintable(Message()));
        return loop;
    }

    // What is on screen while the loop runs.
    QString Shown() {
        QTabWidget* tabs = Control<QTabWidget>("DATAP", "TabDataP1");
        return QStringLiteral("data panel %1, data page \"%2\"")
            .arg(program_->Panel("DATAP")->isVisible() ? "shown" : "hidden",
                 tabs->tabText(tabs->currentIndex()));
    }

    int frames = 0;
    std::function<void(int)> onFrame;

  private:
    int failures_ = 0;        // failures reported
    int failuresBefore_ = 0;  // of them, before the last TRY TO CONNECT
    struct Mark {
        double wall = 0;
        double cpu = 0;
    };
    int firstOfTurn_ = 0;  // the count of the first frame of the turn Go is running
    Mark first_;
    QTemporaryDir dir_;
    ui::ScriptedPopups popups_;
    std::unique_ptr<shell::Program> program_;
    measure::MeasurePage* measure_ = nullptr;
};

}  // namespace bench
