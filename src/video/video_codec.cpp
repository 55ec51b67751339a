#include "video/video_codec.h"

#include <cstring>
#include <new>

#include "platform/debug_trace.h"

namespace vesk::video {
namespace {

// The planar and packed YUV subtypes: the FOURCC in the common template.
constexpr GUID FourCcSubtype(DWORD fourCc) {
  return {fourCc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
constexpr GUID kSubtypeIyuv = FourCcSubtype(0x56555949);  // "IYUV"
constexpr GUID kSubtypeYv12 = FourCcSubtype(0x32315659);  // "YV12"
constexpr GUID kSubtypeYuy2 = FourCcSubtype(0x32595559);  // "YUY2"
constexpr GUID kSubtypeYvyu = FourCcSubtype(0x55595659);  // "YVYU"
constexpr GUID kSubtypeUyvy = FourCcSubtype(0x59565955);  // "UYVY"

struct ColourSpaceEntry {
  const GUID& subtype;
  int colourSpace;
};

// RGB output is flipped so that the first row in memory is the bottom row,
// the row order of the pin's RGB samples.
const ColourSpaceEntry kColourSpaces[] = {
    {kSubtypeIyuv, XVID_CSP_I420},
    {kSubtypeYv12, XVID_CSP_YV12},
    {kSubtypeYuy2, XVID_CSP_YUY2},
    {kSubtypeYvyu, XVID_CSP_YVYU},
    {kSubtypeUyvy, XVID_CSP_UYVY},
    {MEDIASUBTYPE_RGB32, XVID_CSP_BGRA | XVID_CSP_VFLIP},
    {MEDIASUBTYPE_RGB24, XVID_CSP_BGR | XVID_CSP_VFLIP},
    {MEDIASUBTYPE_RGB555, XVID_CSP_RGB555 | XVID_CSP_VFLIP},
    {MEDIASUBTYPE_RGB565, XVID_CSP_RGB565 | XVID_CSP_VFLIP},
    {GUID_NULL, XVID_CSP_NULL},
};

constexpr int kRgb32 = XVID_CSP_BGRA | XVID_CSP_VFLIP;
constexpr std::size_t kSpareBytes = 256;

}  // namespace

CVideoCodec::CVideoCodec(const std::uint32_t* cameraSize) : cameraSize_(cameraSize) {
  init_.version = kXvidRecordVersion;
  create_.version = kXvidRecordVersion;
  create_.width = static_cast<int>(cameraSize_[0]);
  create_.height = static_cast<int>(cameraSize_[1]);
  frame_.version = kXvidRecordVersion;
  xvid_global(nullptr, XVID_GBL_INIT, &init_, nullptr);
  platform::Trace("CVideoCodec::CVideoCodec, x=%d, y=%d", create_.width, create_.height);
  // A failed create leaves the handle null, and such a decoder never decodes.
  if (xvid_decore(nullptr, XVID_DEC_CREATE, &create_, nullptr) < 0) create_.handle = nullptr;
}

CVideoCodec::~CVideoCodec() {
  if (create_.handle) xvid_decore(create_.handle, XVID_DEC_DESTROY, nullptr, nullptr);
}

HRESULT CVideoCodec::SetMediaType(const AM_MEDIA_TYPE& type) {
  platform::Trace("CVideoCodec::SetMediaType");
  frameCount_ = 0;
  if (type.formattype != FORMAT_VideoInfo || !type.pbFormat ||
      type.cbFormat < sizeof(VIDEOINFOHEADER))
    return S_FALSE;
  const ColourSpaceEntry* entry = nullptr;
  for (const ColourSpaceEntry& candidate : kColourSpaces)
    if (candidate.subtype == type.subtype) {
      entry = &candidate;
      break;
    }
  if (!entry) return S_FALSE;

  // The format block may sit at any address: copy it out rather than cast.
  VIDEOINFOHEADER format;
  std::memcpy(&format, type.pbFormat, sizeof format);
  const std::uint32_t bytesPerPixel = format.bmiHeader.biBitCount / 8u;  // 12-bit planar gives 1
  const std::uint32_t width = cameraSize_[0];
  const std::uint32_t height = cameraSize_[1];
  const std::size_t size =
      static_cast<std::size_t>(bytesPerPixel) * width * height + kSpareBytes;

  picture_.reset();
  planes_.reset();
  planesNewer_ = false;
  frame_.output = {};
  colourSpace_ = stride_ = 0;
  pictureWidth_ = pictureHeight_ = 0;
  picture_.reset(new (std::nothrow) std::uint8_t[size]());
  if (!picture_) return E_OUTOFMEMORY;
  colourSpace_ = entry->colourSpace;
  stride_ = static_cast<int>(bytesPerPixel * width);
  frame_.output.csp = colourSpace_;
  frame_.output.plane[0] = picture_.get();
  frame_.output.stride[0] = stride_;
  pictureWidth_ = width;
  pictureHeight_ = height;
  DecodeIntoPlanes();
  return S_OK;
}

void CVideoCodec::DecodeIntoPlanes() {
  // xvidcore converts planes in blocks of 16 pixels by 2 rows and reads and
  // writes past the rows of any other size. Those sizes, like a shortage of
  // memory for the planes, keep the decoder writing the picture itself.
  if (colourSpace_ != kRgb32 || pictureWidth_ % 16 != 0 || pictureHeight_ % 2 != 0) return;
  const std::size_t lumaBytes = std::size_t{pictureWidth_} * pictureHeight_;
  planes_.reset(new (std::nothrow) std::uint8_t[lumaBytes * 3 / 2 + kSpareBytes]);
  if (!planes_) return;
  BlackenPlanes();
  // Packed YV12: xvidcore finds the chroma planes after the luma plane
  // from the first plane and its stride.
  frame_.output.csp = XVID_CSP_YV12;
  frame_.output.plane[0] = planes_.get();
  frame_.output.stride[0] = static_cast<int>(pictureWidth_);
}

bool CVideoCodec::CanDecode() const {
  // Only 32-bit RGB fits the buffer row for row; every other accepted format
  // is refused here, and the pin reports it as an unsupported resolution.
  return create_.handle && picture_ && (colourSpace_ == kRgb32 || colourSpace_ == XVID_CSP_NULL) &&
         stride_ == static_cast<int>(4 * cameraSize_[0]) &&
         pictureWidth_ == cameraSize_[0] && pictureHeight_ == cameraSize_[1];
}

std::uint32_t CVideoCodec::DecodeFrame(const std::uint8_t* data, std::uint32_t length) {
  platform::Trace("CVideoCodec::DecodeFrame");
  ++frameCount_;
  byteCount_ += length;  // refused frames count too
  if (!CanDecode() || !data || length == 0 || length > 0x7FFFFFFFu) return 0;

  // One call per record: a record holds one compressed frame. xvidcore keeps
  // the size it was created with, so a stream header of another size cannot
  // make it write past the buffer.
  frame_.bitstream = const_cast<std::uint8_t*>(data);
  frame_.length = static_cast<int>(length);
  const int result = xvid_decore(create_.handle, XVID_DEC_DECODE, &frame_, nullptr);
  platform::Trace("CVideoCodec used bytes = %d, %d", frame_.length, result);
  // xvidcore does not say whether it wrote a picture: a frame it cannot
  // decode yet, such as one before the first key frame, leaves the planes as
  // they were. Made again from them, the picture is the last decoded frame,
  // or black before the first.
  planesNewer_ = planes_ != nullptr;
  return length;
}

std::uint8_t* CVideoCodec::Picture() {
  if (planesNewer_) {
    ConvertPlanes(picture_.get(), static_cast<std::size_t>(stride_));
    planesNewer_ = false;
  }
  return picture_.get();
}

void CVideoCodec::CopyPicture(std::uint8_t* destination, std::size_t stride) {
  if (planesNewer_) {
    ConvertPlanes(destination, stride);
    return;
  }
  if (!picture_) return;
  const auto row = static_cast<std::size_t>(stride_);
  for (std::uint32_t y = 0; y < pictureHeight_; ++y)
    std::memcpy(destination + y * stride, picture_.get() + y * row, row);
}

void CVideoCodec::ClearPicture() {
  // The planes too: a following frame that decodes to nothing keeps it black.
  if (planes_) BlackenPlanes();
  planesNewer_ = false;
  if (picture_) std::memset(picture_.get(), 0, static_cast<std::size_t>(stride_) * pictureHeight_);
}

// Luma 16 and chroma 128, which xvidcore converts to all four bytes zero.
void CVideoCodec::BlackenPlanes() {
  const std::size_t lumaBytes = std::size_t{pictureWidth_} * pictureHeight_;
  std::memset(planes_.get(), 16, lumaBytes);
  std::memset(planes_.get() + lumaBytes, 128, lumaBytes / 2 + kSpareBytes);
}

void CVideoCodec::ConvertPlanes(std::uint8_t* destination, std::size_t stride) const {
  xvid_gbl_convert_t convert{};
  convert.version = kXvidRecordVersion;
  convert.input = frame_.output;
  convert.output.csp = kRgb32;
  convert.output.plane[0] = destination;
  convert.output.stride[0] = static_cast<int>(stride);
  convert.width = static_cast<int>(pictureWidth_);
  convert.height = static_cast<int>(pictureHeight_);
  xvid_global(nullptr, XVID_GBL_CONVERT, &convert, nullptr);
}

}  // namespace vesk::video
