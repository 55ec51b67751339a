#include "overlay/picture_blender.h"

#include <cstring>

namespace vesk::overlay {
namespace {

// Not among the types the pins offer, but a downstream filter may ask for it
// and its pixels blend as RGB32's.
constexpr GUID kSubtypeArgb32 = {0x773C9AC0, 0x3274, 0x11D0, {0xB7, 0x24, 0x00, 0xAA, 0x00, 0x6C, 0x1A, 0x01}};

std::uint32_t Load32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Store32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

// One 16-bit pixel: each field scaled by a, plus the text colour cut to the
// field's bits in the field's place.
std::uint16_t Blend16(std::uint16_t p, const std::uint8_t* text, std::uint32_t a, int greenBits) {
  const int redShift = 5 + greenBits;
  const std::uint32_t blueMask = 0x1F;
  const std::uint32_t greenMask = ((1u << greenBits) - 1) << 5;
  const std::uint32_t redMask = 0x1Fu << redShift;
  const std::uint32_t blue = ((((p & blueMask) * a) >> 8) + (text[0] >> 3)) & blueMask;
  const std::uint32_t green =
      ((((p & greenMask) * a) >> 8) + (static_cast<std::uint32_t>(text[1] >> (8 - greenBits)) << 5)) & greenMask;
  const std::uint32_t red =
      ((((p & redMask) * a) >> 8) + (static_cast<std::uint32_t>(text[2] >> 3) << redShift)) & redMask;
  return static_cast<std::uint16_t>(red | green | blue);
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
  for (int r = 0; r < h; ++r)
    BlendRow(bitmap.Row(r), w,
             picture + static_cast<std::size_t>(y + r) * stride_ + static_cast<std::size_t>(x) * bytesPerPixel);
  return S_OK;
}

// a = 255 leaves the picture alone; below it the picture is scaled by a and
// the text added, so a = 0 gives the text pixel itself. One loop per format:
// this is the inner loop of every text of every picture.
void PictureBlender::BlendRow(const std::uint8_t* text, int count, std::uint8_t* target) const {
  switch (format_) {
    case Format::kRgb32:
      for (int i = 0; i < count; ++i, text += 4, target += 4) {
        const std::uint32_t a = text[3];
        if (a == 255) continue;
        const std::uint32_t p = Load32(target);
        const std::uint32_t t = Load32(text);
        const std::uint32_t green = ((((p & 0x0000FF00u) * a) >> 8) + (t & 0xFFFFFF00u)) & 0x0000FF00u;
        const std::uint32_t redBlue = ((((p & 0x00FF00FFu) * a) >> 8) + (t & 0xFFFF00FFu)) & 0x00FF00FFu;
        Store32(target, green | redBlue);
      }
      break;
    case Format::kRgb24:
      for (int i = 0; i < count; ++i, text += 4, target += 3) {
        const std::uint32_t a = text[3];
        if (a == 255) continue;
        for (int c = 0; c < 3; ++c) target[c] = static_cast<std::uint8_t>(((target[c] * a) >> 8) + text[c]);
      }
      break;
    case Format::kRgb565:
    case Format::kRgb555: {
      const int greenBits = format_ == Format::kRgb565 ? 6 : 5;
      for (int i = 0; i < count; ++i, text += 4, target += 2) {
        const std::uint32_t a = text[3];
        if (a == 255) continue;
        const auto p = static_cast<std::uint16_t>(target[0] | (target[1] << 8));
        const std::uint16_t result = Blend16(p, text, a, greenBits);
        target[0] = static_cast<std::uint8_t>(result);
        target[1] = static_cast<std::uint8_t>(result >> 8);
      }
      break;
    }
  }
}

}  // namespace vesk::overlay
