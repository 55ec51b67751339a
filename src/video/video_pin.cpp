#include "video/video_pin.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "input/camera_size.h"
#include "input/koi8.h"
#include "platform/debug_trace.h"
#include "video/picture_adjustments.h"
#include "vesk/splitter_settings.h"

namespace vesk::video {
namespace {

using overlay::OverlayItem;

constexpr std::uint32_t kStatisticsPeriodMs = 4000;
constexpr std::size_t kStatusTextMax = 179;
constexpr DWORD kDefaultFontSize = 10;
constexpr DWORD kDefaultColour = 0xF0F0F0;
constexpr DWORD kGeneralFontSize = 15;
constexpr DWORD kRed = 0x0000FF;

constexpr const char* kNoVideoData = "No video data from VESK";

std::uint64_t PackSize(std::uint32_t width, std::uint32_t height) {
  return (std::uint64_t{width} << 32) | height;
}

}  // namespace

VideoPin::VideoPin(filter::PinOwner& owner, platform::CriticalSection& pinLock, filter::ChannelPresence& channels,
                   std::unique_ptr<platform::TextRasterizer> rasterizer, TickSource tick)
    : VideoOutput(owner, VESK_WIDE("VideoOutput0"), pinLock),
      channels_(channels),
      tick_(std::move(tick)),
      frameSize_(PackSize(cameraSize_[0], cameraSize_[1])),
      rasterizer_(std::move(rasterizer)) {
  for (int i = 0; i < kCameras; ++i) {
    overlays_[i] = std::make_unique<overlay::TextOverlay>(*rasterizer_, 0, 0);
    overlays_[i]->SetFontWidth(FontWidth());
  }
  overlays_[kGeneralOverlay] = std::make_unique<overlay::TextOverlay>(*rasterizer_, kGeneralFontSize, kRed);
  overlays_[kGeneralOverlay]->SetFontWidth(FontWidth());
  SetGridRegions();
}

VideoPin::~VideoPin() = default;

// ---- Pin operations -------------------------------------------------------------------

HRESULT VideoPin::Active() {
  const HRESULT hr = StreamPin::Active();
  {
    std::lock_guard hold(pictureLock_);
    active_ = true;
  }
  if (!activatedOnce_) {
    activatedOnce_ = true;
    SetActiveChannel(-1);
  }
  return hr;
}

HRESULT VideoPin::Inactive() {
  {
    // The sample buffers go with the allocator: no snapshot may read them after.
    std::lock_guard hold(pictureLock_);
    active_ = false;
    lastPicture_ = {};
    lastSample_.Reset();
    lastAllocator_.Reset();
  }
  return StreamPin::Inactive();
}

namespace {

BYTE* BufferOf(IMediaSample& sample) {
  BYTE* buffer = nullptr;
  return SUCCEEDED(sample.GetPointer(&buffer)) ? buffer : nullptr;
}

}  // namespace

HRESULT VideoPin::GetDeliveryBuffer(IMemAllocator& allocator, IMediaSample** sample) {
  std::unique_lock hold(pictureLock_);
  if (lastSample_) {
    // Another buffer to be had without giving the held one back (the new
    // allocator of a reconnection, or an allocator of several buffers): the
    // last picture is copied into it, since the grid composes one tile at a
    // time over the picture before. An allocator of one buffer is not asked
    // while the pin holds that buffer: one that ignored "no wait" would wait forever.
    ALLOCATOR_PROPERTIES properties{};
    const bool another = lastAllocator_.Get() != &allocator ||
                         (SUCCEEDED(allocator.GetProperties(&properties)) && properties.cBuffers > 1);
    if (another && SUCCEEDED(allocator.GetBuffer(sample, nullptr, nullptr, AM_GBF_NOWAIT))) {
      MovePicture(**sample);
      Hold(allocator, *sample);
      return S_OK;
    }
    // The held buffer goes back and, unless the downstream pin still holds it
    // too, comes straight back with the picture in it.
    const std::uint8_t* kept = lastPicture_.pixels;
    lastSample_.Reset();
    if (SUCCEEDED(allocator.GetBuffer(sample, nullptr, nullptr, AM_GBF_NOWAIT))) {
      if (BufferOf(**sample) != kept) lastPicture_ = {};
      Hold(allocator, *sample);
      return S_OK;
    }
    lastPicture_ = {};  // nothing held any more: a snapshot meanwhile finds no picture
  }
  hold.unlock();
  const HRESULT hr = allocator.GetBuffer(sample, nullptr, nullptr, 0);
  if (SUCCEEDED(hr)) {
    hold.lock();
    // A pin made inactive meanwhile holds nothing: the allocator must be free to change.
    if (active_) Hold(allocator, *sample);
  }
  return hr;
}

void VideoPin::Hold(IMemAllocator& allocator, IMediaSample* sample) {
  lastSample_ = ComPtr<IMediaSample>(sample);
  lastAllocator_ = ComPtr<IMemAllocator>(&allocator);
}

void VideoPin::MovePicture(IMediaSample& next) {
  BYTE* buffer = BufferOf(next);
  const OutputPicture last = lastPicture_;
  // Held until the picture is copied: its memory may go with it.
  const ComPtr<IMediaSample> holding = std::move(lastSample_);
  lastPicture_ = {};
  if (!last.pixels || !buffer) return;
  // A picture of another size than the negotiated one is not the grid's base.
  if (last.width != static_cast<std::int32_t>(2 * geometry_.width) ||
      last.height != static_cast<std::int32_t>(2 * geometry_.height) ||
      static_cast<std::size_t>(std::max<LONG>(next.GetSize(), 0)) < geometry_.PictureBytes())
    return;
  std::memcpy(buffer, last.pixels, geometry_.PictureBytes());
  lastPicture_ = {buffer, last.width, last.height};
}

HRESULT VideoPin::GetMediaType(int position, AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  if (position > 1) return VFW_S_NO_MORE_ITEMS;
  DWORD width = 0, height = 0;
  GetFrameSize(&width, &height);

  VIDEOINFOHEADER format{};
  BITMAPINFOHEADER& bitmap = format.bmiHeader;
  bitmap.biSize = sizeof(BITMAPINFOHEADER);
  bitmap.biWidth = static_cast<LONG>(2 * width);
  bitmap.biHeight = static_cast<LONG>(2 * height);  // positive: rows bottom-up
  bitmap.biPlanes = 1;
  bitmap.biCompression = 0;
  bitmap.biBitCount = position == 0 ? 32 : 24;
  const std::uint32_t rowBytes = (2 * width * bitmap.biBitCount + 31) / 32 * 4;
  bitmap.biSizeImage = rowBytes * 2 * height;

  *type = AM_MEDIA_TYPE{};
  type->majortype = MEDIATYPE_Video;
  type->subtype = position == 0 ? MEDIASUBTYPE_RGB32 : MEDIASUBTYPE_RGB24;
  type->formattype = FORMAT_VideoInfo;
  type->bFixedSizeSamples = TRUE;
  type->bTemporalCompression = FALSE;
  type->lSampleSize = bitmap.biSizeImage;
  type->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(sizeof format));
  if (!type->pbFormat) return E_OUTOFMEMORY;
  std::memcpy(type->pbFormat, &format, sizeof format);
  type->cbFormat = sizeof format;
  return S_OK;
}

HRESULT VideoPin::SetMediaType(const AM_MEDIA_TYPE* type) {
  HRESULT hr = StreamPin::SetMediaType(type);
  if (FAILED(hr)) return hr;
  if (type->formattype != FORMAT_VideoInfo || !type->pbFormat || type->cbFormat < sizeof(VIDEOINFOHEADER))
    return E_FAIL;
  VIDEOINFOHEADER format;
  std::memcpy(&format, type->pbFormat, sizeof format);

  Geometry geometry;
  geometry.width = cameraSize_[0];
  geometry.height = cameraSize_[1];
  geometry.bytesPerPixel = format.bmiHeader.biBitCount / 8u;
  geometry.cameraRowBytes = geometry.bytesPerPixel * geometry.width;
  geometry.cameraFrameBytes = geometry.cameraRowBytes * geometry.height;
  {
    std::lock_guard hold(pictureLock_);  // a snapshot reads the geometry
    geometry_ = geometry;
  }

  for (int i = 0; i < kCameras; ++i) {
    decoders_[i].reset();
    decoders_[i] = std::make_unique<CVideoCodec>(cameraSize_);
    decoders_[i]->SetMediaType(*type);
    overlays_[i]->SetMediaType(*type);
    platform::CriticalSection::Guard hold(textLock_);
    overlays_[i]->SetMessage(statusTexts_[i].data());
  }
  overlays_[kGeneralOverlay]->SetMediaType(*type);
  return S_OK;
}

HRESULT VideoPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  if (!allocator || !request) return E_POINTER;
  // Room for two output pictures. The prefix and alignment stay as the
  // downstream pin asked: a pin that needs a prefix before each buffer gets it.
  request->cBuffers = 1;
  request->cbBuffer = static_cast<LONG>(geometry_.cameraFrameBytes * 8);
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = allocator->SetProperties(request, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
}

void VideoPin::SetActiveChannel(std::int32_t channel) {
  if (channel != -1 && !ChannelOn(channel)) return;
  StreamPin::SetActiveChannel(channel);
  if (channel >= 0 && channel < kCameras)
    SetEnlargedRegion(channel);
  else
    SetGridRegions();
}

void VideoPin::SetChannelDescription(const input::ChannelRecord& record) {
  StreamPin::SetChannelDescription(record);
  platform::Trace(record.options);
  const input::CameraSize size = input::CameraSizeFromOptions(record.options);
  if (!size.Given()) return;
  const std::uint32_t width = size.width, height = size.height;
  cameraSize_[0] = width;
  cameraSize_[1] = height;
  frameSize_.store(PackSize(width, height), std::memory_order_relaxed);
  RequestReconnect();
  for (auto& overlay : overlays_) overlay->SetFontWidth(FontWidth());
}

// Quality messages from downstream are not acted on.
STDMETHODIMP VideoPin::Notify(IBaseFilter*, Quality) { return E_NOTIMPL; }

void VideoPin::GetFrameSize(DWORD* width, DWORD* height) {
  const std::uint64_t size = frameSize_.load(std::memory_order_relaxed);
  *width = static_cast<DWORD>(size >> 32);
  *height = static_cast<DWORD>(size & 0xFFFFFFFFu);
}

void VideoPin::DescribeForReport(input::PinReport& report) {
  DWORD width = 0, height = 0;
  GetFrameSize(&width, &height);
  report.hasVideoPin = true;
  report.cameraWidth = static_cast<int>(width);
  report.cameraHeight = static_cast<int>(height);
  report.videoConnected = IsConnected();
}

// The font narrows with the camera: 7 at the usual 400 pixels. Narrow
// cameras keep at least one pixel per character.
DWORD VideoPin::FontWidth() {
  DWORD cameraWidth = 0, cameraHeight = 0;
  GetFrameSize(&cameraWidth, &cameraHeight);
  const std::int64_t width = (static_cast<std::int64_t>(cameraWidth) - 352) / 32 + 6;
  return static_cast<DWORD>(std::max<std::int64_t>(width, 1));
}

// The regions follow the camera size; the settings thread sets them too.
void VideoPin::SetGridRegions() {
  DWORD w = 0, h = 0;
  GetFrameSize(&w, &h);
  overlays_[0]->SetRegion(w, h, 0, h);
  overlays_[1]->SetRegion(w, h, w, h);
  overlays_[2]->SetRegion(w, h, 0, 0);
  overlays_[3]->SetRegion(w, h, w, 0);
}

void VideoPin::SetEnlargedRegion(int camera) {
  DWORD w = 0, h = 0;
  GetFrameSize(&w, &h);
  overlays_[camera]->SetRegion(2 * w, 2 * h, 0, 0);
}

// ---- Settings ---------------------------------------------------------------------------

void VideoPin::SetAdjustments(const filter::PictureAdjustments& adjustments) {
  brightness_.store(adjustments.brightness, std::memory_order_relaxed);
  contrast_.store(adjustments.contrast, std::memory_order_relaxed);
  reserved_.store(adjustments.reserved, std::memory_order_relaxed);
  sharpness_.store(adjustments.sharpness, std::memory_order_relaxed);
  smooth_.store(adjustments.smooth, std::memory_order_relaxed);
}

HRESULT VideoPin::SwitchOp(filter::VideoSwitch which, LONG code, LONG* value) {
  using filter::VideoSwitch;
  if (!value) return E_POINTER;
  if (code != OptionRead && code != OptionWrite) return E_INVALIDARG;
  const bool write = code == OptionWrite;

  // The overlay switches keep the value as written; the overlays only know on or off.
  auto overlaySwitch = [&](OverlayItem item, std::atomic<LONG>& stored) {
    if (!write) {
      *value = stored.load(std::memory_order_relaxed);
      return;
    }
    stored.store(*value, std::memory_order_relaxed);
    for (int i = 0; i < kCameras; ++i) overlays_[i]->Show(item, *value != 0);
  };
  auto plainValue = [&](std::atomic<LONG>& stored) {
    if (write)
      stored.store(*value, std::memory_order_relaxed);
    else
      *value = stored.load(std::memory_order_relaxed);
  };

  switch (which) {
    case VideoSwitch::kTime:
      if (!write) {
        *value = showTime_.load(std::memory_order_relaxed);
        break;
      }
      if (*value != 0) SetClock(clock_.Shown());
      showTime_.store(*value, std::memory_order_relaxed);
      overlays_[3]->Show(OverlayItem::kTime, *value != 0);
      break;
    case VideoSwitch::kFps: overlaySwitch(OverlayItem::kFps, showFps_); break;
    case VideoSwitch::kBps:
      overlaySwitch(OverlayItem::kBps, showBps_);
      if (write) overlays_[0]->Show(OverlayItem::kTotalBps, *value != 0);
      break;
    case VideoSwitch::kActivity: overlaySwitch(OverlayItem::kActivity, showActivity_); break;
    case VideoSwitch::kSharpenSmooth: plainValue(sharpenSmoothOn_); break;
    case VideoSwitch::kBrightnessContrast: plainValue(brightnessContrastOn_); break;
    case VideoSwitch::kSharpnessSlider: plainValue(sliders_[0]); break;
    case VideoSwitch::kBrightnessSlider: plainValue(sliders_[1]); break;
    case VideoSwitch::kSmoothSlider: plainValue(sliders_[2]); break;
    case VideoSwitch::kContrastSlider: plainValue(sliders_[3]); break;
  }
  return S_OK;
}

HRESULT VideoPin::CameraOptionOp(LONG index, LONG code, LONG* value) {
  if (!value) return E_POINTER;
  if (index < 0 || index > kGeneralOverlay) return E_INVALIDARG;
  overlay::TextOverlay& overlay = *overlays_[index];
  constexpr LONG kShowMessageFlag = 2;
  if (code == OptionRead) {
    *value = overlay.IsShown(OverlayItem::kMessage) ? kShowMessageFlag : 0;
    return S_OK;
  }
  if (code != OptionWrite) return E_INVALIDARG;
  if (!(*value & kShowMessageFlag)) {
    overlay.Show(OverlayItem::kMessage, false);
    return S_OK;
  }
  if (overlay.IsShown(OverlayItem::kMessage)) return S_OK;
  overlay.Show(OverlayItem::kMessage, true);
  // The stored text is already converted: it is shown again as it is.
  platform::CriticalSection::Guard hold(textLock_);
  overlay.SetMessage(statusTexts_[index].data());
  return S_OK;
}

void VideoPin::SetStatusText(int index, std::string_view text) {
  if (index < 0 || index > kGeneralOverlay) index = kGeneralOverlay;
  platform::CriticalSection::Guard hold(textLock_);
  std::array<char, 180>& stored = statusTexts_[index];
  // The text ends at its first zero byte, if it has one.
  std::size_t length = std::min(text.size(), kStatusTextMax);
  if (const void* end = std::memchr(text.data(), '\0', length)) length = static_cast<const char*>(end) - text.data();
  std::memcpy(stored.data(), text.data(), length);
  stored[length] = '\0';
  input::RecodeKoi8(stored.data());
  overlays_[index]->SetMessage(stored.data());
}

// ---- Snapshots and recording ------------------------------------------------------------



void VideoPin::SetFreezeMode(LONG mode, const std::string& snapshotPrefix) {
  recorder_.SetFreezeMode(mode, snapshotPrefix);
}

void VideoPin::SaveSnapshot(const std::string& prefix) {
  // Held so the composing thread does not change the picture while it is written.
  std::lock_guard hold(pictureLock_);
  recorder_.SaveSnapshot(prefix, lastPicture_, clock_.Shown());
}

void VideoPin::StartRecording(const std::string& prefix, DWORD maximum) {
  recorder_.StartRecording(prefix, maximum);
}

// ---- Clock and figures --------------------------------------------------------------------

void VideoPin::SetClock(std::uint32_t seconds) {
  platform::CriticalSection::Guard hold(textLock_);
  for (auto& overlay : overlays_) overlay->AgeMessage();
  if (clock_.Set(seconds, tick_())) overlays_[3]->SetTime(clock_.Shown());
}

void VideoPin::RebaseClock() { clock_.Rebase(tick_()); }

void VideoPin::ShowTotalBytesPerSecond(double bytesPerSecond) { overlays_[0]->SetTotalBps(bytesPerSecond); }

// ---- Pictures -----------------------------------------------------------------------------

HRESULT VideoPin::FillBuffer(IMediaSample* sample, input::Packet& packet) {
  if (!sample) return S_FALSE;
  switch (packet.kind) {
    case input::PacketKind::kText:
      ShowTextPacket(packet);
      return S_FALSE;
    case input::PacketKind::kData:
    case input::PacketKind::kConfigurationChanged:
    case input::PacketKind::kTimeOut:
      break;
    default:
      return S_FALSE;
  }
  BYTE* output = nullptr;
  if (FAILED(sample->GetPointer(&output)) || !output) return E_FAIL;
  // A sample smaller than the picture (a camera size not yet negotiated) is not drawn into.
  if (geometry_.bytesPerPixel == 0 || static_cast<std::size_t>(std::max<LONG>(sample->GetSize(), 0)) < geometry_.PictureBytes())
    return S_FALSE;
  // A sample says how much it carries: a downstream pin reads no more than that.
  sample->SetActualDataLength(static_cast<LONG>(geometry_.PictureBytes()));

  std::lock_guard hold(pictureLock_);
  if (packet.kind == input::PacketKind::kData) return FillFromData(output, packet);
  if (packet.kind == input::PacketKind::kConfigurationChanged) return FillAfterConfigurationChange(output);
  return FillAfterTimeOut(output);
}

HRESULT VideoPin::FillFromData(BYTE* output, input::Packet& packet) {
  const int camera = packet.pinIndex;
  // Only four cameras have decoders and overlays.
  if (camera >= kCameras || !decoders_[camera]) return S_FALSE;
  CVideoCodec& decoder = *decoders_[camera];
  decoder.DecodeFrame(packet.data, packet.length);
  overlays_[camera]->SetMark(packet.flagByte & 1);
  overlays_[camera]->SetActivity(packet.status[camera]);
  RunStatisticsPass(output, tick_());

  const std::int32_t shown = GetActiveChannel();
  if (shown == -1) {
    Compose(camera, output, &decoder);
    for (int i = 0; i < kCameras; ++i) DrawCameraOverlay(i, output);
    DrawGeneralTexts(output);
  } else if (shown == camera) {
    Compose(-1, output, &decoder);
    DrawCameraOverlay(camera, output);
    DrawGeneralTexts(output);
  } else {
    packet.skip |= 1;
  }
  // The first picture of the pin's life is composed but not delivered.
  if (framesWithheld_ < 1) {
    packet.skip |= 1;
    ++framesWithheld_;
  }
  return S_OK;
}

HRESULT VideoPin::FillAfterConfigurationChange(BYTE* output) {
  const std::int32_t shown = GetActiveChannel();
  SetActiveChannel(shown);
  if (shown != -1) return S_OK;
  std::memset(output, 0, geometry_.cameraFrameBytes);
  for (int i = 0; i < kCameras; ++i) {
    if (!decoders_[i]) continue;
    CVideoCodec& decoder = *decoders_[i];
    Compose(i, output, &decoder);
    if (!ChannelOn(i)) {
      ShowCameraMessage(i, kChannelOffMessage, output, true);
      decoder.SetHasData(false);
    } else if (!DecodesRgb32(i)) {
      ShowCameraMessage(i, kUnsupportedMessage, output, true);
      decoder.SetHasData(false);
    } else if (decoder.HasData()) {
      DrawCameraOverlay(i, output);
    } else {
      ShowCameraMessage(i, kVideoDataOutMessage, output, true);
    }
  }
  DrawGeneralTexts(output);
  return S_OK;
}

HRESULT VideoPin::FillAfterTimeOut(BYTE* output) {
  SetActiveChannel(-1);
  SetStatusText(kGeneralOverlay, kNoVideoData);
  std::memset(output, 0, geometry_.cameraFrameBytes);
  DrawGeneralTexts(output);
  SetStatusText(kGeneralOverlay, " ");
  return S_OK;
}

void VideoPin::ShowTextPacket(const input::Packet& packet) {
  const std::string_view text(reinterpret_cast<const char*>(packet.data), packet.data ? packet.length : 0);
  // Text channels beyond the cameras speak to all of them; 255 to the whole stream.
  if (packet.pinIndex >= kCameras && packet.pinIndex <= 254) {
    for (int i = 0; i < kCameras; ++i) SetStatusText(i, text);
  } else {
    SetStatusText(packet.pinIndex, text);
  }
}

void VideoPin::RunStatisticsPass(BYTE* output, std::uint32_t now) {
  if (statisticsTick_ == 0) {
    statisticsTick_ = now;
    return;
  }
  const std::uint32_t elapsed = now - statisticsTick_;
  if (elapsed <= kStatisticsPeriodMs) return;
  const std::int32_t shown = GetActiveChannel();
  for (int i = 0; i < kCameras; ++i) {
    if (!decoders_[i]) continue;
    CVideoCodec& decoder = *decoders_[i];
    const bool on = ChannelOn(i);
    if (shown == -1 && !on) Compose(i, output, nullptr);
    if (!on) {
      ShowCameraMessage(i, kChannelOffMessage, output, true);
      decoder.SetHasData(false);
    } else if (!DecodesRgb32(i)) {
      ShowCameraMessage(i, kUnsupportedMessage, output, true);
      decoder.SetHasData(false);
    }
    if (decoder.FrameCount() != 0) {
      const double fps = decoder.FrameCount() * 1000.0 / elapsed;
      const double bps = decoder.ByteCount() * 1000.0 / elapsed;
      overlays_[i]->SetFps(fps);
      overlays_[i]->SetBps(bps);
      decoder.SetRates(fps, bps);
      decoder.SetHasData(true);
      decoder.ResetCounts();
      continue;
    }
    // A camera that stopped sending is blacked out once, with a message;
    // its overlay keeps the last figures.
    if (decoder.HasData() && on) ReportVideoDataOut(i, output, shown);
    decoder.SetHasData(false);
    decoder.SetRates(0, 0);
  }
  statisticsTick_ = now;
}

void VideoPin::ReportVideoDataOut(int camera, BYTE* output, std::int32_t shown) {
  CVideoCodec& decoder = *decoders_[camera];
  decoder.ClearPicture();
  bool draw = true;
  if (shown == -1)
    Compose(camera, output, &decoder);
  else if (shown == camera)
    Compose(-1, output, &decoder);
  else
    draw = false;
  ShowCameraMessage(camera, kVideoDataOutMessage, output, draw);
}

// The message stays in the picture only until its tile is composed again.
void VideoPin::ShowCameraMessage(int camera, const CameraMessage& message, BYTE* output, bool draw) {
  overlay::TextOverlay& overlay = *overlays_[camera];
  overlay.SetMessagePosition(message.xPercent, message.yPercent, true);
  overlay.SetFont(message.fontSize, message.colour);
  overlay.SetFontWidth(FontWidth());
  overlay.SetMessage(message.text);
  if (draw) overlay.Draw(output, geometry_.PictureBytes());
  overlay.SetMessage("");
  overlay.SetMessagePosition(message.xPercent, message.yPercent, false);
  overlay.SetFont(kDefaultFontSize, kDefaultColour);
}

void VideoPin::DrawCameraOverlay(int camera, BYTE* output) {
  overlays_[camera]->Draw(output, geometry_.PictureBytes());
}

void VideoPin::DrawGeneralTexts(BYTE* output) {
  overlays_[kGeneralOverlay]->Draw(output, geometry_.PictureBytes());
  if (clock_.Advance(tick_())) overlays_[3]->SetTime(clock_.Shown());
  overlays_[3]->DrawTime(output, geometry_.PictureBytes());
}

bool VideoPin::DecodesRgb32(int camera) const {
  // A decoder that xvidcore could not make decodes nothing either.
  return decoders_[camera]->HasDecoder() && decoders_[camera]->Stride() == static_cast<int>(4 * geometry_.width);
}

void VideoPin::Compose(int camera, BYTE* output, CVideoCodec* decoder) {
  // Files hold 32-bit pictures; a picture of another depth is not kept. The
  // picture keeps its own size: the negotiated one may change while it is held.
  if (active_ && geometry_.bytesPerPixel == 4)
    lastPicture_ = {output, static_cast<std::int32_t>(2 * geometry_.width), static_cast<std::int32_t>(2 * geometry_.height)};
  // The recording takes the picture as the previous composition left it.
  if (recorder_.IsRecording()) recorder_.AccountComposition(lastPicture_, clock_.Shown());

  const std::int32_t tested = camera == -1 ? GetActiveChannel() : camera;
  const bool on = tested >= 0 && ChannelOn(tested);
  if (decoder && !decoder->HasPicture()) decoder = nullptr;
  if (on && decoder) AdjustPicture(*decoder);
  if (recorder_.FreezeMode() != 0) return;

  if (camera == -1) {
    if (decoder && geometry_.bytesPerPixel == 4)
      EnlargePicture(decoder->Picture(), geometry_.width, geometry_.height, output);
    else
      std::memset(output, 0, geometry_.PictureBytes());
    return;
  }
  if (camera < 0 || camera >= kCameras) return;
  CopyTile(camera, output, on ? decoder : nullptr);
}

void VideoPin::AdjustPicture(CVideoCodec& decoder) {
  if (geometry_.bytesPerPixel != 4) return;
  const bool brightnessContrastOn = brightnessContrastOn_.load(std::memory_order_relaxed) != 0;
  const bool sharpenSmoothOn = sharpenSmoothOn_.load(std::memory_order_relaxed) != 0;
  // Asking for the picture makes it; without adjustments the grid takes the
  // decoded frame straight into its tile.
  if (!brightnessContrastOn && !sharpenSmoothOn) return;
  std::uint8_t* picture = decoder.Picture();
  const std::uint32_t w = geometry_.width, h = geometry_.height;
  if (brightnessContrastOn)
    brightnessContrast_.Apply(picture, w, h, brightness_.load(std::memory_order_relaxed),
                              contrast_.load(std::memory_order_relaxed));
  if (sharpenSmoothOn) {
    SharpenPicture(picture, w, h, sharpness_.load(std::memory_order_relaxed));
    SmoothPicture(picture, w, h, smooth_.load(std::memory_order_relaxed));
  }
}

// Tiles in a bottom-up picture: the top row of cameras lies in the upper half
// of the memory. Without a decoder the tile turns black.
void VideoPin::CopyTile(int camera, BYTE* output, CVideoCodec* decoder) const {
  const std::uint32_t row = geometry_.cameraRowBytes;
  const std::size_t offsets[kCameras] = {std::size_t{2} * geometry_.cameraFrameBytes,
                                         std::size_t{2} * geometry_.cameraFrameBytes + row, 0, row};
  BYTE* tile = output + offsets[camera];
  if (decoder) {
    decoder->CopyPicture(tile, 2 * std::size_t{row});
    return;
  }
  for (std::uint32_t y = 0; y < geometry_.height; ++y, tile += 2 * row) std::memset(tile, 0, row);
}

}  // namespace vesk::video
