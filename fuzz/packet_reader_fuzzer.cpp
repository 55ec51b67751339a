// The packet reader over a byte source that ends anywhere: the first byte
// chooses a file read with payloads, a file read header by header, or a
// network read; the rest is the stream.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "input/packet_reader.h"
#include "memory_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vesk::input;
  if (size == 0) return 0;
  const std::uint8_t choice = data[0] % 3;
  vesk::test::MemorySource source(std::vector<std::uint8_t>(data + 1, data + size), choice == 2);
  PacketReader reader;
  // Channel 16 carries the status payloads, as the generated recordings have it.
  reader.SetStatusChannel(16);
  const ReadMode mode = choice == 1 ? ReadMode::kHeadersOnly : ReadMode::kWithData;
  PacketPtr packet;
  while (reader.ReadPacket(source, &packet, mode) == S_OK) {
    if (packet->data && packet->data[packet->length] != 0) __builtin_trap();  // the zero after the payload
  }
  return 0;
}
