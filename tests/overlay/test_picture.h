// Small pictures for the overlay tests: a media type describing them, and a
// buffer with the helpers to look at what was drawn.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "vesk/dshow.h"

namespace vesk::overlay::test {

class TestPicture {
 public:
  TestPicture(const GUID& subtype, int bits, int width, int height, std::uint8_t fill = 0)
      : width_(width), height_(height), bytesPerPixel_(bits / 8), stride_((bits * width / 8 + 3) & ~3),
        bytes_(static_cast<std::size_t>(stride_) * height, fill) {
    VIDEOINFOHEADER info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bits);
    std::memcpy(format_, &info, sizeof(info));
    type_.majortype = MEDIATYPE_Video;
    type_.subtype = subtype;
    type_.formattype = FORMAT_VideoInfo;
    type_.cbFormat = sizeof(format_);
  }

  // Points the type at this copy's own format block.
  const AM_MEDIA_TYPE& Type() {
    type_.pbFormat = format_;
    return type_;
  }
  BYTE* Data() { return bytes_.data(); }
  std::size_t Size() const { return bytes_.size(); }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  // The pixel's bytes at column x of row y, rows counted from the bottom.
  const std::uint8_t* Pixel(int x, int y) const {
    return bytes_.data() + static_cast<std::size_t>(y) * stride_ + static_cast<std::size_t>(x) * bytesPerPixel_;
  }

  // The box of pixels that differ from `before`; empty (right < left) if none.
  struct Box {
    int left = 1 << 30, bottom = 1 << 30, right = -1, top = -1;
    bool Empty() const { return right < left; }
  };
  Box ChangedSince(const TestPicture& before) const {
    Box box;
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x)
        if (std::memcmp(Pixel(x, y), before.Pixel(x, y), bytesPerPixel_) != 0) {
          box.left = std::min(box.left, x);
          box.right = std::max(box.right, x);
          box.bottom = std::min(box.bottom, y);
          box.top = std::max(box.top, y);
        }
    return box;
  }

 private:
  int width_;
  int height_;
  int bytesPerPixel_;
  int stride_;
  std::vector<std::uint8_t> bytes_;
  BYTE format_[sizeof(VIDEOINFOHEADER)];
  AM_MEDIA_TYPE type_{};
};

}  // namespace vesk::overlay::test
