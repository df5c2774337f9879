#include "platform/Event.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

TEST(Event, ManualResetWakesEveryWaiterAndStaysSet) {
    platform::Event ev;
    EXPECT_FALSE(ev.Wait(0));
    EXPECT_FALSE(ev.Wait(5));

    std::atomic<int> passed{0};
    std::thread a([&] { passed += ev.Wait(-1) ? 1 : 0; });
    std::thread b([&] { passed += ev.Wait(10000) ? 1 : 0; });
    ev.Set();
    a.join();
    b.join();
    EXPECT_EQ(passed.load(), 2);
    EXPECT_TRUE(ev.IsSet());
    EXPECT_TRUE(ev.Wait(0)); // stays set
    ev.Reset();
    EXPECT_FALSE(ev.IsSet());
    EXPECT_FALSE(ev.Wait(1));

    platform::Event preset(true);
    EXPECT_TRUE(preset.Wait(0));
}
