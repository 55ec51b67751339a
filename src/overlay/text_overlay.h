// The texts drawn over one region of the output picture: a status message,
// the statistics lines, a time stamp and a one-letter mark. Each text is
// rendered into a bitmap of its own once, when it changes; every picture then
// only gets the ready bitmaps blended in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "overlay/picture_blender.h"
#include "overlay/text_bitmap.h"
#include "platform/critical_section.h"
#include "platform/text_rasterizer.h"
#include "vesk/dshow.h"

namespace vesk::overlay {

enum class OverlayItem { kTime, kFps, kBps, kActivity, kTotalBps, kMessage };

class TextOverlay {
 public:
  // `fontSize` in points (0 means 10), `colour` 0x00BBGGRR (0 means light
  // grey). The rasterizer is shared and must outlive the overlay.
  TextOverlay(platform::TextRasterizer& rasterizer, DWORD fontSize, DWORD colour);
  TextOverlay(const TextOverlay&) = delete;
  TextOverlay& operator=(const TextOverlay&) = delete;

  // Takes the output picture's format; the region becomes the whole picture.
  // Until a type is taken nothing is rendered or drawn.
  HRESULT SetMediaType(const AM_MEDIA_TYPE& type);
  // The font for the texts rendered from now on.
  void SetFont(DWORD size, DWORD colour);
  void SetFontWidth(DWORD characterWidth);
  // An empty text hides the message; any other is rendered and shown.
  void SetMessage(std::string_view text);
  // Counts a stream clock update; the third since the message was set hides it.
  void AgeMessage();
  void SetMark(bool flag);

  void SetFps(double value);
  void SetBps(double value);
  void SetTotalBps(double value);
  // `value` is the 0 to 255 activity byte, shown as a percentage.
  void SetActivity(double value);
  // Seconds since 1970, shown as UTC day/month/year time.
  void SetTime(std::uint32_t seconds);

  // Width, height and bottom left corner in output pixels, rows counted upwards.
  void SetRegion(DWORD width, DWORD height, DWORD x, DWORD y);
  // Where the message goes, in percent of the region, when `positioned`.
  void SetMessagePosition(DWORD xPercent, DWORD yPercent, bool positioned);
  void Show(OverlayItem item, bool on);
  bool IsShown(OverlayItem item);

  // Blends the statistics, the mark and the message into `picture`, a buffer
  // of `length` bytes. S_FALSE before a media type; E_INVALIDARG for a buffer
  // too small for the picture.
  HRESULT Draw(BYTE* picture, std::size_t length);
  // Blends the time stamp at the region's bottom right corner.
  HRESULT DrawTime(BYTE* picture, std::size_t length);

 private:
  enum Slot { kMarkSlot, kMessageSlot, kFpsSlot, kBpsSlot, kActivitySlot, kTimeSlot, kTotalBpsSlot, kSlotCount };

  // Renders `text` into `slot` with `font` and `colour`; the caller holds lock_.
  void RenderSlot(Slot slot, std::string_view text, const platform::FontDescription& font, DWORD colour);
  void RenderSlot(Slot slot, std::string_view text);
  // Renders a figure when its item is shown; takes lock_.
  void RenderFigure(OverlayItem item, Slot slot, const char* format, double value);
  void PlaceSlot(Slot slot, int x, int y, Horizontal horizontal, Vertical vertical, BYTE* picture) const;

  platform::TextRasterizer& rasterizer_;

  // Guards every field below: the settings thread switches items and moves
  // the message while the composing thread renders and draws.
  platform::CriticalSection lock_;
  std::uint32_t messageAge_ = 0;
  bool configured_ = false;
  PictureBlender blender_;
  DWORD fontSize_ = 10;
  DWORD characterWidth_ = 6;
  DWORD colour_ = 0xF0F0F0;
  // What each slot's bitmap was rendered from, so an unchanged text is not rendered again.
  struct SlotSource {
    std::string text;
    platform::FontDescription font;
    DWORD colour = 0;
    int wrapWidth = 0;
  };
  std::array<std::optional<TextBitmap>, kSlotCount> slots_;
  std::array<SlotSource, kSlotCount> sources_;
  platform::TextMask mask_;  // reused by every rendering
  bool markMade_ = false;
  bool markFlag_ = false;
  int regionWidth_ = 0;
  int regionHeight_ = 0;
  int regionX_ = 0;
  int regionY_ = 0;
  DWORD messageX_ = 50;
  DWORD messageY_ = 50;
  bool messagePositioned_ = false;
  std::array<bool, 6> shown_{false, false, false, false, false, true};
  bool messageHidden_ = true;
};

}  // namespace vesk::overlay
