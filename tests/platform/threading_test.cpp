#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/critical_section.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "platform/tick.h"

namespace vesk::platform {
namespace {

// Generous: only a hang would take this long.
constexpr std::uint32_t kHangMs = 5000;

TEST(EventTest, AutoResetReleasesOneWaitAndClearsItself) {
  Event event(EventMode::kAutoReset);
  EXPECT_FALSE(event.Wait(0));
  event.Set();
  EXPECT_TRUE(event.Wait(0));
  EXPECT_FALSE(event.Wait(1));
}

TEST(EventTest, ManualResetStaysSetUntilReset) {
  Event event(EventMode::kManualReset);
  event.Set();
  EXPECT_TRUE(event.Wait(0));
  EXPECT_TRUE(event.Wait());
  event.Reset();
  EXPECT_FALSE(event.Wait(1));
}

TEST(EventTest, SetFromAnotherThreadReleasesAWaiter) {
  Event ready(EventMode::kAutoReset);
  Event answered(EventMode::kAutoReset);
  Thread thread;
  ASSERT_EQ(thread.Start([&] {
    ready.Wait();
    answered.Set();
  }), S_OK);
  EXPECT_TRUE(thread.Joinable());
  EXPECT_EQ(thread.Start([] {}), E_UNEXPECTED);
  ready.Set();
  EXPECT_TRUE(answered.Wait(kHangMs));
  thread.Join();
  EXPECT_FALSE(thread.Joinable());
}

TEST(CriticalSectionTest, OwnerMayEnterAgainAndOthersAreKeptOut) {
  CriticalSection section;
  int counter = 0;  // guarded by section
  const auto add = [&] {
    for (int i = 0; i < 10000; ++i) {
      CriticalSection::Guard guard(section);
      CriticalSection::Guard again(section);
      ++counter;
    }
  };
  Thread a, b;
  ASSERT_EQ(a.Start(add), S_OK);
  ASSERT_EQ(b.Start(add), S_OK);
  a.Join();
  b.Join();
  EXPECT_EQ(counter, 20000);
}

TEST(TickTest, CountsMillisecondsForward) {
  const std::uint32_t start = Tick::Now();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const std::uint32_t elapsed = Tick::Now() - start;  // unsigned: right across a wrap too
  EXPECT_GE(elapsed, 20u);
  EXPECT_LT(elapsed, 60'000u);
}

}  // namespace
}  // namespace vesk::platform
