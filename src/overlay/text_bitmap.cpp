#include "overlay/text_bitmap.h"

namespace vesk::overlay {
namespace {

constexpr int kMargin = 3;
constexpr DWORD kBlack = 0;

struct Offset {
  int dx;
  int dy;
};

// The outline's pen positions, in drawing order.
constexpr Offset kOutline[] = {{-1, -2}, {0, -2}, {1, -2}, {-2, -1}, {-1, -1}, {0, -1}, {1, -1},
                               {2, -1},  {-2, 0}, {-1, 0}, {1, 0},   {2, 0},   {-2, 1}, {-1, 1},
                               {0, 1},   {1, 1},  {2, 1},  {-1, 2},  {0, 2},   {1, 2}};
constexpr Offset kShadow = {3, 3};

std::uint8_t Mix(std::uint8_t from, std::uint8_t to, std::uint8_t coverage) {
  return static_cast<std::uint8_t>((from * (255 - coverage) + to * coverage + 127) / 255);
}

}  // namespace

TextBitmap::TextBitmap(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height * 4, 0) {
  for (std::size_t i = 3; i < pixels_.size(); i += 4) pixels_[i] = 255;
}

TextBitmap TextBitmap::Paint(const platform::TextMask& mask, DWORD colour) {
  TextBitmap bitmap(mask.width + 2 * kMargin, mask.height + 2 * kMargin);
  for (const Offset& pen : kOutline) bitmap.Stamp(mask, kMargin + pen.dx, kMargin + pen.dy, kBlack);
  bitmap.Stamp(mask, kMargin + kShadow.dx, kMargin + kShadow.dy, kBlack);
  bitmap.Stamp(mask, kMargin, kMargin, colour);
  bitmap.FindDrawnRuns();
  return bitmap;
}

void TextBitmap::FindDrawnRuns() {
  rowRuns_.assign(1, 0);
  for (int row = 0; row < height_; ++row) {
    const std::uint8_t* pixel = Row(row);
    for (int x = 0; x < width_;) {
      if (pixel[4 * x + 3] == 255) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < width_ && pixel[4 * x + 3] != 255) ++x;
      runs_.push_back({start, x - start});
    }
    rowRuns_.push_back(runs_.size());
  }
}

void TextBitmap::Stamp(const platform::TextMask& mask, int left, int top, DWORD colour) {
  const std::uint8_t blue = static_cast<std::uint8_t>(colour >> 16);
  const std::uint8_t green = static_cast<std::uint8_t>(colour >> 8);
  const std::uint8_t red = static_cast<std::uint8_t>(colour);
  for (int y = 0; y < mask.height; ++y) {
    std::uint8_t* row = pixels_.data() + static_cast<std::size_t>(height_ - 1 - (top + y)) * width_ * 4;
    for (int x = 0; x < mask.width; ++x) {
      const std::uint8_t coverage = mask.At(x, y);
      if (coverage == 0) continue;
      std::uint8_t* pixel = row + static_cast<std::size_t>(left + x) * 4;
      pixel[0] = Mix(pixel[0], blue, coverage);
      pixel[1] = Mix(pixel[1], green, coverage);
      pixel[2] = Mix(pixel[2], red, coverage);
      pixel[3] = 0;
    }
  }
}

}  // namespace vesk::overlay
