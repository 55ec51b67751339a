// The Load-time index scan over a file of any bytes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "input/file_index.h"
#include "input/file_source.h"
#include "input/packet_reader.h"
#include "input/stream_configuration.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vesk::input;
  // One file in memory for the whole run, rewritten for each input.
  static const int fd = ::memfd_create("index-scan", MFD_CLOEXEC);
  if (fd < 0 || ::ftruncate(fd, 0) != 0) return 0;
  if (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;

  FileSource file;
  if (FAILED(file.Open("/proc/self/fd/" + std::to_string(fd)))) return 0;
  PacketReader reader;
  StreamConfiguration configuration;
  FileIndex index;
  index.Scan(file, reader, configuration);
  return 0;
}
