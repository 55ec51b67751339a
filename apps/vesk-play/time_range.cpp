#include "apps/vesk-play/time_range.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace vesk::play {
namespace {

// Times past this many seconds fit no recording (its clock is 32 bits).
constexpr double kLatest = 4294967295.0;

// Digits, and at most `fraction` a point with digits after them: nothing that
// strtod would also take, such as "nan", "inf", "1e9", "-5" or "0x10".
bool IsDecimal(const std::string& text, bool fraction) {
  std::size_t digits = 0, at = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at, ++digits;
  if (fraction && at < text.size() && text[at] == '.') {
    ++at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  }
  return digits > 0 && digits <= 10 && at == text.size();
}

std::optional<double> Seconds(const std::string& text) {
  if (!IsDecimal(text, true)) return std::nullopt;
  const double seconds = std::strtod(text.c_str(), nullptr);
  return std::isfinite(seconds) && seconds <= kLatest ? std::optional<double>(seconds) : std::nullopt;
}

std::optional<double> Clock(const std::string& text) {
  std::tm parts{};
  int used = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &parts.tm_year, &parts.tm_mon, &parts.tm_mday,
                  &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &used) != 6 ||
      static_cast<std::size_t>(used) != text.size() || parts.tm_mon < 1 || parts.tm_mon > 12 || parts.tm_mday < 1 ||
      parts.tm_mday > 31 || parts.tm_hour > 23 || parts.tm_min > 59 || parts.tm_sec > 59) {
    return std::nullopt;
  }
  parts.tm_year -= 1900;
  parts.tm_mon -= 1;
  const int day = parts.tm_mday;
  // timegm carries a day the month lacks into the next month: such a date is refused.
  const std::time_t seconds = ::timegm(&parts);
  if (seconds < 0 || static_cast<double>(seconds) > kLatest || parts.tm_mday != day) return std::nullopt;
  return static_cast<double>(seconds);
}

// [HH:]MM:SS[.fff], minutes and seconds below 60.
std::optional<double> Duration(const std::string& text) {
  const std::size_t last = text.rfind(':');
  const std::size_t first = text.find(':');
  const std::string hours = first == last ? "0" : text.substr(0, first);
  const std::string minutes = first == last ? text.substr(0, last) : text.substr(first + 1, last - first - 1);
  const std::optional<double> seconds = Seconds(text.substr(last + 1));
  if (!IsDecimal(hours, false) || !IsDecimal(minutes, false) || !seconds || *seconds >= 60 ||
      std::stod(minutes) >= 60)
    return std::nullopt;
  const double total = std::stod(hours) * 3600 + std::stod(minutes) * 60 + *seconds;
  return total <= kLatest ? std::optional<double>(total) : std::nullopt;
}

std::string Span(std::uint32_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

}  // namespace

std::optional<GivenTime> ParseGivenTime(const std::string& text) {
  std::optional<double> seconds;
  bool clock = false;
  if (text.find(' ') != std::string::npos) {
    seconds = Clock(text);
    clock = true;
  } else if (text.find(':') != std::string::npos) {
    seconds = Duration(text);
  } else {
    seconds = Seconds(text);
  }
  if (!seconds) return std::nullopt;
  return GivenTime{*seconds, clock, text};
}

std::string ClockText(std::uint32_t seconds) {
  const std::time_t time = seconds;
  std::tm parts{};
  ::gmtime_r(&time, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

std::optional<SecondRange> ResolveRange(const std::optional<GivenTime>& from, const std::optional<GivenTime>& to,
                                        std::uint32_t start, std::uint32_t end, const std::string& recording,
                                        std::string* error) {
  const std::uint32_t length = end - start + 1;
  const std::string range = recording + " runs " + Span(length) + ", from " + ClockText(start) + " to " +
                            ClockText(start + length);
  // Seconds into the recording; negative before its start.
  auto offset = [&](const GivenTime& time) { return time.clock ? time.seconds - start : time.seconds; };
  SecondRange seconds;
  if (from) {
    const double first = offset(*from);
    if (first < 0 || first >= length) {
      *error = "--from " + from->text + (first < 0 ? " is before the start: " : " is past the end: ") + range;
      return std::nullopt;
    }
    seconds.first = static_cast<std::uint32_t>(first);
  }
  if (to) {
    const double last = offset(*to);
    if (last <= (from ? offset(*from) : 0)) {
      *error = "--to " + to->text + " is not after " + (from ? "--from " + from->text : "the start") + ": " + range;
      return std::nullopt;
    }
    seconds.end = last >= length ? length : static_cast<std::uint32_t>(std::ceil(last));
  }
  return seconds;
}

}  // namespace vesk::play
