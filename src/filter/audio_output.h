// What the filter asks of its audio pin beyond an output pin's duties.
#pragma once

#include <cstdint>

#include "filter/stream_pin.h"
#include "input/stream_configuration.h"

namespace vesk::filter {

class AudioOutput : public StreamPin {
 public:
  using StreamPin::StreamPin;

  // Any nonzero value mutes; the value is kept as given.
  virtual void SetMute(std::int32_t mute) = 0;
  virtual std::int32_t GetMute() const = 0;
  // The pin's format and connection, for the configuration report.
  virtual void DescribeForReport(input::PinReport& report) = 0;
};

}  // namespace vesk::filter
