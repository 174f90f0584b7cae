#include "wait_for.h"

#include "ui/wait.h"

namespace testing_support {

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    // The program's own wait on the steady clock: a real deadline whatever clock the code
    // under test was given, and no CPU while nothing happens.
    ui::EventWait wait;
    return wait.WaitUntil(condition, timeoutMs / 1000.0) == ui::WaitEnd::Done;
}

}  // namespace testing_support
