// The channel-description parser and the configuration report made from
// what it took in, over any bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "input/stream_configuration.h"

namespace {

class Listener final : public vesk::input::ConfigurationListener {
 public:
  void SetVideoChannelDescription(const vesk::input::ChannelRecord&) override {}
  void SetAudioChannelDescription(const vesk::input::ChannelRecord&) override {}
  void SetStatusChannel(int) override {}
  void ConfigurationParsed() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vesk::input;
  // As the reader makes it: a buffer even for no bytes, with four zero bytes
  // after the payload that a parse must not count on.
  std::vector<std::uint8_t> record(data, data + size);
  record.resize(size + 4);
  Listener listener;
  StreamConfiguration configuration(&listener);
  configuration.ParseConfiguration(record.data(), static_cast<std::uint32_t>(size));
  std::vector<char> report(64 * 1024);
  PinReport pins;
  pins.hasVideoPin = pins.hasAudioPin = true;
  configuration.GetConfigReport(report.data(), static_cast<std::uint32_t>(report.size()), pins);
  configuration.GetConfigReport(report.data(), 100, pins);  // a report cut short
  for (int channel = 0; channel < 256; ++channel) configuration.RouteOf(static_cast<std::uint8_t>(channel));
  return 0;
}
