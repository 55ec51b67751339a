// Collects the module's trace lines while a test runs.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/debug_trace.h"

namespace vesk::test {

class TraceCapture final : public platform::TraceSink {
 public:
  TraceCapture() { platform::DebugTrace::Install(this); }
  ~TraceCapture() { platform::DebugTrace::Install(nullptr); }
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  void Trace(const char* text) override { lines_.emplace_back(text); }

  const std::vector<std::string>& lines() const { return lines_; }
  bool Saw(const std::string& line) const {
    return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
  }

 private:
  std::vector<std::string> lines_;
};

}  // namespace vesk::test
