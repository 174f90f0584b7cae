#pragma once
// The pages of the program, in start-up order: the one place that names every subsystem.

#include "session/page.h"

namespace shell {

session::PageFactories AllPages();

}  // namespace shell
