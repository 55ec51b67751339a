#include "audio/audio_pin.h"

#include <algorithm>
#include <cstring>

#include "platform/little_endian.h"

namespace vesk::audio {
namespace {

constexpr std::uint32_t kWaveFormatSize = 18;
constexpr std::uint16_t kFormatTagPcm = 1;

// The 18-byte format block, written field by field.
BYTE* NewWaveFormat(const AudioChannelFormat& format) {
  auto* block = static_cast<BYTE*>(CoTaskMemAlloc(kWaveFormatSize));
  if (!block) return nullptr;
  platform::StoreLe16(block, kFormatTagPcm);
  platform::StoreLe16(block + 2, format.channels);
  platform::StoreLe32(block + 4, format.rate);
  platform::StoreLe32(block + 8, format.AverageBytesPerSecond());
  platform::StoreLe16(block + 12, format.BlockAlign());
  platform::StoreLe16(block + 14, format.bits);
  platform::StoreLe16(block + 16, 0);
  return block;
}

// 8-bit PCM is unsigned: its silence is the middle value, and a zero there
// would be full negative level, a click at every mute.
int SilenceByte(const AudioChannelFormat& format) { return format.bits == 8 ? 0x80 : 0; }

}  // namespace

AudioPin::AudioPin(filter::PinOwner& owner, platform::CriticalSection& pinLock)
    : AudioOutput(owner, VESK_WIDE("Audio"), pinLock) {}

void AudioPin::DescribeForReport(input::PinReport& report) {
  const AudioChannelFormat format = Format();
  report.hasAudioPin = true;
  report.audioChannels = format.channels;
  report.samplesPerSecond = static_cast<int>(format.rate);
  report.bitsPerSample = format.bits;
  report.audioConnected = IsConnected();
}

AudioChannelFormat AudioPin::Format() const {
  std::lock_guard lock(formatLock_);
  return format_;
}

HRESULT AudioPin::GetMediaType(int position, AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  const AudioChannelFormat format = Format();
  *type = AM_MEDIA_TYPE{};
  type->majortype = MEDIATYPE_Audio;
  type->subtype = MEDIASUBTYPE_PCM;
  type->formattype = FORMAT_WaveFormatEx;
  type->bFixedSizeSamples = TRUE;
  type->bTemporalCompression = FALSE;
  type->lSampleSize = format.BlockAlign();
  type->pbFormat = NewWaveFormat(format);
  if (!type->pbFormat) return E_OUTOFMEMORY;
  type->cbFormat = kWaveFormatSize;
  return S_OK;
}

HRESULT AudioPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  if (!allocator || !request) return E_POINTER;
  const AM_MEDIA_TYPE& connection = connectionType();
  if (connection.cbFormat < 16 || !connection.pbFormat ||
      platform::LoadLe16(connection.pbFormat) != kFormatTagPcm)
    return E_FAIL;
  const std::uint32_t channels = platform::LoadLe16(connection.pbFormat + 2);
  const std::uint32_t rate = platform::LoadLe32(connection.pbFormat + 4);
  const std::uint32_t bits = platform::LoadLe16(connection.pbFormat + 14);

  const std::uint32_t bufferSize = Format().bufferSize;
  request->cbBuffer = static_cast<LONG>(bufferSize);
  const std::uint32_t bitsPerBuffer = bufferSize * 8u;
  const std::uint32_t count = bitsPerBuffer == 0 ? 0 : channels * rate * bits / bitsPerBuffer;
  request->cBuffers = std::max<LONG>(static_cast<LONG>(count) / 2, 1);

  ALLOCATOR_PROPERTIES actual{};
  HRESULT hr = allocator->SetProperties(request, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
}

void AudioPin::SetChannelDescription(const input::ChannelRecord& record) {
  StreamPin::SetChannelDescription(record);
  {
    std::lock_guard lock(formatLock_);
    format_ = AudioChannelFormat::FromOptions(record.options);
  }
  // Whether or not the format changed, the next packet renegotiates it.
  RequestReconnect();
}

HRESULT AudioPin::FillBuffer(IMediaSample* sample, input::Packet& packet) {
  if (!sample || packet.kind != input::PacketKind::kData) return S_FALSE;
  const std::int32_t active = GetActiveChannel();
  if (active >= 0 && active != packet.pinIndex) {
    packet.skip |= 1;
    return S_FALSE;
  }
  const AudioChannelFormat format = Format();
  const bool noSound = format.noSound;
  std::uint32_t length = packet.length;
  if (noSound) length = packet.data && packet.length >= 2 ? platform::LoadLe16(packet.data) : 0;
  // A packet longer than the buffer is cut to it, never written past it.
  length = std::min<std::uint32_t>(length, static_cast<std::uint32_t>(std::max<LONG>(sample->GetSize(), 0)));

  BYTE* buffer = nullptr;
  if (FAILED(sample->GetPointer(&buffer)) || !buffer) return E_FAIL;
  sample->SetActualDataLength(static_cast<LONG>(length));
  if (GetMute() == 0 && !noSound && packet.data)
    std::memcpy(buffer, packet.data, length);
  else
    std::memset(buffer, SilenceByte(format), length);

  // Every sample carries the same times: nothing downstream paces by them.
  REFERENCE_TIME start = 0, stop = 1;
  sample->SetDiscontinuity(FALSE);
  sample->SetTime(&start, &stop);
  sample->SetPreroll(FALSE);
  sample->SetMediaType(nullptr);
  sample->SetSyncPoint(FALSE);
  sample->SetMediaTime(&start, &stop);
  return S_OK;
}

}  // namespace vesk::audio
