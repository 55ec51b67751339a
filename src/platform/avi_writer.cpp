#include "vesk/avi_writer.h"

#include <algorithm>
#include <array>
#include <new>

#include "platform/little_endian.h"
#include "platform/output_file.h"

namespace vesk {
using namespace platform;  // the little-endian helpers
namespace {


constexpr std::uint32_t kChunkHeader = 8;
constexpr std::uint32_t kListHeader = 12;
constexpr std::uint32_t kAvihSize = 56;
constexpr std::uint32_t kStrhSize = 56;
constexpr std::uint32_t kStrfSize = 40;
// Both kinds of OpenDML index have 24 bytes of fields before their entries.
constexpr std::uint32_t kIndexFields = 24;
constexpr std::uint32_t kSuperIndexEntry = 16;
constexpr std::uint32_t kStandardIndexEntry = 8;
constexpr std::uint32_t kIndxSize = kIndexFields + kSuperIndexEntry * AviWriter::kMaxSegments;
constexpr std::uint32_t kDmlhSize = 248;

// Where the fields live that are patched once the frames are known. The header
// lists have a fixed size, so the first frame always starts at kMoviData.
constexpr std::uint32_t kRiffSize = 4;
constexpr std::uint32_t kHdrlList = 12;
constexpr std::uint32_t kAvihData = kHdrlList + kListHeader + kChunkHeader;
constexpr std::uint32_t kAvihFlags = kAvihData + 12;
constexpr std::uint32_t kAvihTotalFrames = kAvihData + 16;
constexpr std::uint32_t kAvihSuggestedBuffer = kAvihData + 28;
constexpr std::uint32_t kStrlList = kAvihData + kAvihSize;
constexpr std::uint32_t kStrhData = kStrlList + kListHeader + kChunkHeader;
constexpr std::uint32_t kStrhLength = kStrhData + 32;
constexpr std::uint32_t kStrhSuggestedBuffer = kStrhData + 36;
constexpr std::uint32_t kStrfData = kStrhData + kStrhSize + kChunkHeader;
constexpr std::uint32_t kIndxData = kStrfData + kStrfSize + kChunkHeader;
constexpr std::uint32_t kIndxEntriesInUse = kIndxData + 4;
constexpr std::uint32_t kOdmlList = kIndxData + kIndxSize;
constexpr std::uint32_t kDmlhData = kOdmlList + kListHeader + kChunkHeader;
constexpr std::uint32_t kMoviList = kDmlhData + kDmlhSize;
constexpr std::uint32_t kMoviType = kMoviList + 8;
constexpr std::uint32_t kMoviData = kMoviList + kListHeader;
// A further RIFF: 'RIFF' size 'AVIX', then 'LIST' size 'movi'.
constexpr std::uint32_t kAvixHeader = 12 + kListHeader;
constexpr std::uint32_t kAvixMoviType = kAvixHeader - 4;

constexpr std::uint32_t kIndexEntry = 16;
constexpr std::uint32_t kHasIndex = 0x10;
constexpr std::uint32_t kKeyFrame = 0x10;
constexpr std::uint8_t kIndexOfIndexes = 0;
constexpr std::uint8_t kIndexOfChunks = 1;
// 66667 / 1000000 s: the nominal 15 frames per second of the recorder's pictures.
constexpr std::uint32_t kScale = 66667;
constexpr std::uint32_t kRate = 1000000;

void StoreFourcc(std::uint8_t* p, const char (&code)[5]) {
  std::copy(code, code + 4, p);
}

void StoreLe64(std::uint8_t* p, std::uint64_t v) {
  StoreLe32(p, static_cast<std::uint32_t>(v));
  StoreLe32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

void StoreChunk(std::uint8_t* p, const char (&id)[5], std::uint32_t size) {
  StoreFourcc(p, id);
  StoreLe32(p + 4, size);
}

void StoreList(std::uint8_t* p, const char (&type)[5], std::uint32_t end) {
  StoreChunk(p, "LIST", end - 8);
  StoreFourcc(p + 8, type);
}

// RIFF 'AVI ' with hdrl (avih, strl with strh, strf and the super index, odml
// with dmlh) and the start of movi.
void BuildHeaders(const BITMAPINFOHEADER& format, std::vector<std::uint8_t>& headers) {
  headers.assign(kMoviData, 0);
  std::uint8_t* h = headers.data();
  StoreFourcc(h + 0, "RIFF");
  StoreFourcc(h + 8, "AVI ");
  StoreList(h + kHdrlList, "hdrl", kMoviList - kHdrlList);

  StoreChunk(h + kAvihData - kChunkHeader, "avih", kAvihSize);
  std::uint8_t* a = h + kAvihData;
  StoreLe32(a + 0, kScale * 1000000ull / kRate);  // microseconds per frame
  StoreLe32(a + 24, 1);                           // streams
  StoreLe32(a + 32, static_cast<std::uint32_t>(format.biWidth));
  StoreLe32(a + 36, static_cast<std::uint32_t>(format.biHeight));

  StoreList(h + kStrlList, "strl", kOdmlList - kStrlList);
  StoreChunk(h + kStrhData - kChunkHeader, "strh", kStrhSize);
  std::uint8_t* s = h + kStrhData;
  StoreFourcc(s + 0, "vids");  // handler, flags and the rest stay 0: uncompressed
  StoreLe16(s + 12, 8);        // priority
  StoreLe32(s + 20, kScale);
  StoreLe32(s + 24, kRate);
  StoreLe32(s + 40, 0xFFFFFFFFu);  // default quality

  StoreChunk(h + kStrfData - kChunkHeader, "strf", kStrfSize);
  std::uint8_t* f = h + kStrfData;
  StoreLe32(f + 0, 40);
  StoreLe32(f + 4, static_cast<std::uint32_t>(format.biWidth));
  StoreLe32(f + 8, static_cast<std::uint32_t>(format.biHeight));
  StoreLe16(f + 12, format.biPlanes);
  StoreLe16(f + 14, format.biBitCount);
  StoreLe32(f + 16, format.biCompression);
  StoreLe32(f + 20, format.biSizeImage);

  StoreChunk(h + kIndxData - kChunkHeader, "indx", kIndxSize);
  std::uint8_t* x = h + kIndxData;
  StoreLe16(x + 0, kSuperIndexEntry / 4);  // longs per entry
  x[3] = kIndexOfIndexes;
  StoreFourcc(x + 8, "00db");

  StoreList(h + kOdmlList, "odml", kMoviList - kOdmlList);
  StoreChunk(h + kDmlhData - kChunkHeader, "dmlh", kDmlhSize);

  StoreList(h + kMoviList, "movi", kListHeader);  // the frames' sizes come at the end
}

}  // namespace

AviWriter::AviWriter(std::uint64_t size_limit, std::uint64_t segment_size)
    : size_limit_(size_limit),
      segment_size_(std::min<std::uint64_t>(segment_size, kSegmentSize)),
      file_(std::make_unique<platform::OutputFile>()) {}

AviWriter::~AviWriter() { Close(); }

bool AviWriter::IsOpen() const {
  std::lock_guard guard(lock_);
  return file_->IsOpen();
}

std::uint32_t AviWriter::FrameCount() const {
  std::lock_guard guard(lock_);
  return frames_;
}

HRESULT AviWriter::Open(const std::string& path, const BITMAPINFOHEADER& format) {
  std::lock_guard guard(lock_);
  if (file_->IsOpen()) Finalise();
  if (format.biWidth <= 0 || format.biHeight == 0) return E_INVALIDARG;

  std::vector<std::uint8_t> headers;
  try {
    BuildHeaders(format, headers);
    index_.clear();
    segments_.clear();
    segments_.reserve(kMaxSegments);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  end_ = 0;
  largest_frame_ = 0;
  segment_start_ = 0;
  frames_ = 0;
  first_frames_ = 0;
  first_indexed_ = false;
  segment_open_ = true;
  if (HRESULT created = file_->Create(path); FAILED(created)) return created;

  HRESULT hr = WriteAll(headers.data(), headers.size());
  if (FAILED(hr)) {
    file_->Truncate(0);
    file_->Close();
  }
  return hr;
}

std::uint64_t AviWriter::IndexBytes(std::size_t frames) const {
  const std::uint64_t standard = frames == 0 ? 0 : kChunkHeader + kIndexFields + kStandardIndexEntry * frames;
  const std::uint64_t legacy = segment_start_ == 0 ? kChunkHeader + kIndexEntry * frames : 0;
  return standard + legacy;
}

HRESULT AviWriter::Write(const void* data, std::uint32_t size) {
  std::lock_guard guard(lock_);
  if (!file_->IsOpen()) return E_UNEXPECTED;
  if (data == nullptr && size != 0) return E_POINTER;

  // Room is kept for this frame's index entries and the index headers, so
  // neither a RIFF nor the finished file passes its limit.
  const std::uint64_t chunk = kChunkHeader + std::uint64_t{size} + (size & 1u);
  const bool next_segment =
      !index_.empty() && end_ - segment_start_ + chunk + IndexBytes(index_.size() + 1) > segment_size_;
  const std::uint64_t finished =
      next_segment ? end_ + IndexBytes(index_.size()) + kAvixHeader + chunk + kChunkHeader + kIndexFields +
                         kStandardIndexEntry
                   : end_ + chunk + IndexBytes(index_.size() + 1);
  if (finished > size_limit_ || (next_segment && segments_.size() + 2 > kMaxSegments)) {
    const HRESULT hr = Finalise();
    return FAILED(hr) ? hr : kAviFileLimitReached;
  }
  if (next_segment) {
    HRESULT hr = EndSegment();
    if (SUCCEEDED(hr)) hr = BeginExtraSegment();
    if (FAILED(hr)) {
      Finalise();
      return hr;
    }
  }

  try {
    index_.push_back({static_cast<std::uint32_t>(end_ + kChunkHeader - segment_start_), size});
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
  ++frames_;
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
  StoreChunk(header, "00db", size);
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
  HRESULT hr = WriteAt(end_, data, size);
  if (SUCCEEDED(hr)) end_ += size;
  return hr;
}

HRESULT AviWriter::WriteAt(std::uint64_t position, const void* data, std::size_t size) {
  return file_->WriteAt(position, data, size);
}

HRESULT AviWriter::WriteAt(std::uint64_t position, std::uint32_t value) {
  std::uint8_t bytes[4];
  StoreLe32(bytes, value);
  return WriteAt(position, bytes, sizeof bytes);
}

HRESULT AviWriter::EndSegment() {
  const bool first = segment_start_ == 0;
  const std::uint64_t movi_type = segment_start_ + (first ? kMoviType : kAvixMoviType);
  const auto frames = static_cast<std::uint32_t>(index_.size());
  HRESULT first_failure = S_OK;
  auto keep_failure = [&first_failure](HRESULT hr) {
    if (FAILED(hr) && SUCCEEDED(first_failure)) first_failure = hr;
    return SUCCEEDED(hr);
  };
  // An index that cannot be written in full is cut off again.
  auto append = [&](const std::vector<std::uint8_t>& chunk) {
    const std::uint64_t start = end_;
    if (keep_failure(WriteAll(chunk.data(), chunk.size()))) return true;
    end_ = start;
    file_->Truncate(end_);
    return false;
  };

  try {
    if (frames > 0) {
      std::vector<std::uint8_t> ix(kChunkHeader + kIndexFields + std::size_t{kStandardIndexEntry} * frames);
      StoreChunk(ix.data(), "ix00", static_cast<std::uint32_t>(ix.size() - kChunkHeader));
      std::uint8_t* f = ix.data() + kChunkHeader;
      StoreLe16(f + 0, kStandardIndexEntry / 4);  // longs per entry
      f[3] = kIndexOfChunks;
      StoreLe32(f + 4, frames);
      StoreFourcc(f + 8, "00db");
      StoreLe64(f + 12, segment_start_);  // the entries' offsets count from here
      std::uint8_t* e = f + kIndexFields;
      for (const IndexEntry& entry : index_) {
        StoreLe32(e, entry.offset);
        StoreLe32(e + 4, entry.size);  // bit 31 clear: a key frame
        e += kStandardIndexEntry;
      }
      const std::uint64_t at = end_;
      if (append(ix)) segments_.push_back({at, static_cast<std::uint32_t>(ix.size()), frames});
    }
  } catch (const std::bad_alloc&) {
    keep_failure(E_OUTOFMEMORY);
  }
  keep_failure(WriteAt(movi_type - 4, static_cast<std::uint32_t>(end_ - movi_type)));

  if (first) {
    first_frames_ = frames;
    try {
      std::vector<std::uint8_t> idx1(kChunkHeader + std::size_t{kIndexEntry} * frames);
      StoreChunk(idx1.data(), "idx1", kIndexEntry * frames);
      std::uint8_t* e = idx1.data() + kChunkHeader;
      for (const IndexEntry& entry : index_) {
        StoreFourcc(e, "00db");
        StoreLe32(e + 4, kKeyFrame);
        StoreLe32(e + 8, entry.offset - kChunkHeader - kMoviType);  // from the 'movi' list type
        StoreLe32(e + 12, entry.size);
        e += kIndexEntry;
      }
      first_indexed_ = append(idx1);
    } catch (const std::bad_alloc&) {
      keep_failure(E_OUTOFMEMORY);
    }
  }
  keep_failure(WriteAt(segment_start_ + kRiffSize, static_cast<std::uint32_t>(end_ - segment_start_ - 8)));
  index_.clear();
  segment_open_ = false;
  return first_failure;
}

HRESULT AviWriter::BeginExtraSegment() {
  std::uint8_t header[kAvixHeader];
  StoreChunk(header, "RIFF", 0);  // sizes patched when the RIFF ends
  StoreFourcc(header + 8, "AVIX");
  StoreList(header + 12, "movi", kListHeader);
  const std::uint64_t start = end_;
  const HRESULT hr = WriteAll(header, sizeof header);
  if (FAILED(hr)) {
    end_ = start;
    file_->Truncate(end_);
    return hr;
  }
  segment_start_ = start;
  segment_open_ = true;
  return S_OK;
}

// Ends the last RIFF and patches the counts and the super index, then closes.
// Where an index does not fit (disk full) the file is still valid, only
// without that index.
HRESULT AviWriter::Finalise() {
  HRESULT first_failure = S_OK;
  if (segment_open_ && segment_start_ != 0 && index_.empty()) {
    // A further RIFF whose first frame failed goes again.
    end_ = segment_start_;
    file_->Truncate(end_);
  } else if (segment_open_) {
    first_failure = EndSegment();
  }
  std::array<std::uint8_t, kSuperIndexEntry * kMaxSegments> entries{};
  for (std::size_t i = 0; i < segments_.size(); ++i) {
    std::uint8_t* e = entries.data() + kSuperIndexEntry * i;
    StoreLe64(e, segments_[i].index_offset);
    StoreLe32(e + 8, segments_[i].index_size);
    StoreLe32(e + 12, segments_[i].frames);
  }
  const std::uint32_t patches[][2] = {
      {kAvihFlags, first_indexed_ ? kHasIndex : 0},
      {kAvihTotalFrames, first_frames_},  // the first RIFF's; the extended header counts all
      {kAvihSuggestedBuffer, largest_frame_ + kChunkHeader},
      {kStrhLength, frames_},
      {kStrhSuggestedBuffer, largest_frame_},
      {kDmlhData, frames_},
      {kIndxEntriesInUse, static_cast<std::uint32_t>(segments_.size())},
  };
  for (const auto& patch : patches) {
    HRESULT hr = WriteAt(patch[0], patch[1]);
    if (FAILED(hr) && SUCCEEDED(first_failure)) first_failure = hr;
  }
  HRESULT hr = WriteAt(kIndxData + kIndexFields, entries.data(), kSuperIndexEntry * segments_.size());
  if (FAILED(hr) && SUCCEEDED(first_failure)) first_failure = hr;
  const HRESULT closed = file_->Close();
  if (FAILED(closed) && SUCCEEDED(first_failure)) first_failure = closed;
  return first_failure;
}

}  // namespace vesk
