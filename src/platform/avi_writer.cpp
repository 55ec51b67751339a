#include "vesk/avi_writer.h"

#include <algorithm>
#include <new>

#include "platform/little_endian.h"
#include "platform/output_file.h"

namespace vesk {
using namespace platform;  // the little-endian helpers
namespace {


// Where the fields live that Close patches once the frames are known. The header
// lists have a fixed size, so the first frame always starts at kMoviData.
constexpr std::uint32_t kRiffSize = 4;
constexpr std::uint32_t kAvihData = 32;
constexpr std::uint32_t kAvihFlags = kAvihData + 12;
constexpr std::uint32_t kAvihTotalFrames = kAvihData + 16;
constexpr std::uint32_t kAvihSuggestedBuffer = kAvihData + 28;
constexpr std::uint32_t kStrhData = 108;
constexpr std::uint32_t kStrhLength = kStrhData + 32;
constexpr std::uint32_t kStrhSuggestedBuffer = kStrhData + 36;
constexpr std::uint32_t kStrfData = 172;
constexpr std::uint32_t kMoviList = 212;
constexpr std::uint32_t kMoviSize = 216;
constexpr std::uint32_t kMoviType = 220;
constexpr std::uint32_t kMoviData = 224;

constexpr std::uint32_t kChunkHeader = 8;
constexpr std::uint32_t kIndexEntry = 16;
constexpr std::uint32_t kHasIndex = 0x10;
constexpr std::uint32_t kKeyFrame = 0x10;
// 66667 / 1000000 s: the nominal 15 frames per second of the recorder's pictures.
constexpr std::uint32_t kScale = 66667;
constexpr std::uint32_t kRate = 1000000;

void StoreFourcc(std::uint8_t* p, const char (&code)[5]) {
  std::copy(code, code + 4, p);
}

// RIFF 'AVI ' with hdrl (avih, strl with strh and strf) and the start of movi.
void BuildHeaders(const BITMAPINFOHEADER& format, std::uint8_t (&h)[kMoviData]) {
  std::fill(std::begin(h), std::end(h), std::uint8_t{0});
  StoreFourcc(h + 0, "RIFF");
  StoreFourcc(h + 8, "AVI ");
  StoreFourcc(h + 12, "LIST");
  StoreLe32(h + 16, kMoviList - 20);
  StoreFourcc(h + 20, "hdrl");

  StoreFourcc(h + 24, "avih");
  StoreLe32(h + 28, 56);
  std::uint8_t* a = h + kAvihData;
  StoreLe32(a + 0, kScale * 1000000ull / kRate);  // microseconds per frame
  StoreLe32(a + 24, 1);                           // streams
  StoreLe32(a + 32, static_cast<std::uint32_t>(format.biWidth));
  StoreLe32(a + 36, static_cast<std::uint32_t>(format.biHeight));

  StoreFourcc(h + 88, "LIST");
  StoreLe32(h + 92, kMoviList - 96);
  StoreFourcc(h + 96, "strl");
  StoreFourcc(h + 100, "strh");
  StoreLe32(h + 104, 56);
  std::uint8_t* s = h + kStrhData;
  StoreFourcc(s + 0, "vids");  // handler, flags and the rest stay 0: uncompressed
  StoreLe16(s + 12, 8);        // priority
  StoreLe32(s + 20, kScale);
  StoreLe32(s + 24, kRate);
  StoreLe32(s + 40, 0xFFFFFFFFu);  // default quality

  StoreFourcc(h + 164, "strf");
  StoreLe32(h + 168, 40);
  std::uint8_t* f = h + kStrfData;
  StoreLe32(f + 0, 40);
  StoreLe32(f + 4, static_cast<std::uint32_t>(format.biWidth));
  StoreLe32(f + 8, static_cast<std::uint32_t>(format.biHeight));
  StoreLe16(f + 12, format.biPlanes);
  StoreLe16(f + 14, format.biBitCount);
  StoreLe32(f + 16, format.biCompression);
  StoreLe32(f + 20, format.biSizeImage);

  StoreFourcc(h + kMoviList, "LIST");
  StoreLe32(h + kMoviSize, 4);
  StoreFourcc(h + kMoviType, "movi");
}

}  // namespace

AviWriter::AviWriter(std::uint64_t size_limit)
    : size_limit_(std::min<std::uint64_t>(size_limit, 0xFFFFFFFFu)), file_(std::make_unique<platform::OutputFile>()) {}

AviWriter::~AviWriter() { Close(); }

bool AviWriter::IsOpen() const {
  std::lock_guard guard(lock_);
  return file_->IsOpen();
}

std::uint32_t AviWriter::FrameCount() const {
  std::lock_guard guard(lock_);
  return static_cast<std::uint32_t>(index_.size());
}

HRESULT AviWriter::Open(const std::string& path, const BITMAPINFOHEADER& format) {
  std::lock_guard guard(lock_);
  if (file_->IsOpen()) Finalise();
  if (format.biWidth <= 0 || format.biHeight == 0) return E_INVALIDARG;

  HRESULT hr = file_->Create(path);
  if (FAILED(hr)) return hr;
  end_ = 0;
  largest_frame_ = 0;
  index_.clear();

  std::uint8_t headers[kMoviData];
  BuildHeaders(format, headers);
  hr = WriteAll(headers, sizeof headers);
  if (FAILED(hr)) {
    file_->Truncate(0);
    file_->Close();
  }
  return hr;
}

HRESULT AviWriter::Write(const void* data, std::uint32_t size) {
  std::lock_guard guard(lock_);
  if (!file_->IsOpen()) return E_UNEXPECTED;
  if (data == nullptr && size != 0) return E_POINTER;

  // Room is kept for this frame's entry and the index header, so the finished
  // file never passes the limit.
  const std::uint64_t padded = std::uint64_t{size} + (size & 1u);
  const std::uint64_t finished =
      end_ + kChunkHeader + padded + kChunkHeader + kIndexEntry * (index_.size() + 1);
  if (finished > size_limit_) {
    const HRESULT hr = Finalise();
    return FAILED(hr) ? hr : kAviFileLimitReached;
  }

  try {
    index_.push_back({static_cast<std::uint32_t>(end_ - kMoviType), size});
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  HRESULT hr = WriteFrame(data, size);
  if (FAILED(hr)) {
    // Drop the torn chunk and keep what was written before as a playable file.
    index_.pop_back();
    Finalise();
    return hr;
  }
  largest_frame_ = std::max(largest_frame_, size);
  return S_OK;
}

HRESULT AviWriter::Close() {
  std::lock_guard guard(lock_);
  if (!file_->IsOpen()) return S_FALSE;
  return Finalise();
}

HRESULT AviWriter::WriteFrame(const void* data, std::uint32_t size) {
  const std::uint64_t start = end_;
  std::uint8_t header[kChunkHeader];
  StoreFourcc(header, "00db");
  StoreLe32(header + 4, size);
  const std::uint8_t pad = 0;
  HRESULT hr = WriteAll(header, sizeof header);
  if (SUCCEEDED(hr)) hr = WriteAll(data, size);
  if (SUCCEEDED(hr) && (size & 1u) != 0) hr = WriteAll(&pad, 1);
  if (FAILED(hr)) {
    end_ = start;
    file_->Truncate(end_);
  }
  return hr;
}

HRESULT AviWriter::WriteAll(const void* data, std::size_t size) {
  const HRESULT hr = file_->WriteAt(end_, data, size);
  if (SUCCEEDED(hr)) end_ += size;
  return hr;
}

HRESULT AviWriter::WriteAt(std::uint64_t position, std::uint32_t value) {
  std::uint8_t bytes[4];
  StoreLe32(bytes, value);
  return file_->WriteAt(position, bytes, sizeof bytes);
}

// Appends the index and patches the sizes and counts, then closes. When the index
// does not fit (disk full) the file is still valid, only without an index.
HRESULT AviWriter::Finalise() {
  const std::uint64_t movi_end = end_;
  const auto frames = static_cast<std::uint32_t>(index_.size());
  HRESULT first_failure = S_OK;

  bool indexed = false;
  try {
    std::vector<std::uint8_t> idx1(kChunkHeader + std::size_t{kIndexEntry} * frames);
    StoreFourcc(idx1.data(), "idx1");
    StoreLe32(idx1.data() + 4, kIndexEntry * frames);
    std::uint8_t* e = idx1.data() + kChunkHeader;
    for (const IndexEntry& entry : index_) {
      StoreFourcc(e, "00db");
      StoreLe32(e + 4, kKeyFrame);
      StoreLe32(e + 8, entry.offset);
      StoreLe32(e + 12, entry.size);
      e += kIndexEntry;
    }
    first_failure = WriteAll(idx1.data(), idx1.size());
    indexed = SUCCEEDED(first_failure);
  } catch (const std::bad_alloc&) {
    first_failure = E_OUTOFMEMORY;
  }
  if (!indexed) {
    end_ = movi_end;
    file_->Truncate(end_);
  }

  const std::uint32_t patches[][2] = {
      {kRiffSize, static_cast<std::uint32_t>(end_ - 8)},
      {kMoviSize, static_cast<std::uint32_t>(movi_end - kMoviType)},
      {kAvihFlags, indexed ? kHasIndex : 0},
      {kAvihTotalFrames, frames},
      {kAvihSuggestedBuffer, largest_frame_ + kChunkHeader},
      {kStrhLength, frames},
      {kStrhSuggestedBuffer, largest_frame_},
  };
  for (const auto& patch : patches) {
    HRESULT hr = WriteAt(patch[0], patch[1]);
    if (FAILED(hr) && SUCCEEDED(first_failure)) first_failure = hr;
  }
  const HRESULT closed = file_->Close();
  if (FAILED(closed) && SUCCEEDED(first_failure)) first_failure = closed;
  return first_failure;
}

}  // namespace vesk
