// StampedFiles: finds the file the module wrote under a name of its own making:
// the caller's prefix, the recording's time as "_DDMMYY_HHMMSS", an extension.
// It notes the files of that shape that exist when it is made, so that later
// it can tell which one is new or rewritten.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace vesk::play {

class StampedFiles {
 public:
  StampedFiles(const std::string& prefix, std::string extension);

  // The newest file of that shape that is new or rewritten since construction;
  // empty when there is none.
  std::filesystem::path Written() const;

 private:
  using Times = std::map<std::filesystem::path, std::filesystem::file_time_type>;

  bool HasTheShape(const std::string& name) const;
  Times Matching() const;

  std::filesystem::path directory_;  // empty for the current directory
  std::string start_;                // the prefix's last component
  std::string extension_;
  Times before_;
};

}  // namespace vesk::play
