// The part of a recording that --from and --to ask for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vesk::play {

// A time given on the command line: seconds into the recording, or a time of
// the recording's own clock.
struct GivenTime {
  double seconds = 0;  // into the recording; for a clock time, since 1970 UTC
  bool clock = false;
  std::string text;  // as given, for messages
};

// Takes seconds ("75", "75.5"), [HH:]MM:SS[.fff] ("01:15.5") or a clock time
// ("2026-12-05 12:00:05", UTC as the recorder keeps it). Anything else, a
// number that is not finite among them, gives nothing.
std::optional<GivenTime> ParseGivenTime(const std::string& text);

// The seconds a range plays, counted from the recording's first. The
// recording keeps time in whole seconds, so a range covers every second it
// touches.
struct SecondRange {
  std::uint32_t first = 0;
  std::optional<std::uint32_t> end;  // the first second not played
};

// The recording's seconds run from `start` to `end` (the times of its first
// and last index position; the last is played whole). A start before the
// recording or past its end, and an end not after the start, are refused with
// the recording's range in `error`.
std::optional<SecondRange> ResolveRange(const std::optional<GivenTime>& from, const std::optional<GivenTime>& to,
                                        std::uint32_t start, std::uint32_t end, const std::string& recording,
                                        std::string* error);

// "2026-12-05 12:00:05", the form a clock time is given in.
std::string ClockText(std::uint32_t seconds);

}  // namespace vesk::play
