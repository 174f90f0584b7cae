#pragma once
// The program's shared flags and selections, one instance in the running program.

#include <QString>
#include <cstdint>

namespace shell {

// Pages of the main tab control, by index.
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

// Pages of the data panel's tab control.
enum DataPage : int { kPageRgb = 0, kPageCoord = 1, kPage2D = 2, kPage3D = 3, kDataPageCount = 4 };

// SEND/GET target.
enum TransferTarget : std::uint16_t { kTargetRam = 1, kTargetEeprom = 2, kTargetFile = 3 };

struct AppState {
    std::int16_t loopRunning = 0;  // a sensor loop runs; cleared to stop it
    std::int16_t sendRequest = 0;  // SEND pressed while a loop runs
    std::int16_t getRequest = 0;   // GET pressed while a loop runs
    std::uint16_t paraSetIndex = 0;
    std::uint16_t transferTarget = kTargetRam;
    std::int16_t tcpConnected = 0;
    std::int32_t teachToleranceOff = 0;
    QString panelSettingsPath;
};

// The remembered paths of the program's files.
struct FilePaths {
    QString parameterFilePath;
    QString recordPath;
    QString hwInfoFilePath;
    QString tableAttributesFilePath;
};

}  // namespace shell
