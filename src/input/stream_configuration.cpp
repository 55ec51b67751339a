#include "input/stream_configuration.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "input/koi8.h"
#include "input/stream_format.h"
#include "platform/debug_trace.h"

namespace vesk::input {

struct StreamConfiguration::Table {
  char deviceName[kDeviceNameSize] = {};
  std::uint32_t videoCount = 0;
  std::uint32_t audioCount = 0;
  std::uint32_t totalCount = 0;
  double framesPerSecond = 0.0;
  ChannelRecord records[kChannelCount];
  std::uint32_t present[kChannelCount] = {};
};

namespace {

// Walks the configuration record without ever reading past its end.
class RecordCursor {
 public:
  RecordCursor(const std::uint8_t* bytes, std::uint32_t length) : p_(bytes), left_(length) {}

  bool Empty() const { return left_ == 0; }

  bool TakeByte(std::uint8_t* out) {
    if (left_ == 0) return false;
    *out = *p_++;
    --left_;
    return true;
  }

  // Takes a text up to and including its zero byte (or to the end of the
  // record), keeps what fits the field, and recodes it for display.
  void TakeText(char* field, std::uint32_t fieldSize) {
    field[0] = '\0';
    if (left_ == 0) return;  // an empty record may have no bytes at all
    const void* zero = std::memchr(p_, 0, left_);
    const std::uint32_t textLength =
        zero ? static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(zero) - p_) : left_;
    const std::uint32_t kept = textLength < fieldSize - 1 ? textLength : fieldSize - 1;
    std::memcpy(field, p_, kept);
    field[kept] = '\0';
    RecodeKoi8(field);
    const std::uint32_t taken = zero ? textLength + 1 : textLength;
    p_ += taken;
    left_ -= taken;
  }

 private:
  const std::uint8_t* p_;
  std::uint32_t left_;
};

bool IsStoredType(std::uint32_t type) {
  return type == kChannelVideo || type == kChannelAudio || type == kChannelText ||
         type == kChannelStatus;
}

const char* ChannelTypeName(std::uint32_t type) {
  switch (type) {
    case kChannelAudio: return "Audio";
    case kChannelVideo: return "Video";
    case kChannelText: return "Text";
    default: return nullptr;
  }
}

// Appends whole lines while they fit with a terminating zero.
class ReportWriter {
 public:
  ReportWriter(char* buffer, std::uint32_t size) : buffer_(buffer), size_(size) {
    if (size_ > 0) buffer_[0] = '\0';
  }

  [[gnu::format(printf, 2, 3)]] bool Line(const char* format, ...) {
    if (cut_) return false;
    char line[1024];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length < 0) length = 0;
    if (static_cast<std::uint64_t>(used_) + static_cast<std::uint32_t>(length) + 1 > size_) {
      cut_ = true;
      return false;
    }
    std::memcpy(buffer_ + used_, line, static_cast<std::size_t>(length) + 1);
    used_ += static_cast<std::uint32_t>(length);
    return true;
  }

  HRESULT Result() const { return cut_ ? S_FALSE : S_OK; }

 private:
  char* buffer_;
  std::uint32_t size_;
  std::uint32_t used_ = 0;
  bool cut_ = false;
};

}  // namespace

StreamConfiguration::StreamConfiguration(ConfigurationListener* listener)
    : listener_(listener), table_(new Table()) {}

StreamConfiguration::~StreamConfiguration() = default;

HRESULT StreamConfiguration::ParseConfiguration(const std::uint8_t* record, std::uint32_t length) {
  if (!record && length > 0) return E_POINTER;
  std::unique_ptr<Table> fresh(new (std::nothrow) Table());
  if (!fresh) return E_OUTOFMEMORY;

  RecordCursor cursor(record, length);
  cursor.TakeText(fresh->deviceName, kDeviceNameSize);

  HRESULT result = S_OK;
  std::uint32_t lastVideoChannel = 0;
  std::uint8_t number = 0;
  while (cursor.TakeByte(&number) && number != kChannelListEnd) {
    std::uint8_t type = 0;
    if (!cursor.TakeByte(&type) || cursor.Empty()) {
      result = E_FAIL;
      break;
    }
    ChannelRecord entry;
    entry.number = number;
    entry.type = type;
    entry.previousVideoChannel = lastVideoChannel;
    cursor.TakeText(entry.codec, kChannelTextSize);
    cursor.TakeText(entry.name, kChannelTextSize);
    cursor.TakeText(entry.options, kChannelTextSize);
    if (IsStoredType(type)) fresh->records[number] = entry;
    if (type == kChannelVideo) lastVideoChannel = number;
  }

  if (FAILED(result)) {
    std::lock_guard lock(mutex_);
    table_ = std::move(fresh);
    return result;
  }

  bool videoGiven = false;
  int statusChannel = -1;
  for (int n = 0; n < kChannelCount; ++n) {
    ChannelRecord& entry = fresh->records[n];
    std::uint32_t& present = fresh->present[n];
    switch (entry.type) {
      case kChannelVideo:
        if (!videoGiven && listener_) listener_->SetVideoChannelDescription(entry);
        videoGiven = true;
        present = 1;
        entry.pinIndex = n;
        ++fresh->videoCount;
        ++fresh->totalCount;
        break;
      case kChannelAudio:
        if (listener_) listener_->SetAudioChannelDescription(entry);
        entry.pinIndex = static_cast<std::int32_t>(fresh->audioCount);
        ++fresh->audioCount;
        ++fresh->totalCount;
        present = 1;
        platform::Trace("T_AUDIO");
        break;
      case kChannelText:
        platform::Trace("T_TEXT");
        entry.pinIndex = n == 255 ? -1 : n - 128;
        present = 1;
        ++fresh->totalCount;
        break;
      case kChannelStatus:
        statusChannel = n;
        present = 1;
        break;
      default:
        present = 0;
        break;
    }
  }
  fresh->framesPerSecond = fresh->videoCount <= 1 ? 25.0 : 14.0 / fresh->videoCount;

  // A configuration that names no status channel leaves none: a stale number
  // would make a camera's pictures read as status payloads.
  if (listener_) listener_->SetStatusChannel(statusChannel);
  {
    std::lock_guard lock(mutex_);
    table_ = std::move(fresh);
    configReceived_ = true;
  }
  if (listener_) listener_->ConfigurationParsed();
  return S_OK;
}

HRESULT StreamConfiguration::GetConfigReport(char* buffer, std::uint32_t size,
                                             const PinReport& pins) const {
  if (!buffer) return E_POINTER;
  ReportWriter report(buffer, size);
  std::lock_guard lock(mutex_);
  if (!configReceived_) {
    report.Line("Config was not received yet\r\n");
    return report.Result();
  }
  const Table& t = *table_;
  report.Line("Device name: %s\r\n", t.deviceName);
  report.Line("Total channels: %d\r\n", static_cast<int>(t.totalCount));
  report.Line("Number of video channels: %d\r\n", static_cast<int>(t.videoCount));
  report.Line("Number of audio channels: %d\r\n", static_cast<int>(t.audioCount));
  report.Line("Frames Per Second: %.2f\r\n", t.framesPerSecond);
  if (pins.hasVideoPin && t.videoCount != 0)
    report.Line("Video configuration: sizeX=%d; sizeY=%d\r\n", pins.cameraWidth,
                pins.cameraHeight);
  if (pins.hasAudioPin && t.audioCount != 0)
    report.Line("Audio configuration: %d, %d, %d\r\n", pins.audioChannels, pins.samplesPerSecond,
                pins.bitsPerSample);
  report.Line("-------------Channels descriptions:-------------\r\n");
  for (int n = 0; n < kChannelCount; ++n) {
    const ChannelRecord& entry = t.records[n];
    const char* typeName = ChannelTypeName(entry.type);
    if (!typeName) continue;
    const bool connected = entry.type == kChannelAudio ? pins.audioConnected : pins.videoConnected;
    report.Line("0x%x: %s Channel; Name: %s, Codec: %s; State: %s\r\n", static_cast<unsigned>(n),
                typeName, entry.name, entry.codec, connected ? "connected" : "not connected");
  }
  report.Line("-------------end of cfg-------------------------\r\n");
  return report.Result();
}

bool StreamConfiguration::ConfigReceived() const {
  std::lock_guard lock(mutex_);
  return configReceived_;
}

std::string StreamConfiguration::DeviceName() const {
  std::lock_guard lock(mutex_);
  return table_->deviceName;
}

std::uint32_t StreamConfiguration::VideoChannelCount() const {
  std::lock_guard lock(mutex_);
  return table_->videoCount;
}

std::uint32_t StreamConfiguration::AudioChannelCount() const {
  std::lock_guard lock(mutex_);
  return table_->audioCount;
}

std::uint32_t StreamConfiguration::TotalChannelCount() const {
  std::lock_guard lock(mutex_);
  return table_->totalCount;
}

double StreamConfiguration::FramesPerSecond() const {
  std::lock_guard lock(mutex_);
  return table_->framesPerSecond;
}

std::uint32_t StreamConfiguration::IsChannelPresent(int channel) const {
  if (channel < 0 || channel >= kChannelCount) return 0;
  std::lock_guard lock(mutex_);
  return table_->present[channel];
}

ChannelRoute StreamConfiguration::RouteOf(std::uint8_t channel) const {
  std::lock_guard lock(mutex_);
  const ChannelRecord& record = table_->records[channel];
  return {record.type, record.pinIndex};
}

ChannelRecord StreamConfiguration::Channel(std::uint8_t channel) const {
  std::lock_guard lock(mutex_);
  return table_->records[channel];
}

}  // namespace vesk::input
