// Places text bitmaps into output pictures and blends them in, by the rule of
// the picture's pixel format. Integer arithmetic only, in place, and nothing
// allocated: this runs for every picture.
#pragma once

#include <cstddef>

#include "overlay/text_bitmap.h"
#include "vesk/dshow.h"

namespace vesk::overlay {

// Which edge or middle of the bitmap goes to the anchor point.
enum class Horizontal { kCentre, kRightEdge, kLeftEdge };
// Rows count upwards: a standing bitmap has its bottom row on the anchor row,
// a hanging one its top row just below it.
enum class Vertical { kCentre, kStanding, kHanging };

class PictureBlender {
 public:
  // A blender for pictures of `type`: RGB32, ARGB32, RGB24, RGB565 or RGB555
  // with a video info header. VFW_E_INVALIDMEDIATYPE for anything else.
  static HRESULT ForMediaType(const AM_MEDIA_TYPE& type, PictureBlender* blender);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Bytes a picture needs, rows padded to four bytes.
  std::size_t PictureBytes() const { return static_cast<std::size_t>(stride_) * height_; }

  // Blends `bitmap` anchored at (x, y), pushed back inside the picture where
  // it would cross an edge. E_FAIL, drawing nothing, when it is wider or
  // taller than the picture. `picture` holds PictureBytes().
  HRESULT Place(const TextBitmap& bitmap, int x, int y, Horizontal horizontal, Vertical vertical,
                BYTE* picture) const;

 private:
  enum class Format { kRgb32, kRgb24, kRgb565, kRgb555 };

  // Blends `count` drawn text pixels into the picture at `target`.
  void WriteRun(const std::uint8_t* text, int count, std::uint8_t* target) const;

  Format format_ = Format::kRgb32;
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
};

}  // namespace vesk::overlay
