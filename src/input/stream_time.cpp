#include "input/stream_time.h"

#include <chrono>
#include <cstdio>

namespace vesk::input {

std::string FormatStreamTime(std::uint32_t seconds) {
  using namespace std::chrono;
  const sys_seconds instant{std::chrono::seconds(seconds)};
  const sys_days day = floor<days>(instant);
  const year_month_day date{day};
  const hh_mm_ss clock{instant - day};
  char text[32];
  std::snprintf(text, sizeof text, "%02u/%02u/%02d %02d:%02d:%02d", static_cast<unsigned>(date.day()),
                static_cast<unsigned>(date.month()), static_cast<int>(date.year()) % 100,
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return text;
}

}  // namespace vesk::input
