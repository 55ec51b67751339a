#include "apps/desktop/activity_map.h"

#include <algorithm>
#include <functional>

namespace vesk::desktop {
namespace {

struct Step {
  bool found;      // an activity entry answered
  std::uint64_t entry;  // the first iterator before the call
  int channel;
  int activity;
  ULONGLONG it2Before;
};

// Walks FindActivity from index position `first` until `visit` returns false
// or the index ends. Each call answers the activity entry (it1, it2) or, for a
// position without any, the position itself.
void Walk(ISplitterSettings& settings, std::uint64_t first, const std::function<bool(const Step&)>& visit) {
  ULONGLONG it1 = first, it2 = 0;
  for (;;) {
    BYTE activity = 0, stop = 0;
    BYTE channel = 0xFF;  // written only when an activity entry answers
    DWORD activityClass = 0, counter = 0;
    const ULONGLONG it1Before = it1, it2Before = it2;
    if (FAILED(settings.FindActivity(&activity, &stop, &it1, &it2, &channel, &activityClass, &counter)) || !stop)
      return;
    const bool found = channel != 0xFF;
    if (!visit({found, it1Before, channel, activity, it2Before})) return;
    // A position whose entry `it2` is missing passes on without an answer.
    if (it1 == it1Before && it2 == it2Before) return;
  }
}

}  // namespace

ActivityMap ActivityMap::Read(ISplitterSettings& settings) {
  ActivityMap map;
  if (!settings.IsLocalSource()) return map;
  map.entries_ = 1;
  Walk(settings, 1, [&](const Step& step) {
    map.entries_ = std::max(map.entries_, step.entry + 1);
    if (step.found && step.channel < kCameras) {
      auto& strip = map.activity_[step.channel];
      if (strip.size() <= step.entry) strip.resize(step.entry + 1);
      strip[step.entry] = std::max<std::uint8_t>(strip[step.entry], static_cast<std::uint8_t>(step.activity));
    }
    return true;
  });
  return map;
}

int ActivityMap::Activity(int camera, std::uint64_t entry) const {
  if (camera < 0 || camera >= kCameras || entry >= activity_[camera].size()) return 0;
  return activity_[camera][entry];
}

std::optional<ActivityPlace> ActivityMap::NextAfter(ISplitterSettings& settings, std::uint64_t entry) {
  std::optional<ActivityPlace> place;
  Walk(settings, entry + 1, [&](const Step& step) {
    if (!step.found || step.channel >= kCameras || step.activity == 0) return true;
    // SeekIndexEntry counts its first iterator one down before it looks.
    place = ActivityPlace{step.entry, step.channel, step.activity, step.entry + 1, step.it2Before};
    return false;
  });
  return place;
}

}  // namespace vesk::desktop
