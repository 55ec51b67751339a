#include "cli/output_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

namespace vesk::cli {
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

bool UserAgrees(const char* program, const std::string& path) {
  std::fprintf(stderr, "%s: %s exists. Overwrite? [y/N] ", program, path.c_str());
  std::fflush(stderr);
  char answer[16] = {};
  return std::fgets(answer, sizeof answer, stdin) && (answer[0] == 'y' || answer[0] == 'Y');
}

}  // namespace

bool CheckOutputFiles(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs,
                      Overwrite overwrite, const char* program, std::string* error) {
  std::vector<FileIdentity> read;
  for (const std::string& input : inputs)
    if (const std::optional<FileIdentity> identity = Identify(input)) read.push_back(*identity);
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
    // The folder must take a new file: the output is made there under another name first.
    const std::filesystem::path folder = std::filesystem::path(path).has_parent_path()
                                             ? std::filesystem::path(path).parent_path()
                                             : std::filesystem::path(".");
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
      *error = path + ": cannot be written in " + folder.string() + ": " + std::strerror(errno);
      return false;
    }
    const std::optional<FileIdentity> existing = Identify(path);
    if (!existing) continue;
    if (existing->directory) {
      *error = path + ": is a directory, not a file to write";
      return false;
    }
    if (std::find(read.begin(), read.end(), *existing) != read.end()) {
      *error = path + ": is an input of this run; it is not overwritten";
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
                         (overwrite == Overwrite::kAsk && ::isatty(STDIN_FILENO) && UserAgrees(program, path));
    if (!replace) {
      *error = path + ": exists and is kept (-y replaces it)";
      return false;
    }
  }
  return true;
}

}  // namespace vesk::cli
