#pragma once
// The panel settings file of the running program: read and parsed once at start-up,
// written at exit and when the user accepts the link settings. The shell keeps the main
// panel's placement, the remembered paths and the identification text; each page takes
// and gives its own values through the page interface.

#include <QString>
#include <functional>
#include <optional>

#include "ini/ini.h"

namespace shell {

class Program;

// Reads the settings file at `path`: its items, an empty object when there is no file, and
// nullopt when the file is there but cannot be read.
using SettingsFileReader = std::function<std::optional<ini::IniObject>(const QString& path)>;
std::optional<ini::IniObject> ReadSettingsFile(const QString& path);

void LoadPanelSettings(Program& program);
void SavePanelSettings(Program& program);

}  // namespace shell
