// StagedFile: a file written under a temporary name beside its final path and
// renamed into place only when complete, so a crash never leaves a half-written
// file under the final name. What a writer killed outright left of its
// temporary file goes when the next one stages the same path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "vesk/com.h"

namespace vesk::host {

class StagedFile {
 public:
  static HRESULT Create(const std::filesystem::path& path, std::unique_ptr<StagedFile>* file);
  // Without Commit the temporary file is removed.
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  HRESULT Append(const void* data, std::size_t size);
  // Overwrites bytes already written (a header completed at the end).
  HRESULT WriteAt(std::uint64_t offset, const void* data, std::size_t size);
  // Flushes to disk and renames the file into place; the object is spent afterwards.
  HRESULT Commit();

 private:
  StagedFile(std::filesystem::path path, std::filesystem::path staging, int fd);

  const std::filesystem::path path_;
  const std::filesystem::path staging_;
  int fd_;  // -1 once committed
};

}  // namespace vesk::host
