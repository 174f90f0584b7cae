#pragma once
// The program's shared flags and selections: one instance in the running program, owned by
// the session.

#include <QString>
#include <cstdint>

#include "params_core/parameter_model.h"

namespace session {

// Pages of the main tab control, by their place in the panel set.
enum MainPage : int {
    kPageConnection = 0,
    kPageParameter = 1,
    kPageGroupHold = 2,
    kPageTeachTable = 3,
    kPageRecorder = 4,
    kPageCalibration = 5,
    kPageTableAttributes = 6,
    kPageScope = 7,
    kPageOffset = 8,
    kMainPageCount = 9,
};

// Where SEND and GET move the parameter set: model data (the parameter model holds the
// choice), named here for the pages.
using TransferTarget = params::TransferTarget;

struct AppState {
    bool loopRunning = false;  // a sensor loop runs; cleared to stop it
    bool sendRequest = false;  // SEND pressed while a loop runs
    bool getRequest = false;   // GET pressed while a loop runs
    QString panelSettingsPath;
};

// The remembered paths of the program's files.
struct FilePaths {
    QString parameterFilePath;
    QString recordPath;
    QString hwInfoFilePath;
    QString tableAttributesFilePath;
};

}  // namespace session
