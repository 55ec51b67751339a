#include "host/wav_writer_sink.h"

#include <cstring>
#include <utility>

#include "host/media_type.h"

namespace vesk::host {
namespace {

void PutLe16(BYTE* at, std::uint16_t value) {
  at[0] = static_cast<BYTE>(value);
  at[1] = static_cast<BYTE>(value >> 8);
}

void PutLe32(BYTE* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<BYTE>(value >> (8 * i));
}

}  // namespace

ComPtr<WavWriterSink> WavWriterSink::Create(std::filesystem::path path) {
  ComPtr<WavWriterSink> sink;
  sink.Attach(new WavWriterSink(std::move(path)));
  return sink;
}

WavWriterSink::WavWriterSink(std::filesystem::path path) : path_(std::move(path)) {}

// No reference is left, so no streaming call can run: the hooks' state is ours.
WavWriterSink::~WavWriterSink() { Finish(); }

std::optional<WavWriterSink::PcmFormat> WavWriterSink::ReadFormat(const AM_MEDIA_TYPE& type) {
  const std::optional<WAVEFORMATEX> read = PcmWaveFormat(type);
  if (!read) return std::nullopt;
  const WAVEFORMATEX& wave = *read;
  PcmFormat format{wave.nChannels, wave.nSamplesPerSec, wave.wBitsPerSample, wave.nBlockAlign};
  if (wave.wFormatTag != WAVE_FORMAT_PCM || format.channels == 0 || format.samples_per_second == 0 ||
      format.bits_per_sample == 0 || format.bits_per_sample % 8 != 0 ||
      format.block_align != format.channels * format.bits_per_sample / 8) {
    return std::nullopt;
  }
  return format;
}

HRESULT WavWriterSink::CheckMediaType(const AM_MEDIA_TYPE& type) {
  return ReadFormat(type) ? S_OK : S_FALSE;
}

void WavWriterSink::OnConnected(const AM_MEDIA_TYPE& type) { connected_ = ReadFormat(type); }

HRESULT WavWriterSink::OnReceive(IMediaSample& sample) {
  if (finished_ || (written_ && written_ != connected_)) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return S_OK;
  }
  if (!file_) {
    if (HRESULT opened = Open(); FAILED(opened)) return opened;
  }
  BYTE* data = nullptr;
  if (HRESULT got = sample.GetPointer(&data); FAILED(got)) return got;
  auto length = static_cast<std::uint32_t>(sample.GetActualDataLength());
  if (data_bytes_ + std::uint64_t{length} > kMaxDataBytes) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return S_OK;
  }
  if (HRESULT appended = file_->Append(data, length); FAILED(appended)) return Fail(appended);
  data_bytes_ += length;
  return S_OK;
}

void WavWriterSink::OnEndOfStream() {
  // A stream without sound still ends in a valid, empty file.
  if (!file_ && !finished_ && connected_) Open();
  Finish();
}

void WavWriterSink::OnStop() {
  Finish();
  finished_ = false;
}

HRESULT WavWriterSink::Fail(HRESULT error) {
  HRESULT none = S_OK;
  status_.compare_exchange_strong(none, error, std::memory_order_relaxed);
  return error;
}

HRESULT WavWriterSink::Open() {
  if (!connected_) return VFW_E_NOT_CONNECTED;
  std::unique_ptr<StagedFile> file;
  if (HRESULT created = StagedFile::Create(path_, &file); FAILED(created)) return Fail(created);
  file_ = std::move(file);
  written_ = connected_;
  data_bytes_ = 0;
  // Sizes stay zero until Finish: a reader of the staging file sees no data.
  const std::array<BYTE, kHeaderSize> header = Header();
  HRESULT result = file_->Append(header.data(), header.size());
  return FAILED(result) ? Fail(result) : S_OK;
}

std::array<BYTE, WavWriterSink::kHeaderSize> WavWriterSink::Header() const {
  const std::uint32_t pad = data_bytes_ % 2;
  std::array<BYTE, kHeaderSize> header{};
  std::memcpy(&header[0], "RIFF", 4);
  PutLe32(&header[4], kHeaderSize - 8 + data_bytes_ + pad);
  std::memcpy(&header[8], "WAVEfmt ", 8);
  PutLe32(&header[16], 16);
  PutLe16(&header[20], WAVE_FORMAT_PCM);
  PutLe16(&header[22], written_->channels);
  PutLe32(&header[24], written_->samples_per_second);
  PutLe32(&header[28], written_->samples_per_second * written_->block_align);
  PutLe16(&header[32], written_->block_align);
  PutLe16(&header[34], written_->bits_per_sample);
  std::memcpy(&header[36], "data", 4);
  PutLe32(&header[40], data_bytes_);
  return header;
}

void WavWriterSink::Finish() {
  if (file_) {
    // RIFF chunks are word aligned: odd data gets a pad byte outside its size.
    const BYTE pad = 0;
    HRESULT result = data_bytes_ % 2 != 0 ? file_->Append(&pad, 1) : S_OK;
    const std::array<BYTE, kHeaderSize> header = Header();
    if (SUCCEEDED(result)) result = file_->WriteAt(0, header.data(), header.size());
    if (SUCCEEDED(result)) result = file_->Commit();
    if (FAILED(result)) Fail(result);
    file_.reset();
    const double bytesPerSecond = static_cast<double>(written_->samples_per_second) * written_->block_align;
    seconds_written_.store(bytesPerSecond > 0 ? data_bytes_ / bytesPerSecond : 0.0, std::memory_order_relaxed);
  }
  written_.reset();
  finished_ = true;
}

}  // namespace vesk::host
