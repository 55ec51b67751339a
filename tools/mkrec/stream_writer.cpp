#include "mkrec/stream_writer.h"

#include <iconv.h>

#include <algorithm>

#include "platform/little_endian.h"

namespace vesk::mkrec {

using platform::StoreLe16;
using platform::StoreLe32;

FileSink::FileSink(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {}

FileSink::~FileSink() { Close(); }

void FileSink::Write(const std::uint8_t* bytes, std::size_t size) {
  if (!file_ || failed_) return;
  if (std::fwrite(bytes, 1, size, file_) != size) failed_ = true;
}

bool FileSink::Close() {
  if (!file_) return false;
  const bool flushed = std::fclose(file_) == 0;
  file_ = nullptr;
  return flushed && !failed_;
}

void StreamWriter::Emit(const std::uint8_t* bytes, std::size_t size) {
  sink_.Write(bytes, size);
  position_ += size;
}

void StreamWriter::ChannelDescription(Bytes record) {
  std::uint8_t head[8];
  StoreLe32(head, input::kChannelDescriptionMark);
  StoreLe16(head + 4, static_cast<std::uint16_t>(record.size()));
  StoreLe16(head + 6, 0);
  ++packetCount_;
  Emit(head, sizeof head);
  Emit(record.data(), record.size());
}

void StreamWriter::IndexPosition(std::uint32_t time, std::uint32_t prevLength) {
  std::uint8_t packet[12];
  StoreLe32(packet, input::kIndexPositionMark);
  StoreLe32(packet + 4, time);
  StoreLe32(packet + 8, prevLength);
  ++packetCount_;
  Emit(packet, sizeof packet);
}

void StreamWriter::Fragment(std::uint8_t channel, Bytes payload, bool first, bool last,
                            std::uint8_t flagByte) {
  input::FragmentHeader header;
  header.length = static_cast<std::uint16_t>(payload.size());
  header.flagByte = flagByte;
  header.first = first;
  header.last = last;
  header.channel = channel;
  std::uint8_t head[4];
  StoreLe32(head, header.Encode());
  ++packetCount_;
  Emit(head, sizeof head);
  Emit(payload.data(), payload.size());
}

void StreamWriter::DataPacket(std::uint8_t channel, Bytes payload, std::uint8_t flagByte,
                              std::uint32_t maxFragment) {
  maxFragment = std::clamp<std::uint32_t>(maxFragment, 1, input::kMaxFragmentPayload);
  std::size_t offset = 0;
  do {
    const std::size_t size = std::min<std::size_t>(maxFragment, payload.size() - offset);
    const bool last = offset + size == payload.size();
    Fragment(channel, payload.subspan(offset, size), offset == 0, last, flagByte);
    offset += size;
  } while (offset < payload.size());
}

void StreamWriter::Raw(Bytes bytes) { Emit(bytes.data(), bytes.size()); }

ConfigurationBuilder::ConfigurationBuilder(const std::string& deviceName) { Text(deviceName); }

ConfigurationBuilder& ConfigurationBuilder::Channel(std::uint8_t number, std::uint8_t type,
                                                    const std::string& codec,
                                                    const std::string& name,
                                                    const std::string& options) {
  bytes_.push_back(number);
  bytes_.push_back(type);
  Text(codec);
  Text(name);
  Text(options);
  return *this;
}

ConfigurationBuilder& ConfigurationBuilder::End() {
  bytes_.push_back(input::kChannelListEnd);
  return *this;
}

void ConfigurationBuilder::Text(const std::string& text) {
  bytes_.insert(bytes_.end(), text.begin(), text.end());
  bytes_.push_back(0);
}

std::vector<std::uint8_t> StatusPayload(const std::vector<std::uint8_t>& activityByChannel) {
  std::vector<std::uint8_t> payload(input::kStatusEntriesOffset, 0);
  for (std::size_t channel = 0; channel < activityByChannel.size(); ++channel) {
    payload.push_back(static_cast<std::uint8_t>(channel));
    payload.push_back(activityByChannel[channel]);
  }
  return payload;
}

std::string Koi8FromUtf8(const std::string& utf8) {
  iconv_t converter = iconv_open("KOI8-R", "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) return utf8;
  std::string out(utf8.size(), '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* next = out.data();
  std::size_t outLeft = out.size();
  while (inLeft > 0) {
    if (iconv(converter, &in, &inLeft, &next, &outLeft) != static_cast<std::size_t>(-1)) break;
    // A character KOI8-R lacks (or broken UTF-8): one '?' for the whole sequence.
    *next++ = '?';
    --outLeft;
    do {
      ++in;
      --inLeft;
    } while (inLeft > 0 && (static_cast<unsigned char>(*in) & 0xC0) == 0x80);
  }
  iconv_close(converter);
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace vesk::mkrec
