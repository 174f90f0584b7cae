#pragma once
// The tests' one way to wait for something the event loop brings: events are processed,
// sleeping until one arrives, until `condition` holds or `timeoutMs` pass. True when it
// held. Never a fixed sleep.

#include <functional>

namespace testing_support {

bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

}  // namespace testing_support
