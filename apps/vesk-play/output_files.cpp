#include "apps/vesk-play/output_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

namespace vesk::play {
namespace {

struct FileIdentity {
  dev_t device;
  ino_t inode;
  bool directory;
  bool operator==(const FileIdentity& other) const { return device == other.device && inode == other.inode; }
};

std::optional<FileIdentity> Identify(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileIdentity{status.st_dev, status.st_ino, S_ISDIR(status.st_mode)};
}

bool UserAgrees(const std::string& path) {
  std::fprintf(stderr, "vesk-play: %s exists. Overwrite? [y/N] ", path.c_str());
  std::fflush(stderr);
  char answer[16] = {};
  return std::fgets(answer, sizeof answer, stdin) && (answer[0] == 'y' || answer[0] == 'Y');
}

}  // namespace

bool CheckOutputFiles(const std::vector<std::string>& outputs, const std::string& input, Overwrite overwrite,
                      std::string* error) {
  const std::optional<FileIdentity> recording = input.empty() ? std::nullopt : Identify(input);
  std::vector<FileIdentity> checked;
  std::vector<std::filesystem::path> named;
  for (const std::string& path : outputs) {
    // Files yet to be made are told apart by name, the others by identity.
    std::error_code ignored;
    const std::filesystem::path full = std::filesystem::weakly_canonical(path, ignored);
    for (const std::filesystem::path& other : named) {
      if (full == other) {
        *error = path + ": is given for two outputs";
        return false;
      }
    }
    named.push_back(full);
    const std::optional<FileIdentity> existing = Identify(path);
    if (!existing) continue;
    if (existing->directory) {
      *error = path + ": is a directory, not a file to write";
      return false;
    }
    if (recording && *existing == *recording) {
      *error = path + ": is the recording being played; it is not overwritten";
      return false;
    }
    for (const FileIdentity& other : checked) {
      if (*existing == other) {
        *error = path + ": is given for two outputs";
        return false;
      }
    }
    checked.push_back(*existing);
    const bool replace = overwrite == Overwrite::kAlways ||
                         (overwrite == Overwrite::kAsk && ::isatty(STDIN_FILENO) && UserAgrees(path));
    if (!replace) {
      *error = path + ": exists and is kept (-y replaces it)";
      return false;
    }
  }
  return true;
}

}  // namespace vesk::play
