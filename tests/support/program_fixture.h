#pragma once
// A whole program for a test: the real panel set in a temporary program directory,
// scripted pop-ups, and optionally a settings file written before start-up.

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "shell/program.h"
#include "ui/popups.h"

namespace testing_support {

// Processes events until `condition` holds or `timeoutMs` pass; true when it held.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

// A local TCP port that is free now.
int FreeTcpPort();
// A panel settings file that selects TCP to a local port where nobody listens: start-up
// fails at once instead of waiting for a serial device that may exist on the machine.
QString NoSensorSettingsText();
// A panel settings file that selects TCP to host:port.
QString TcpSettingsText(const QString& host, int port);
// A panel settings file that selects the serial port typed as `device`.
QString SerialSettingsText(const QString& device, int baudIndex = 4);

class TestProgram {
  public:
    // An empty `settings` leaves the program without a settings file.
    explicit TestProgram(const QString& settings = {});
    ~TestProgram();

    shell::Program& operator*() { return *program; }
    shell::Program* operator->() { return program.get(); }

    QString Dir() const { return dir.path(); }
    QString SettingsPath() const;
    QString ReadSettingsFile() const;

    QTemporaryDir dir;
    ui::ScriptedPopups popups;
    std::unique_ptr<shell::Program> program;
    QString createError;
};

}  // namespace testing_support
