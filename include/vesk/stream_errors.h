// Why a live stream could not be played to its end: the results the filter
// reports to its graph with EC_ERRORABORT. The network's causes are the error
// codes of the platform's HTTP library; an answer that is not a success is its
// status in the HTTP facility (0x8019 followed by the status).
#pragma once

#include <cstdint>

#include "vesk/com.h"

namespace vesk {

constexpr HRESULT kStreamCannotConnect = static_cast<HRESULT>(0x80072EFDu);     // refused or unreachable
constexpr HRESULT kStreamNameNotResolved = static_cast<HRESULT>(0x80072EE7u);   // no such host
constexpr HRESULT kStreamClosedEarly = static_cast<HRESULT>(0x80072EFEu);       // closed before its end
constexpr HRESULT kStreamReset = static_cast<HRESULT>(0x80072EFFu);             // reset by the other end
constexpr HRESULT kStreamBadAnswer = static_cast<HRESULT>(0x80072F78u);         // not an HTTP answer
constexpr HRESULT kStreamTooManyRedirects = static_cast<HRESULT>(0x80072F7Cu);  // more than five, or a loop
constexpr HRESULT kStreamNotRecorder = static_cast<HRESULT>(0x8004022Fu);        // bytes that are not a recorder stream

constexpr std::uint32_t kHttpStatusFacilityBits = 0x80190000u;

constexpr HRESULT HttpStatusResult(long status) {
  return static_cast<HRESULT>(kHttpStatusFacilityBits | (static_cast<std::uint32_t>(status) & 0xFFFFu));
}
// The HTTP status a result stands for; 0 when it stands for none.
constexpr long HttpStatusOf(HRESULT result) {
  const auto bits = static_cast<std::uint32_t>(result);
  return (bits & 0xFFFF0000u) == kHttpStatusFacilityBits ? static_cast<long>(bits & 0xFFFFu) : 0;
}

}  // namespace vesk
