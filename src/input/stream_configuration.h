// The filter's view of the recording's channels: the device name, the table of
// 256 channel records, the channel counts and the nominal frame rate, parsed
// from each channel description packet.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "input/channel_record.h"
#include "vesk/com.h"

namespace vesk::input {

constexpr std::uint32_t kDeviceNameSize = 80;  // 79 characters and a zero byte

// What a parse tells the rest of the filter. Called on the parsing thread,
// outside the configuration's lock, in the order declared here.
class ConfigurationListener {
 public:
  // For the first video channel by channel number; the record as stored, pin index 0.
  virtual void SetVideoChannelDescription(const ChannelRecord& record) = 0;
  // For every audio channel in channel-number order; the last one is in force.
  virtual void SetAudioChannelDescription(const ChannelRecord& record) = 0;
  // The status channel this configuration names, or -1 when it names none.
  virtual void SetStatusChannel(int channel) = 0;
  // The new configuration is in place: apply stored settings to it, restart
  // the byte-rate measurement.
  virtual void ConfigurationParsed() = 0;

 protected:
  ~ConfigurationListener() = default;
};

// What the configuration report says about the pins.
struct PinReport {
  bool hasVideoPin = false;
  int cameraWidth = 0;
  int cameraHeight = 0;
  bool videoConnected = false;
  bool hasAudioPin = false;
  int audioChannels = 0;
  int samplesPerSecond = 0;
  int bitsPerSample = 0;
  bool audioConnected = false;
};

// Where the demultiplexer sends a channel's packets.
struct ChannelRoute {
  std::uint32_t type = 0;
  std::int32_t pinIndex = 0;
};

class StreamConfiguration {
 public:
  explicit StreamConfiguration(ConfigurationListener* listener = nullptr);
  ~StreamConfiguration();

  // S_OK, or E_FAIL when an entry is cut short after its channel number or
  // its type: then the records read so far stay, counts and frame rate are 0,
  // and nobody is told.
  HRESULT ParseConfiguration(const std::uint8_t* record, std::uint32_t length);

  // S_OK when the whole report fit into `size` bytes with its zero, 1 when it
  // was cut after the last line that fit. E_POINTER for a null buffer.
  HRESULT GetConfigReport(char* buffer, std::uint32_t size, const PinReport& pins) const;

  bool ConfigReceived() const;
  std::string DeviceName() const;
  std::uint32_t VideoChannelCount() const;
  std::uint32_t AudioChannelCount() const;
  std::uint32_t TotalChannelCount() const;
  double FramesPerSecond() const;
  // 1 for channels of types 1, 2, 4 and 16; 0 otherwise and outside 0 to 255.
  std::uint32_t IsChannelPresent(int channel) const;
  ChannelRoute RouteOf(std::uint8_t channel) const;
  // A copy of the channel's record (all zero when the channel is unused).
  ChannelRecord Channel(std::uint8_t channel) const;

 private:
  struct Table;

  ConfigurationListener* listener_;  // not owned
  // Guards every field below: a parse on the producer thread replaces them
  // while the property page's thread reads them.
  mutable std::mutex mutex_;
  bool configReceived_ = false;
  std::unique_ptr<Table> table_;
};

}  // namespace vesk::input
