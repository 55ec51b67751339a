// XvfbDisplay: a virtual X server of the test's own, so that the window tests
// run wherever Xvfb is installed and never on the user's screen. DISPLAY
// names it while it runs.
#pragma once

#include <sys/types.h>

#include <string>

namespace vesk::desktop::testing {

class XvfbDisplay {
 public:
  // Starts Xvfb and waits (at most 10 s) until it names its display; on
  // failure Ready() is false and Failure() says why.
  XvfbDisplay();
  ~XvfbDisplay();
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  bool Ready() const { return !display_.empty(); }
  const std::string& Failure() const { return failure_; }

 private:
  pid_t server_ = -1;
  std::string display_;
  std::string failure_;
};

}  // namespace vesk::desktop::testing
