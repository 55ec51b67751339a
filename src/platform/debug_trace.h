// The module's diagnostic output: fixed texts and formatted lines, one call per
// event. A host installs a sink to see them; with none installed a trace costs
// one predictable branch, with no formatting and no allocation.
#pragma once

#include <atomic>

namespace vesk::platform {

class TraceSink {
 public:
  virtual void Trace(const char* text) = 0;

 protected:
  ~TraceSink() = default;
};

class DebugTrace {
 public:
  // The sink must outlive its installation; pass nullptr to remove it.
  static void Install(TraceSink* sink) { sink_.store(sink, std::memory_order_release); }
  static bool Enabled() { return sink_.load(std::memory_order_relaxed) != nullptr; }

  static void Write(const char* text);
  [[gnu::format(printf, 1, 2)]] static void WriteFormatted(const char* format, ...);

 private:
  static inline std::atomic<TraceSink*> sink_{nullptr};
};

inline void Trace(const char* text) {
  if (DebugTrace::Enabled()) [[unlikely]]
    DebugTrace::Write(text);
}

template <typename... Args>
inline void Trace(const char* format, Args... args) {
  if (DebugTrace::Enabled()) [[unlikely]]
    DebugTrace::WriteFormatted(format, args...);
}

}  // namespace vesk::platform
