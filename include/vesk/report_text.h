// The filter's texts (device name, configuration report) are Windows-1251 with
// CR LF line ends; a terminal here wants UTF-8 and LF.
#pragma once

#include <string>

#ifndef _WIN32
#include <iconv.h>
#endif

namespace vesk {

inline std::string ReportTextForTerminal(const std::string& report) {
  std::string text;
  for (char c : report)
    if (c != '\r') text += c;
#ifndef _WIN32
  iconv_t converter = iconv_open("UTF-8", "WINDOWS-1251");
  if (converter == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out(text.size() * 3, '\0');
  char* in = text.data();
  std::size_t inLeft = text.size();
  char* next = out.data();
  std::size_t outLeft = out.size();
  const bool converted = iconv(converter, &in, &inLeft, &next, &outLeft) != static_cast<std::size_t>(-1);
  iconv_close(converter);
  if (!converted) return text;
  out.resize(out.size() - outLeft);
  return out;
#else
  return text;
#endif
}

}  // namespace vesk
