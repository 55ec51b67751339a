// ActivityMap: the recorded activity of every camera, per index position, as
// the filter's index gives it through FindActivity. The settings interface
// names index positions by number, not by time: a position's time is taken
// as evenly spaced over the recording's range, which is exact for a recorder
// that writes one index position a second.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "vesk/splitter_settings.h"

namespace vesk::desktop {

// Where FindActivity named an activity: the iterators to hand SeekIndexEntry
// so that it seeks to that index position.
struct ActivityPlace {
  std::uint64_t entry = 0;  // the index position's number
  int camera = 0;
  int activity = 0;
  ULONGLONG seekIt1 = 0;
  ULONGLONG seekIt2 = 0;
};

class ActivityMap {
 public:
  static constexpr int kCameras = 4;

  // Walks the whole index once; empty for a live source.
  static ActivityMap Read(ISplitterSettings& settings);

  // Index positions: the first (number 0) and every one FindActivity passed.
  std::uint64_t Entries() const { return entries_; }
  // The highest activity of `camera` at index position `entry` (0: none).
  int Activity(int camera, std::uint64_t entry) const;

  // The first activity of a camera at an index position after `entry`.
  static std::optional<ActivityPlace> NextAfter(ISplitterSettings& settings, std::uint64_t entry);

 private:
  std::uint64_t entries_ = 0;
  std::vector<std::uint8_t> activity_[kCameras];  // by index position number
};

}  // namespace vesk::desktop
