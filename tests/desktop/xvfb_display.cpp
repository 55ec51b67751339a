#include "xvfb_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace vesk::desktop::testing {

XvfbDisplay::XvfbDisplay() {
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) {
    failure_ = "no pipe for Xvfb";
    return;
  }
  server_ = ::fork();
  if (server_ == 0) {
    ::close(pipe_ends[0]);
    // The server's chatter would bury the test's report, and it must not keep
    // the test's output open; it goes when the test does, however that ends.
    if (const int quiet = ::open("/dev/null", O_WRONLY); quiet >= 0) {
      ::dup2(quiet, STDOUT_FILENO);
      ::dup2(quiet, STDERR_FILENO);
    }
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    const std::string fd = std::to_string(pipe_ends[1]);
    // Xvfb picks a free display and writes its number to the descriptor.
    ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(pipe_ends[1]);
  std::string number;
  pollfd readable{pipe_ends[0], POLLIN, 0};
  char c;
  while (::poll(&readable, 1, 10000) > 0 && ::read(pipe_ends[0], &c, 1) == 1 && c != '\n') number += c;
  ::close(pipe_ends[0]);
  if (server_ < 0 || number.empty()) {
    failure_ = "Xvfb could not be started (is the xvfb package installed?)";
    return;
  }
  display_ = ":" + number;
  ::setenv("DISPLAY", display_.c_str(), 1);
}

XvfbDisplay::~XvfbDisplay() {
  if (server_ <= 0) return;
  ::kill(server_, SIGTERM);
  ::waitpid(server_, nullptr, 0);
}

}  // namespace vesk::desktop::testing
