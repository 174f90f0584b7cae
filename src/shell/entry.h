#pragma once

#include "session/page.h"

namespace shell {

// The program with the given pages: 0 after a normal exit, -1 when the run-time or the
// panel set cannot be brought up (no window is shown then).
int ProgramEntry(int argc, char** argv, const session::PageFactories& pages);

}  // namespace shell
