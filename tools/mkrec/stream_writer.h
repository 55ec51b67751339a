// Writes the recorder's byte stream packet by packet: the low layer of
// vesk-mkrec, also used by tests to build streams that break the rules.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "input/stream_format.h"

namespace vesk::mkrec {

using Bytes = std::span<const std::uint8_t>;

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const std::uint8_t* bytes, std::size_t size) = 0;
};

class VectorSink final : public ByteSink {
 public:
  void Write(const std::uint8_t* bytes, std::size_t size) override {
    bytes_.insert(bytes_.end(), bytes, bytes + size);
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  std::vector<std::uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// Writes to a file; Close() tells whether every byte reached it.
class FileSink final : public ByteSink {
 public:
  explicit FileSink(const std::string& path);
  ~FileSink() override;
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  void Write(const std::uint8_t* bytes, std::size_t size) override;
  bool Close();

 private:
  std::FILE* file_;
  bool failed_ = false;
};

class StreamWriter {
 public:
  explicit StreamWriter(ByteSink& sink) : sink_(sink) {}

  void ChannelDescription(Bytes record);
  void IndexPosition(std::uint32_t time, std::uint32_t prevLength = 0);
  // One fragment exactly as given; its length field is the payload's size.
  void Fragment(std::uint8_t channel, Bytes payload, bool first, bool last,
                std::uint8_t flagByte = 0);
  // A whole data packet, split into fragments of at most `maxFragment` bytes.
  void DataPacket(std::uint8_t channel, Bytes payload, std::uint8_t flagByte = 0,
                  std::uint32_t maxFragment = input::kMaxFragmentPayload);
  void Raw(Bytes bytes);

  // Bytes written so far: the offset of the next packet.
  std::uint64_t Position() const { return position_; }
  // Channel descriptions, index positions and fragments written so far.
  std::uint64_t PacketCount() const { return packetCount_; }

 private:
  void Emit(const std::uint8_t* bytes, std::size_t size);

  ByteSink& sink_;
  std::uint64_t position_ = 0;
  std::uint64_t packetCount_ = 0;
};

// The payload of a channel description: the device name, then the channel entries.
class ConfigurationBuilder {
 public:
  // Texts are written as given: callers pass KOI8-R (see Koi8FromUtf8).
  explicit ConfigurationBuilder(const std::string& deviceName);

  ConfigurationBuilder& Channel(std::uint8_t number, std::uint8_t type, const std::string& codec,
                                const std::string& name, const std::string& options);
  // The 0xA5 byte that ends the channel list; optional in the format.
  ConfigurationBuilder& End();

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  void Text(const std::string& text);

  std::vector<std::uint8_t> bytes_;
};

// A status payload: 4 bytes the filter ignores, then one (channel, activity)
// entry per channel from 0 up to the last one given.
std::vector<std::uint8_t> StatusPayload(const std::vector<std::uint8_t>& activityByChannel);

// The recorder's KOI8-R for a UTF-8 text; characters KOI8-R lacks become '?'.
std::string Koi8FromUtf8(const std::string& utf8);

}  // namespace vesk::mkrec
