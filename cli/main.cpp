// velorax-cli: the VELORAX3 colour sensor from the command line. QtCore, QtNetwork and
// QtSerialPort only: it runs without a display.

#include <QCoreApplication>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/stop.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    cli::FdOutput out(1);
    cli::FdOutput err(2);
    cli::Stop stop;
    cli::SignalStop signalStop(stop);
    cli::Environment env{out, err, &stop, {}};
    return cli::Run(arguments, env);
}
