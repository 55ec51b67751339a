#include "platform/wide_text.h"

#include <windows.h>

namespace vesk::platform {

// The ANSI code page, as the system's A functions take names.
std::string NarrowFromWide(const WideString& wide, std::size_t limit) {
  if (wide.empty()) return {};
  std::string out(wide.size() * 2 + 1, '\0');
  const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(),
                                         static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  if (out.size() > limit) out.resize(limit);
  return out;
}

}  // namespace vesk::platform
