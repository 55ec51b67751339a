#include "mkrec/cut_file.h"

#include <filesystem>
#include <system_error>

namespace vesk::mkrec {

Status CutFile(const std::string& path, std::uint64_t size) {
  std::error_code error;
  const std::uintmax_t length = std::filesystem::file_size(path, error);
  if (error) return Status::Error(path + ": " + error.message());
  if (size > length)
    return Status::Error(path + ": cannot cut at " + std::to_string(size) + ", it has only " +
                         std::to_string(length) + " bytes");
  std::filesystem::resize_file(path, size, error);
  if (error) return Status::Error(path + ": " + error.message());
  return Status::Ok();
}

}  // namespace vesk::mkrec
