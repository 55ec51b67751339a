#include "platform/debug_trace.h"

#include <cstdarg>
#include <cstdio>

namespace vesk::platform {

void DebugTrace::Write(const char* text) {
  if (TraceSink* sink = sink_.load(std::memory_order_acquire)) sink->Trace(text);
}

void DebugTrace::WriteFormatted(const char* format, ...) {
  TraceSink* sink = sink_.load(std::memory_order_acquire);
  if (!sink) return;
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  sink->Trace(line);
}

}  // namespace vesk::platform
