// Screen work coalesced to one run per refresh: many requests in one pass run it once, a
// flush runs due work at once and nothing else.

#include "ui/refresh.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "wait_for.h"

TEST(Refresh, ManyRequestsRunTheWorkOnceAndAFlushRunsOnlyDueWork) {
    int runs = 0;
    ui::Refresh refresh([&] { ++runs; });
    refresh.Flush();
    EXPECT_EQ(runs, 0);  // nothing was due

    for (int i = 0; i < 1000; ++i) refresh.Request();
    EXPECT_EQ(runs, 0);  // never inside the request
    EXPECT_TRUE(refresh.Pending());
    ASSERT_TRUE(testing_support::WaitFor([&] { return runs > 0; }));
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(refresh.Pending());

    // Due work at the end of a loop: at once, and the timer does not run it again.
    refresh.Request();
    refresh.Flush();
    EXPECT_EQ(runs, 2);
    testing_support::WaitFor([] { return false; }, 3 * ui::Refresh::kIntervalMs);
    EXPECT_EQ(runs, 2);
}
