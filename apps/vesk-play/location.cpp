#include "apps/vesk-play/location.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "probe/recording_probe.h"

namespace vesk::play {
namespace {

constexpr std::string_view kFilePrefix = "file:\\";

// "scheme" of "scheme://...", or empty.
std::string SchemeOf(const std::string& location) {
  const std::size_t end = location.find("://");
  if (end == std::string::npos || end == 0) return "";
  for (std::size_t i = 0; i < end; ++i) {
    const char c = location[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))) return "";
  }
  return location.substr(0, end);
}

}  // namespace

std::optional<Location> CheckLocation(const std::string& location, std::string* error) {
  if (location == "-") {
    *error = "-: a recording cannot be read from standard input; give a file or an http:// URL";
    return std::nullopt;
  }
  const std::string scheme = SchemeOf(location);
  if (scheme == "http") return Location{true, ""};
  if (!scheme.empty()) {
    *error = location + ": " + scheme + ":// is not supported (a file, or http:// for a live recorder)";
    return std::nullopt;
  }
  Location file{false, location};
  if (file.path.rfind(kFilePrefix, 0) == 0) file.path.erase(0, kFilePrefix.size());
  struct stat status {};
  if (::stat(file.path.c_str(), &status) != 0) {
    *error = file.path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  if (S_ISDIR(status.st_mode)) {
    *error = file.path + ": is a directory, not a recording";
    return std::nullopt;
  }
  if (!S_ISREG(status.st_mode)) {
    *error = file.path + ": is not a regular file";
    return std::nullopt;
  }
  const int fd = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = file.path + ": " + std::strerror(errno);
    return std::nullopt;
  }
  ::close(fd);
  return file;
}

std::string WhyNotARecording(const std::string& path) {
  const probe::ProbeResult probed = probe::ProbeRecording(path);
  return path + ": not a VESK recording" + (probed.error.empty() ? "" : " (" + probed.error + ")");
}

}  // namespace vesk::play
