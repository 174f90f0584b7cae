#pragma once
// A whole program for a test: the real panel set in a temporary program directory,
// scripted pop-ups, every page of the program, no serial port of the machine (the port
// table sees none), and optionally a settings file written before start-up.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "connection/connection_page.h"
#include "session/session.h"
#include "shell/program.h"
#include "sim/server/sim_server.h"
#include "ui/panel_set.h"
#include "ui/popups.h"
#include "wait_for.h"

namespace testing_support {

// A local TCP port that is free now.
int FreeTcpPort();
// A panel settings file that selects TCP to a local port where nobody listens: start-up
// fails at once.
QString NoSensorSettingsText();
// A panel settings file that selects TCP to host:port.
QString TcpSettingsText(const QString& host, int port);
// A panel settings file that selects the serial port typed as `device`.
QString SerialSettingsText(const QString& device, int baudIndex = 4);

// What the user does to a control, through the events a user's hand makes: the program's
// callbacks run as they do for the user.
// Picks the item of `value` from a list.
void Choose(QComboBox* list, int value);
// A double click with the left mouse button, and with the right one.
void DoubleClick(QWidget* control);
void RightDoubleClick(QWidget* control);

// The link is up and no failure has been reported since the session began (the failure's
// text when there was one).
::testing::AssertionResult ConnectedWithoutFailure(session::Session& session);

class TestProgram {
  public:
    // An empty `settings` leaves the program without a settings file. `clock` (may be
    // null) is the clock of every wait.
    explicit TestProgram(const QString& settings = {}, ui::Clock* clock = nullptr);
    ~TestProgram();

    shell::Program& operator*() { return *program; }
    shell::Program* operator->() { return program.get(); }
    session::Session& Session() { return program->Session(); }
    connection::ConnectionPage& Connection() { return Page<connection::ConnectionPage>(); }

    // A page of the program by its type.
    template <class T>
    T& Page() {
        for (const auto& page : program->Pages())
            if (auto* p = dynamic_cast<T*>(page.get())) return *p;
        throw std::logic_error("no such page");
    }
    // A control of the panel set by its panel and object name, as the pages' tables name
    // it: the tests' one way to the controls. A name that is not there (or a control of
    // another kind) throws, so a test fails at the line that asked for it.
    template <class T = QWidget>
    T* Control(const char* panel, const char* name) {
        QWidget* p = program->Panel(panel);
        T* control = p ? p->findChild<T*>(QString::fromLatin1(name)) : nullptr;
        if (!control) throw std::logic_error(std::string("no control ") + panel + "/" + name);
        return control;
    }

    QString Dir() const { return dir.path(); }
    QString SettingsPath() const;
    QString ReadSettingsFile() const;

    QTemporaryDir dir;
    ui::ScriptedPopups popups;
    std::unique_ptr<shell::Program> program;
    QString createError;
};

// The simulated sensor in this process and the whole program connected to it, started: the
// fixture of every test that drives pages against a sensor. Over TCP on 127.0.0.1, or over
// the simulator's pseudo-terminal.
enum class Transport { Tcp, Serial };

// Correction values and a RAM parameter set that differ from every default: a sensor whose
// files show at once when a value is missed or taken from the wrong place. For the `prepare`
// step of SensorProgram.
void UnlikeTheDefaults(sim::SensorModel& model);

class SensorProgram {
  public:
    // `prepare` sets the simulated sensor up before the program connects (its EEPROM, its RAM).
    explicit SensorProgram(sim::ServerOptions options = {}, Transport transport = Transport::Tcp,
                           ui::Clock* clock = nullptr,
                           const std::function<void(sim::SensorModel&)>& prepare = {});

    session::Session& S() { return program.Session(); }
    template <class T>
    T& Page() {
        return program.Page<T>();
    }
    template <class T = QWidget>
    T* Control(const char* panel, const char* name) {
        return program.Control<T>(panel, name);
    }
    // A fault of the simulator's fault language ("silent@8#3", "close-after:5@8", ...).
    void Fault(const std::string& spec);
    // The link's failure reports from now on.
    const QStringList& Reports() const { return reports_; }

    QTemporaryDir sensorDir;  // the pseudo-terminal's folder
    sim::SimServer sensor;
    TestProgram program;

  private:
    static QString Connect(sim::SimServer& sensor, const QTemporaryDir& dir, Transport transport,
                           const std::function<void(sim::SensorModel&)>& prepare);
    QStringList reports_;
};

}  // namespace testing_support
