#include "platform/text_rasterizer.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/debug_trace.h"

namespace vesk::platform {
namespace {

// DT_CALCRECT | DT_WORDBREAK | DT_EXTERNALLEADING | DT_NOPREFIX: the text's extent.
constexpr UINT kMeasureFlags = 0x0E10;
// DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_NOPREFIX: the text as it is drawn.
constexpr UINT kDrawFlags = 0x0815;

}  // namespace

struct TextRasterizer::Face {
  ~Face() {
    if (context) DeleteDC(context);
  }
  HFONT MakeFont(const FontDescription& font) const {
    LOGFONTA description{};
    description.lfHeight = -font.heightPixels;
    description.lfWidth = font.characterWidth;
    description.lfWeight = FW_BOLD;
    description.lfCharSet = RUSSIAN_CHARSET;
    description.lfOutPrecision = OUT_TT_PRECIS;
    description.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    description.lfQuality = ANTIALIASED_QUALITY;
    std::strncpy(description.lfFaceName, family.c_str(), LF_FACESIZE - 1);
    return CreateFontIndirectA(&description);
  }

  std::string family;
  HDC context = nullptr;
};

HRESULT TextRasterizer::Create(const char* family, std::unique_ptr<TextRasterizer>* rasterizer,
                               std::string* message) {
  try {
    auto face = std::make_unique<Face>();
    face->family = family;
    face->context = CreateCompatibleDC(nullptr);
    if (!face->context) {
      *message = "text overlay: no GDI device context";
      Trace(message->c_str());
      return E_FAIL;
    }
    rasterizer->reset(new TextRasterizer(std::move(face)));
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

TextRasterizer::TextRasterizer(std::unique_ptr<Face> face) : face_(std::move(face)) {}

TextRasterizer::~TextRasterizer() = default;

// GDI draws the text white on black into a DIB section; the drawn brightness
// is the coverage.
HRESULT TextRasterizer::Render(const FontDescription& font, std::string_view text, int wrapWidth,
                               TextMask* mask) {
  std::lock_guard<std::mutex> hold(lock_);
  Face& f = *face_;
  HFONT handle = f.MakeFont(font);
  if (!handle) return E_FAIL;
  HGDIOBJ previousFont = SelectObject(f.context, handle);
  const int length = static_cast<int>(text.size());
  RECT extent{0, 0, wrapWidth, 0};
  DrawTextA(f.context, text.data(), length, &extent, kMeasureFlags);
  const int width = std::max(0L, extent.right - extent.left);
  const int height = std::max(0L, extent.bottom - extent.top);

  HRESULT hr = S_OK;
  try {
    mask->width = width;
    mask->height = height;
    mask->coverage.assign(static_cast<std::size_t>(width) * height, 0);
  } catch (const std::bad_alloc&) {
    hr = E_OUTOFMEMORY;
  }
  if (SUCCEEDED(hr) && width > 0 && height > 0) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as the mask
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(f.context, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) {
      hr = E_OUTOFMEMORY;
    } else {
      HGDIOBJ previousBitmap = SelectObject(f.context, bitmap);
      std::memset(bits, 0, static_cast<std::size_t>(width) * height * 4);
      SetMapMode(f.context, MM_TEXT);
      SetBkMode(f.context, TRANSPARENT);
      SetTextColor(f.context, RGB(255, 255, 255));
      RECT area{0, 0, width, height};
      DrawTextA(f.context, text.data(), length, &area, kDrawFlags);
      GdiFlush();
      const auto* pixels = static_cast<const std::uint8_t*>(bits);
      for (std::size_t i = 0; i < mask->coverage.size(); ++i)
        mask->coverage[i] = std::max({pixels[i * 4], pixels[i * 4 + 1], pixels[i * 4 + 2]});
      SelectObject(f.context, previousBitmap);
      DeleteObject(bitmap);
    }
  }
  SelectObject(f.context, previousFont);
  DeleteObject(handle);
  return hr;
}

}  // namespace vesk::platform
