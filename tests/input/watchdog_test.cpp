#include "input/watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace vesk::input {
namespace {

class CountingTarget final : public TimeOutTarget {
 public:
  void TimedOut() override {
    ++calls;
    called.Set();
  }
  std::atomic<int> calls{0};
  platform::Event called{platform::EventMode::kManualReset};
};

TEST(WatchdogTest, CallsTheTargetOnceWhenTheTimeOutPasses) {
  CountingTarget target;
  const auto start = std::chrono::steady_clock::now();
  {
    Watchdog watchdog(target, 50);
    ASSERT_TRUE(target.called.Wait(5000));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
  }
  EXPECT_EQ(target.calls, 1);
}

TEST(WatchdogTest, DestroyedBeforeTheTimeOutNeverCalls) {
  CountingTarget target;
  { Watchdog watchdog(target, 60'000); }
  EXPECT_EQ(target.calls, 0);  // its thread is gone, so it never will
}

}  // namespace
}  // namespace vesk::input
