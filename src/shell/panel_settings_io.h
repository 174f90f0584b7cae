#pragma once
// The panel settings file of the running program: read in two passes at start-up, written
// at exit and when the user accepts the link settings.

namespace shell {

class Program;

void LoadPanelSettings(Program& program);
void LoadCommunicationSettings(Program& program);
void SavePanelSettings(Program& program);

}  // namespace shell
