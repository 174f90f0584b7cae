#include "shell/entry.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>

#include "params_core/program_title.h"
#include "shell/program.h"
#include "ui/panel_set.h"
#include "ui/popups.h"

namespace shell {

namespace {

// SIGTERM and SIGINT reach the event loop through a socket pair, where they become the
// main panel's close request.
int signalFds[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] auto n = ::write(signalFds[0], &byte, 1);
}

void InstallCloseOnSignals(Program& program, QObject* owner) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalFds) != 0) return;
    auto* notifier = new QSocketNotifier(signalFds[1], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [&program] {
        char byte;
        [[maybe_unused]] auto n = ::read(signalFds[1], &byte, 1);
        if (!program.QuitRequested()) program.RequestClose();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// Qt ends the process from inside QApplication when it finds no display; the program's
// promise is -1 without a window, so that case is recognised first.
bool DisplayAvailable() {
#if defined(Q_OS_LINUX)
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

}  // namespace

int ProgramEntry(int argc, char** argv, const session::PageFactories& pages) {
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "velorax-scope: no display to show the program on\n");
        return -1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velorax-scope"));
    QApplication::setOrganizationName(QStringLiteral("Orvantis"));

    // Lets a desktop match the windows to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("velorax-scope"));

    ui::QtPopups popups;
    QString error;
    ProgramOptions options;
    options.pages = pages;
    const QString programDir = QCoreApplication::applicationDirPath();
    options.resourceDir = FindResourceDir(programDir);
    std::unique_ptr<Program> program = Program::Create(programDir, popups, options, &error);
    if (!program) {
        std::fprintf(stderr, "velorax-scope: %s\n", qPrintable(error));
        if (!QFile::exists(
                QDir(options.resourceDir).filePath(QString::fromLatin1(ui::kPanelSetFile))))
            std::fprintf(stderr, "velorax-scope: the panel set %s is looked for in %s\n",
                         ui::kPanelSetFile,
                         qPrintable(ResourceDirCandidates(programDir).join(QStringLiteral(", "))));
        return -1;
    }
    program->MainPanel()->setWindowTitle(QString::fromLatin1(velorax::kProgramTitle));
    program->SetQuit([] { QCoreApplication::quit(); });

    QObject signalOwner;
    InstallCloseOnSignals(*program, &signalOwner);

    program->StartUp();
    if (!program->QuitRequested()) QApplication::exec();
    program->Shutdown();
    return 0;
}

}  // namespace shell
