// Flow control and type checks of an output pin, without a graph around it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>

#include "audio/audio_pin.h"
#include "input/stream_format.h"
#include "lone_owner.h"

namespace vesk::filter {
namespace {

using namespace std::chrono_literals;

using test::LoneOwner;

class StreamPinTest : public ::testing::Test {
 protected:
  LoneOwner owner_;
  platform::CriticalSection pinLock_;
  audio::AudioPin pin_{owner_, pinLock_};
  platform::Event stop_{platform::EventMode::kManualReset};
};

TEST_F(StreamPinTest, BlockedPinHoldsDeliveriesUntilUnblockedOrStopped) {
  pin_.SetConfigInfo(nullptr, &stop_);
  platform::Event blocked{platform::EventMode::kManualReset};
  ASSERT_EQ(pin_.Block(AM_PIN_FLOW_CONTROL_BLOCK, &blocked), S_OK);
  EXPECT_TRUE(blocked.Wait(0));  // nothing was being delivered: the block holds at once

  auto waiting = std::async(std::launch::async, [this] { return pin_.StartUsingOutputPin(); });
  EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
  ASSERT_EQ(pin_.Block(0, nullptr), S_OK);
  ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(waiting.get(), S_OK);

  // A block asked for during a delivery takes effect when the delivery ends.
  platform::Event later{platform::EventMode::kManualReset};
  ASSERT_EQ(pin_.Block(AM_PIN_FLOW_CONTROL_BLOCK, &later), S_OK);
  EXPECT_FALSE(later.Wait(0));
  pin_.StopUsingOutputPin();
  EXPECT_TRUE(later.Wait(0));

  // The stop event ends the wait of a blocked delivery.
  auto stopped = std::async(std::launch::async, [this] { return pin_.StartUsingOutputPin(); });
  stop_.Set();
  ASSERT_EQ(stopped.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(stopped.get(), VFW_E_STATE_CHANGED);
}

TEST_F(StreamPinTest, ProposedTypeMustEqualThePreferredOne) {
  input::ChannelRecord record;
  record.type = input::kChannelAudio;
  std::strcpy(record.options, "stereo rate=44100 bits=16");
  pin_.SetChannelDescription(record);

  AM_MEDIA_TYPE preferred{};
  ASSERT_EQ(pin_.GetMediaType(0, &preferred), S_OK);
  EXPECT_EQ(pin_.CheckMediaType(&preferred), S_OK);
  EXPECT_EQ(preferred.lSampleSize, 4u);
  preferred.pbFormat[4] ^= 1;  // another rate, the rest equal
  EXPECT_EQ(pin_.CheckMediaType(&preferred), E_FAIL);
  FreeMediaType(preferred);

  AM_MEDIA_TYPE type{};
  EXPECT_EQ(pin_.GetMediaType(1, &type), VFW_S_NO_MORE_ITEMS);
  EXPECT_EQ(pin_.GetMediaType(-1, &type), E_INVALIDARG);
  EXPECT_EQ(pin_.Active(), S_OK);  // unconnected: nothing to commit
}

}  // namespace
}  // namespace vesk::filter
