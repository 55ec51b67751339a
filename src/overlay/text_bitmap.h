// A rendered text as the overlay blends it: 32-bit pixels B, G, R, a, rows
// bottom-up, three pixels of margin around the text's extent. The fourth byte
// is 255 where nothing is drawn (the video shows through) and 0 where the
// text, its black outline or its black drop shadow is.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/text_rasterizer.h"
#include "vesk/com.h"

namespace vesk::overlay {

class TextBitmap {
 public:
  // The text of `mask` in `colour` (0x00BBGGRR) over an outline two pixels
  // wide without its corners and a shadow three pixels right and down.
  static TextBitmap Paint(const platform::TextMask& mask, DWORD colour);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Row `row` counted from the bottom, Width() pixels of 4 bytes.
  const std::uint8_t* Row(int row) const { return pixels_.data() + static_cast<std::size_t>(row) * width_ * 4; }

  // The drawn pixels of a row as runs of neighbours, left to right: blending
  // only visits these, as the rest of a bitmap leaves the picture alone.
  struct Run {
    int start;
    int length;
  };
  std::span<const Run> DrawnRuns(int row) const {
    return std::span(runs_).subspan(rowRuns_[row], rowRuns_[row + 1] - rowRuns_[row]);
  }

 private:
  TextBitmap(int width, int height);
  // Draws the mask with its top left corner at (left, top), counted from the
  // top as the layout counts: each covered pixel moves towards `colour` by
  // its coverage and becomes opaque text.
  void Stamp(const platform::TextMask& mask, int left, int top, DWORD colour);
  void FindDrawnRuns();

  int width_;
  int height_;
  std::vector<std::uint8_t> pixels_;
  std::vector<Run> runs_;
  std::vector<std::size_t> rowRuns_;  // row r's runs are runs_[rowRuns_[r]] up to runs_[rowRuns_[r + 1]]
};

}  // namespace vesk::overlay
