#include "overlay/text_overlay.h"

#include <cstdio>
#include <ctime>
#include <new>
#include <utility>

#include "platform/debug_trace.h"

namespace vesk::overlay {
namespace {

using Guard = platform::CriticalSection::Guard;

// Fonts are sized in points at the 96 dots per inch of a desktop screen.
constexpr int kDotsPerInch = 96;
constexpr int kTextMargin = 3;
constexpr int kStatisticsLineSpacing = 20;
constexpr int kTimeRightInset = 10;
constexpr DWORD kMarkPoints = 15;
constexpr DWORD kMarkColour = 0x0000FE;
constexpr std::uint32_t kMessageLifetime = 3;

// Rounds to the nearest, as the platform's MulDiv does for positive values.
int MulDiv(std::int64_t value, std::int64_t numerator, std::int64_t denominator) {
  return static_cast<int>((value * numerator + denominator / 2) / denominator);
}

platform::FontDescription FontOf(DWORD points, DWORD characterWidth) {
  return {MulDiv(points, kDotsPerInch, 72), static_cast<int>(characterWidth)};
}

}  // namespace

TextOverlay::TextOverlay(platform::TextRasterizer& rasterizer, DWORD fontSize, DWORD colour)
    : rasterizer_(rasterizer) {
  SetFont(fontSize, colour);
}

HRESULT TextOverlay::SetMediaType(const AM_MEDIA_TYPE& type) {
  Guard hold(lock_);
  const HRESULT hr = PictureBlender::ForMediaType(type, &blender_);
  if (FAILED(hr)) return hr;
  configured_ = true;
  regionWidth_ = blender_.Width();
  regionHeight_ = blender_.Height();
  regionX_ = 0;
  regionY_ = 0;
  return S_OK;
}

void TextOverlay::SetFont(DWORD size, DWORD colour) {
  Guard hold(lock_);
  fontSize_ = size ? size : 10;
  colour_ = colour ? colour : 0xF0F0F0;
}

void TextOverlay::SetFontWidth(DWORD characterWidth) {
  Guard hold(lock_);
  characterWidth_ = characterWidth ? characterWidth : 6;
}

void TextOverlay::SetMessage(std::string_view text) {
  Guard hold(lock_);
  if (!configured_) return;
  messageAge_ = 0;
  if (!shown_[static_cast<int>(OverlayItem::kMessage)]) return;
  messageHidden_ = text.empty();
  if (!messageHidden_) RenderSlot(kMessageSlot, text);
}

void TextOverlay::AgeMessage() {
  Guard hold(lock_);
  if (++messageAge_ < kMessageLifetime) return;
  messageHidden_ = true;
  messageAge_ = 0;
}

// The mark is rendered once in the overlay's life, in its own font and colour.
void TextOverlay::SetMark(bool flag) {
  Guard hold(lock_);
  markFlag_ = flag;
  if (!configured_ || markMade_) return;
  RenderSlot(kMarkSlot, "x", FontOf(kMarkPoints, 0), kMarkColour);
  markMade_ = true;
}

void TextOverlay::SetFps(double value) { RenderFigure(OverlayItem::kFps, kFpsSlot, "fps: %.2f", value); }

void TextOverlay::SetBps(double value) { RenderFigure(OverlayItem::kBps, kBpsSlot, "bps: %.2f", value); }

void TextOverlay::SetTotalBps(double value) {
  RenderFigure(OverlayItem::kTotalBps, kTotalBpsSlot, "total bps: %.2f", value);
}

void TextOverlay::SetActivity(double value) {
  Guard hold(lock_);
  if (!configured_ || !shown_[static_cast<int>(OverlayItem::kActivity)]) return;
  char text[32];
  std::snprintf(text, sizeof(text), "activity: %d%%", static_cast<int>(value * 0.3921568627450981));
  RenderSlot(kActivitySlot, text);
}

void TextOverlay::SetTime(std::uint32_t seconds) {
  Guard hold(lock_);
  if (!configured_ || !shown_[static_cast<int>(OverlayItem::kTime)]) return;
  const std::time_t time = seconds;
  std::tm parts{};
  gmtime_r(&time, &parts);
  char text[32];
  std::snprintf(text, sizeof(text), "%02d/%02d/%02d %02d:%02d:%02d", parts.tm_mday, parts.tm_mon + 1,
                parts.tm_year % 100, parts.tm_hour, parts.tm_min, parts.tm_sec);
  RenderSlot(kTimeSlot, text);
}

void TextOverlay::SetRegion(DWORD width, DWORD height, DWORD x, DWORD y) {
  Guard hold(lock_);
  regionWidth_ = static_cast<int>(width);
  regionHeight_ = static_cast<int>(height);
  regionX_ = static_cast<int>(x);
  regionY_ = static_cast<int>(y);
}

void TextOverlay::SetMessagePosition(DWORD xPercent, DWORD yPercent, bool positioned) {
  Guard hold(lock_);
  messageX_ = xPercent;
  messageY_ = yPercent;
  messagePositioned_ = positioned;
}

void TextOverlay::Show(OverlayItem item, bool on) {
  Guard hold(lock_);
  shown_[static_cast<int>(item)] = on;
}

bool TextOverlay::IsShown(OverlayItem item) {
  Guard hold(lock_);
  return shown_[static_cast<int>(item)];
}

HRESULT TextOverlay::Draw(BYTE* picture, std::size_t length) {
  Guard hold(lock_);
  if (!configured_) return S_FALSE;
  if (length < blender_.PictureBytes()) return E_INVALIDARG;
  // The statistics lines hang from the top of the region, one under another.
  int y = regionY_ + regionHeight_;
  constexpr std::pair<OverlayItem, Slot> kLines[] = {
      {OverlayItem::kFps, kFpsSlot}, {OverlayItem::kBps, kBpsSlot}, {OverlayItem::kTotalBps, kTotalBpsSlot}};
  for (const auto& [item, slot] : kLines) {
    if (!shown_[static_cast<int>(item)]) continue;
    PlaceSlot(slot, regionX_, y, Horizontal::kLeftEdge, Vertical::kHanging, picture);
    y -= kStatisticsLineSpacing;
  }
  if (shown_[static_cast<int>(OverlayItem::kActivity)])
    PlaceSlot(kActivitySlot, regionX_, y, Horizontal::kLeftEdge, Vertical::kHanging, picture);

  if (markFlag_ && markMade_)
    PlaceSlot(kMarkSlot, regionX_, regionY_, Horizontal::kLeftEdge, Vertical::kStanding, picture);

  if (!messageHidden_ && shown_[static_cast<int>(OverlayItem::kMessage)]) {
    if (messagePositioned_)
      PlaceSlot(kMessageSlot, regionX_ + MulDiv(regionWidth_, messageX_, 100),
                regionY_ + MulDiv(regionHeight_, messageY_, 100), Horizontal::kCentre, Vertical::kHanging,
                picture);
    else
      PlaceSlot(kMessageSlot, regionX_ + regionWidth_ / 2, regionY_ + static_cast<int>(0.2 * regionHeight_ * 0.5),
                Horizontal::kCentre, Vertical::kHanging, picture);
  }
  return S_OK;
}

HRESULT TextOverlay::DrawTime(BYTE* picture, std::size_t length) {
  Guard hold(lock_);
  if (!configured_ || !shown_[static_cast<int>(OverlayItem::kTime)]) return S_FALSE;
  if (length < blender_.PictureBytes()) return E_INVALIDARG;
  PlaceSlot(kTimeSlot, regionX_ + regionWidth_ - kTimeRightInset, regionY_ + 2 * static_cast<int>(fontSize_),
            Horizontal::kRightEdge, Vertical::kStanding, picture);
  return S_OK;
}

void TextOverlay::RenderFigure(OverlayItem item, Slot slot, const char* format, double value) {
  Guard hold(lock_);
  if (!configured_ || !shown_[static_cast<int>(item)]) return;
  char text[64];
  std::snprintf(text, sizeof(text), format, value);
  RenderSlot(slot, text);
}

void TextOverlay::RenderSlot(Slot slot, std::string_view text) {
  RenderSlot(slot, text, FontOf(fontSize_, characterWidth_), colour_);
}

// A text that cannot be rendered leaves the slot's previous bitmap in place.
void TextOverlay::RenderSlot(Slot slot, std::string_view text, const platform::FontDescription& font,
                             DWORD colour) {
  // Figures such as the activity are set with every picture but seldom change.
  SlotSource& source = sources_[slot];
  const int wrapWidth = regionWidth_ - 2 * kTextMargin;
  if (slots_[slot] && source.text == text && source.font.heightPixels == font.heightPixels &&
      source.font.characterWidth == font.characterWidth && source.colour == colour && source.wrapWidth == wrapWidth)
    return;
  const HRESULT hr = rasterizer_.Render(font, text, wrapWidth, &mask_);
  if (FAILED(hr)) {
    platform::Trace("text overlay: rendering failed, 0x%08X", static_cast<unsigned>(hr));
    return;
  }
  try {
    slots_[slot].emplace(TextBitmap::Paint(mask_, colour));
    source = {std::string(text), font, colour, wrapWidth};
  } catch (const std::bad_alloc&) {
    platform::Trace("text overlay: out of memory for a text bitmap");
  }
}

void TextOverlay::PlaceSlot(Slot slot, int x, int y, Horizontal horizontal, Vertical vertical,
                            BYTE* picture) const {
  if (slots_[slot]) blender_.Place(*slots_[slot], x, y, horizontal, vertical, picture);
}

}  // namespace vesk::overlay
