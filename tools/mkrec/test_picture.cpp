#include "mkrec/test_picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace vesk::mkrec {

namespace {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kCellWidth = kGlyphWidth + 1;
constexpr int kCellHeight = kGlyphHeight + 1;

// Rows top to bottom, bit 4 the leftmost dot.
struct Glyph {
  char c;
  std::array<std::uint8_t, kGlyphHeight> rows;
};

constexpr Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
};

const Glyph* FindGlyph(char c) {
  for (const Glyph& glyph : kFont)
    if (glyph.c == c) return &glyph;
  return nullptr;  // drawn as a space
}

struct Tint {
  std::uint8_t u;
  std::uint8_t v;
};

// Red, green, blue and amber: easy to tell apart even in a small preview.
constexpr Tint kTints[] = {{108, 168}, {96, 96}, {168, 112}, {80, 150}};

constexpr std::uint8_t kInk = 235;
constexpr std::uint8_t kPaper = 16;
constexpr std::uint8_t kNeutralChroma = 128;
constexpr int kLongestLine = 7;  // "mm:ss.t"

}  // namespace

TestPicture::TestPicture(int cameraSlot, int width, int height)
    : slot_(cameraSlot),
      width_(width),
      height_(height),
      scale_(std::max(1, std::min(height / 48, width / 60))) {}

std::string TestPicture::RunningTime(double seconds) {
  const auto tenths = static_cast<long long>(std::floor(std::max(0.0, seconds) * 10.0 + 1e-6));
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld.%lld", tenths / 600, tenths / 10 % 60,
                tenths % 10);
  return text;
}

void TestPicture::Render(double seconds, I420Picture& out) const {
  out.Resize(width_, height_);
  DrawBackground(seconds, out);

  const int margin = 2 * scale_;
  const int lineHeight = kCellHeight * scale_;
  // A dark box behind the text keeps it readable over any part of the pattern.
  const int boxRight = std::min(width_, margin * 2 + kLongestLine * kCellWidth * scale_);
  const int boxBottom = std::min(height_, margin * 2 + 2 * lineHeight);
  for (int y = 0; y < boxBottom; ++y) std::fill_n(out.y.begin() + y * width_, boxRight, kPaper);
  for (int y = 0; y < (boxBottom + 1) / 2; ++y) {
    std::fill_n(out.u.begin() + y * out.chromaWidth(), (boxRight + 1) / 2, kNeutralChroma);
    std::fill_n(out.v.begin() + y * out.chromaWidth(), (boxRight + 1) / 2, kNeutralChroma);
  }
  DrawText("CAM " + std::to_string(slot_), margin, margin, out);
  DrawText(RunningTime(seconds), margin, margin + lineHeight, out);
}

void TestPicture::DrawBackground(double seconds, I420Picture& out) const {
  // Diagonal bars that slide a quarter of the width each second.
  const double period = std::max(8.0, width_ / 4.0);
  const double shift = seconds * width_ / 4.0;
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const double phase = std::fmod(x + y / 2.0 + shift, period) / period;
      const double ramp = phase < 0.5 ? phase * 2.0 : 2.0 - phase * 2.0;
      out.y[static_cast<std::size_t>(y) * width_ + x] = static_cast<std::uint8_t>(48 + 160 * ramp);
    }
  }
  const Tint tint = kTints[static_cast<unsigned>(slot_) % std::size(kTints)];
  std::fill(out.u.begin(), out.u.end(), tint.u);
  std::fill(out.v.begin(), out.v.end(), tint.v);
}

void TestPicture::DrawText(const std::string& text, int left, int top, I420Picture& out) const {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const Glyph* glyph = FindGlyph(text[i]);
    if (!glyph) continue;
    const int cellLeft = left + static_cast<int>(i) * kCellWidth * scale_;
    for (int row = 0; row < kGlyphHeight; ++row) {
      for (int col = 0; col < kGlyphWidth; ++col) {
        if (!(glyph->rows[row] & (0x10 >> col))) continue;
        const int x0 = cellLeft + col * scale_;
        const int y0 = top + row * scale_;
        for (int y = y0; y < std::min(height_, y0 + scale_); ++y)
          for (int x = x0; x < std::min(width_, x0 + scale_); ++x)
            out.y[static_cast<std::size_t>(y) * width_ + x] = kInk;
      }
    }
  }
}

}  // namespace vesk::mkrec
