#include "overlay/picture_blender.h"

#include <cstring>

namespace vesk::overlay {
namespace {

// Not among the types the pins offer, but a downstream filter may ask for it
// and its pixels blend as RGB32's.
constexpr GUID kSubtypeArgb32 = {0x773C9AC0, 0x3274, 0x11D0, {0xB7, 0x24, 0x00, 0xAA, 0x00, 0x6C, 0x1A, 0x01}};

// A drawn text pixel in a 16-bit picture: each field the text colour cut to
// the field's bits.
std::uint16_t Encode16(const std::uint8_t* text, int greenBits) {
  const int redShift = 5 + greenBits;
  return static_cast<std::uint16_t>((text[2] >> 3) << redShift | (text[1] >> (8 - greenBits)) << 5 | text[0] >> 3);
}

}  // namespace

HRESULT PictureBlender::ForMediaType(const AM_MEDIA_TYPE& type, PictureBlender* blender) {
  if (type.formattype != FORMAT_VideoInfo || type.cbFormat < sizeof(VIDEOINFOHEADER) || !type.pbFormat)
    return VFW_E_INVALIDMEDIATYPE;
  BITMAPINFOHEADER header;
  std::memcpy(&header, type.pbFormat + offsetof(VIDEOINFOHEADER, bmiHeader), sizeof(header));
  Format format;
  int bits;
  if (type.subtype == MEDIASUBTYPE_RGB32 || type.subtype == kSubtypeArgb32) {
    format = Format::kRgb32;
    bits = 32;
  } else if (type.subtype == MEDIASUBTYPE_RGB24) {
    format = Format::kRgb24;
    bits = 24;
  } else if (type.subtype == MEDIASUBTYPE_RGB565) {
    format = Format::kRgb565;
    bits = 16;
  } else if (type.subtype == MEDIASUBTYPE_RGB555) {
    format = Format::kRgb555;
    bits = 16;
  } else {
    return VFW_E_INVALIDMEDIATYPE;
  }
  if (header.biBitCount != bits || header.biWidth <= 0 || header.biHeight <= 0 ||
      header.biWidth > 0x7FFF || header.biHeight > 0x7FFF)
    return VFW_E_INVALIDMEDIATYPE;
  blender->format_ = format;
  blender->width_ = header.biWidth;
  blender->height_ = header.biHeight;
  blender->stride_ = (bits * header.biWidth / 8 + 3) & ~3;
  return S_OK;
}

HRESULT PictureBlender::Place(const TextBitmap& bitmap, int x, int y, Horizontal horizontal,
                              Vertical vertical, BYTE* picture) const {
  const int w = bitmap.Width();
  const int h = bitmap.Height();
  if (w > width_ || h > height_) return E_FAIL;
  if (horizontal == Horizontal::kCentre) x -= w / 2;
  else if (horizontal == Horizontal::kRightEdge) x -= w;
  if (vertical == Vertical::kCentre) y -= h / 2;
  else if (vertical == Vertical::kHanging) y -= h;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  if (x + w > width_) x = width_ - w;
  if (y + h > height_) y = height_ - h;

  const int bytesPerPixel = format_ == Format::kRgb32 ? 4 : format_ == Format::kRgb24 ? 3 : 2;
  for (int r = 0; r < h; ++r) {
    BYTE* row = picture + static_cast<std::size_t>(y + r) * stride_ + static_cast<std::size_t>(x) * bytesPerPixel;
    for (const TextBitmap::Run& run : bitmap.DrawnRuns(r))
      WriteRun(bitmap.Row(r) + static_cast<std::size_t>(run.start) * 4, run.length,
               row + static_cast<std::size_t>(run.start) * bytesPerPixel);
  }
  return S_OK;
}

// The blend scales the picture pixel by the text pixel's fourth byte and adds
// the text. A drawn pixel's fourth byte is 0, so the text pixel itself lands
// in the picture, cut to the picture's format; undrawn pixels (255) are never
// visited. This is the inner loop of every text of every picture.
void PictureBlender::WriteRun(const std::uint8_t* text, int count, std::uint8_t* target) const {
  switch (format_) {
    case Format::kRgb32:
      // B, G, R and the fourth byte 0, as the text pixel has them.
      std::memcpy(target, text, static_cast<std::size_t>(count) * 4);
      break;
    case Format::kRgb24:
      for (int i = 0; i < count; ++i, text += 4, target += 3) std::memcpy(target, text, 3);
      break;
    case Format::kRgb565:
    case Format::kRgb555: {
      const int greenBits = format_ == Format::kRgb565 ? 6 : 5;
      for (int i = 0; i < count; ++i, text += 4, target += 2) {
        const std::uint16_t value = Encode16(text, greenBits);
        target[0] = static_cast<std::uint8_t>(value);
        target[1] = static_cast<std::uint8_t>(value >> 8);
      }
      break;
    }
  }
}

}  // namespace vesk::overlay
