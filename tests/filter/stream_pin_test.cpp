// Flow control and type checks of an output pin, without a graph around it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <vector>

#include "audio/audio_pin.h"
#include "input/stream_format.h"
#include "lone_owner.h"
#include "vesk/event_handle.h"

namespace vesk::filter {
namespace {

using namespace std::chrono_literals;

using test::LoneOwner;

class StreamPinTest : public ::testing::Test {
 protected:
  ~StreamPinTest() override {
    for (HANDLE event : events_) CloseEventHandle(event);
  }
  // An event as a host makes it: an operating-system handle, not an object of the module's.
  HANDLE HostEvent() { return events_.emplace_back(CreateEventHandle()); }

  LoneOwner owner_;
  platform::CriticalSection pinLock_;
  audio::AudioPin pin_{owner_, pinLock_};
  platform::OsEvent stop_;
  std::vector<HANDLE> events_;
};

TEST_F(StreamPinTest, BlockedPinHoldsDeliveriesUntilUnblockedOrStopped) {
  pin_.SetConfigInfo(nullptr, &stop_);
  IPinFlowControl& flow = pin_;
  EXPECT_EQ(flow.Block(0, nullptr), S_FALSE);  // not blocked: nothing to undo
  HANDLE blocked = HostEvent();
  ASSERT_EQ(flow.Block(AM_PIN_FLOW_CONTROL_BLOCK, blocked), S_OK);
  EXPECT_TRUE(WaitEventHandle(blocked, 0));  // nothing was being delivered: the block holds at once
  EXPECT_EQ(flow.Block(AM_PIN_FLOW_CONTROL_BLOCK, HostEvent()), VFW_E_PIN_ALREADY_BLOCKED_ON_THIS_THREAD);
  EXPECT_EQ(std::async(std::launch::async, [&] { return flow.Block(AM_PIN_FLOW_CONTROL_BLOCK, HostEvent()); }).get(),
            VFW_E_PIN_ALREADY_BLOCKED);

  auto waiting = std::async(std::launch::async, [this] { return pin_.StartUsingOutputPin(); });
  EXPECT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
  ASSERT_EQ(flow.Block(0, nullptr), S_OK);
  ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(waiting.get(), S_OK);

  // A block asked for during a delivery takes effect when the delivery ends;
  // without an event the call waits for that.
  HANDLE later = HostEvent();
  ASSERT_EQ(flow.Block(AM_PIN_FLOW_CONTROL_BLOCK, later), S_OK);
  EXPECT_FALSE(WaitEventHandle(later, 0));
  pin_.StopUsingOutputPin();
  EXPECT_TRUE(WaitEventHandle(later, 0));
  ASSERT_EQ(flow.Block(0, nullptr), S_OK);
  ASSERT_EQ(pin_.StartUsingOutputPin(), S_OK);
  auto synchronous = std::async(std::launch::async, [&] { return flow.Block(AM_PIN_FLOW_CONTROL_BLOCK, nullptr); });
  EXPECT_EQ(synchronous.wait_for(50ms), std::future_status::timeout);
  pin_.StopUsingOutputPin();
  ASSERT_EQ(synchronous.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(synchronous.get(), S_OK);

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

  // A format length with no format block behind it is refused, never read.
  AM_MEDIA_TYPE hollow = preferred;
  hollow.pbFormat = nullptr;
  EXPECT_EQ(pin_.QueryAccept(&hollow), S_FALSE);
  EXPECT_EQ(pin_.ReceiveConnection(nullptr, &hollow), VFW_E_INVALID_DIRECTION);

  AM_MEDIA_TYPE type{};
  EXPECT_EQ(pin_.GetMediaType(1, &type), VFW_S_NO_MORE_ITEMS);
  EXPECT_EQ(pin_.GetMediaType(-1, &type), E_INVALIDARG);
  FreeMediaType(preferred);
  EXPECT_EQ(pin_.Active(), S_OK);  // unconnected: nothing to commit
}

}  // namespace
}  // namespace vesk::filter
