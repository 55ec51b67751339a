#include "apps/vesk-play/stamped_files.h"

#include <cctype>
#include <system_error>
#include <utility>

namespace vesk::play {
namespace {

constexpr const char kStampShape[] = "_######_######";  // '#' a digit
constexpr std::size_t kStampLength = sizeof kStampShape - 1;

}  // namespace

// A prefix ending in '/' names a directory: its files start with the stamp.
StampedFiles::StampedFiles(const std::string& prefix, std::string extension)
    : directory_(std::filesystem::path(prefix).parent_path()),
      start_(std::filesystem::path(prefix).filename().string()),
      extension_(std::move(extension)),
      before_(Matching()) {}

bool StampedFiles::HasTheShape(const std::string& name) const {
  if (name.size() != start_.size() + kStampLength + extension_.size() || name.rfind(start_, 0) != 0 ||
      name.compare(name.size() - extension_.size(), extension_.size(), extension_) != 0) {
    return false;
  }
  for (std::size_t i = 0; i < kStampLength; ++i) {
    const char c = name[start_.size() + i];
    if (kStampShape[i] == '#' ? !std::isdigit(static_cast<unsigned char>(c)) : c != kStampShape[i]) return false;
  }
  return true;
}

StampedFiles::Times StampedFiles::Matching() const {
  Times times;
  std::error_code error;
  std::filesystem::directory_iterator entries(directory_.empty() ? "." : directory_, error);
  for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    const std::string name = entries->path().filename().string();
    std::error_code unreadable;
    const auto time = entries->last_write_time(unreadable);
    if (!unreadable && entries->is_regular_file(unreadable) && HasTheShape(name)) times[directory_ / name] = time;
  }
  return times;
}

std::filesystem::path StampedFiles::Written() const {
  std::filesystem::path newest;
  std::filesystem::file_time_type newestTime;
  for (const auto& [path, time] : Matching()) {
    const auto old = before_.find(path);
    const bool written = old == before_.end() || old->second != time;
    if (written && (newest.empty() || time > newestTime)) {
      newest = path;
      newestTime = time;
    }
  }
  return newest;
}

}  // namespace vesk::play
