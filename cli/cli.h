#pragma once
// velorax-cli as a library: Run takes the arguments and writes to the outputs it is given,
// so the tests run every command in this process against the in-process simulator, and
// main.cpp is a small frame around it. A QCoreApplication must exist; Run waits in nested
// event loops (ui::EventWait), as the program's exchanges do.

#include <functional>
#include <string>
#include <vector>

#include "cli/frame_format.h"
#include "cli/output.h"
#include "cli/stop.h"

namespace cli {

// Exit statuses a script can test.
enum Exit : int {
    kExitDone = 0,
    kExitUsage = 1,
    kExitLink = 2,          // the link failed: the program's failure text on standard error
    kExitRefused = 3,       // the sensor refused: an error reply, a plausibility count
    kExitFile = 4,          // a file could not be read or written: its path and the reason
    kExitBroker = 5,        // publish: the MQTT broker could not be reached or refused us
                            // before any connection stood
    kExitInterrupted = 130  // Ctrl-C before there was a result (not measure, not triggered)
};

struct Environment {
    Output& out;
    Output& err;
    Stop* stop = nullptr;        // Ctrl-C and SIGTERM; nullptr: none come
    std::function<Stamp()> now;  // when a frame is taken; empty: LocalStamp
};

// `arguments` without the program's name.
int Run(const std::vector<std::string>& arguments, Environment& env);

}  // namespace cli
