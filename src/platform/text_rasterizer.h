// Turns a short Windows-1251 text into a coverage mask, laid out as the
// platform's DrawText lays out a centred, word-wrapped text: lines broken at
// spaces (and at line breaks) to fit a width, each line centred, lines one
// font height plus external leading apart. The overlay builds its outline,
// shadow and colour from the mask, so the same mask serves every pass.
//
// On Windows GDI draws the glyphs (bold antialiased Arial, as a LOGFONT names
// it); elsewhere they come from FreeType, with the bold face of the
// Arial-metric family found through fontconfig, antialiased.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "vesk/com.h"

namespace vesk::platform {

// The font as a LOGFONT gives it: the em height in pixels and the average
// character width in pixels (0 keeps the face's own proportions).
struct FontDescription {
  int heightPixels = 0;
  int characterWidth = 0;
};

// Coverage 0 (nothing) to 255 (fully inside a glyph), rows top-down; the
// size is the text's measured extent, and nothing outside it is drawn.
struct TextMask {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> coverage;

  std::uint8_t At(int x, int y) const { return coverage[static_cast<std::size_t>(y) * width + x]; }
};

class TextRasterizer {
 public:
  // The family the overlays are drawn with.
#ifdef _WIN32
  static constexpr const char* kOverlayFamily = "Arial";
#else
  static constexpr const char* kOverlayFamily = "Liberation Sans";
#endif

  // Finds the bold face of `family`. When it is not installed: the error for a
  // missing file, `message` says what to install, and the same line goes to
  // the debug trace; no rasterizer is made.
  static HRESULT Create(const char* family, std::unique_ptr<TextRasterizer>* rasterizer,
                        std::string* message);
  ~TextRasterizer();
  TextRasterizer(const TextRasterizer&) = delete;
  TextRasterizer& operator=(const TextRasterizer&) = delete;

  // Lays `text` out within `wrapWidth` pixels and draws it into `mask`. A word
  // wider than the width keeps its line and widens the extent. Safe to call
  // from several threads.
  HRESULT Render(const FontDescription& font, std::string_view text, int wrapWidth, TextMask* mask);

 private:
  struct Face;  // FreeType's library, face and code page converter, or GDI's device context

  explicit TextRasterizer(std::unique_ptr<Face> face);

  // Guards face_: FreeType faces, iconv descriptors and GDI device contexts
  // are single-threaded, and the overlays of all cameras share this rasterizer.
  std::mutex lock_;
  const std::unique_ptr<Face> face_;
};

}  // namespace vesk::platform
