// Stream time: the recorder's seconds since 1970-01-01 00:00 UTC.
#pragma once

#include <cstdint>
#include <string>

namespace vesk::input {

// "dd/mm/yy hh:mm:ss" in UTC, as the recorder's clock shows it.
std::string FormatStreamTime(std::uint32_t seconds);

}  // namespace vesk::input
