// The "VideoOutput0" pin: decodes the cameras of the recording, adjusts their
// pictures, composes them into one output picture (all four in a 2 x 2 grid,
// or one enlarged) and draws the texts over it. One output sample per packet;
// the packets come one at a time from the filter's producer thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>

#include "filter/video_output.h"
#include "overlay/text_overlay.h"
#include "platform/critical_section.h"
#include "platform/text_rasterizer.h"
#include "video/brightness_contrast.h"
#include "video/picture_recorder.h"
#include "video/stream_clock.h"
#include "video/video_codec.h"
#include "vesk/com_ptr.h"

namespace vesk::video {

class VideoPin final : public filter::VideoOutput {
 public:
  using TickSource = std::function<std::uint32_t()>;
  static constexpr int kCameras = 4;
  static constexpr int kGeneralOverlay = 4;

  // `channels` is the owning filter's and outlives the pin. The overlays draw
  // their texts with `rasterizer`.
  VideoPin(filter::PinOwner& owner, platform::CriticalSection& pinLock, filter::ChannelPresence& channels,
           std::unique_ptr<platform::TextRasterizer> rasterizer, TickSource tick);
  ~VideoPin() override;

  // StreamPin.
  HRESULT Active() override;
  HRESULT Inactive() override;
  HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
  HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  void SetActiveChannel(std::int32_t channel) override;
  void SetChannelDescription(const input::ChannelRecord& record) override;
  STDMETHOD(Notify)(IBaseFilter* self, Quality quality) override;

  // VideoOutput.
  void SetAdjustments(const filter::PictureAdjustments& adjustments) override;
  HRESULT SwitchOp(filter::VideoSwitch which, LONG code, LONG* value) override;
  HRESULT CameraOptionOp(LONG index, LONG code, LONG* value) override;
  void SetNotifyWindow(HWND window) override { recorder_.SetNotifyWindow(window); }
  void SetFreezeMode(LONG mode, const std::string& snapshotPrefix) override;
  void SaveSnapshot(const std::string& prefix) override;
  void StartRecording(const std::string& prefix, DWORD maximum) override;
  void StopRecording() override { recorder_.StopRecording(); }
  void SetClock(std::uint32_t seconds) override;
  void RebaseClock() override;
  void ShowTotalBytesPerSecond(double bytesPerSecond) override;
  void GetFrameSize(DWORD* width, DWORD* height) override;
  void DescribeForReport(input::PinReport& report) override;

  // Shows `text` (KOI8-R, at most 179 characters kept) as the status message
  // of overlay `index`; an index outside 0 to 4 means the general overlay.
  void SetStatusText(int index, std::string_view text);

 protected:
  HRESULT FillBuffer(IMediaSample* sample, input::Packet& packet) override;
  // Hands over the last picture to the next buffer without losing it: see
  // lastSample_.
  HRESULT GetDeliveryBuffer(IMemAllocator& allocator, IMediaSample** sample) override;

 private:
  // The output geometry fixed when the media type was set: every composition
  // uses it, so a camera size announced later cannot make it write past the
  // buffers made for the old one.
  struct Geometry {
    std::uint32_t width = 0;  // camera width; the output is twice as wide
    std::uint32_t height = 0;
    std::uint32_t bytesPerPixel = 0;
    std::uint32_t cameraFrameBytes = 0;
    std::uint32_t cameraRowBytes = 0;
    std::size_t PictureBytes() const { return std::size_t{4} * cameraFrameBytes; }
  };

  struct CameraMessage {
    const char* text;
    DWORD xPercent;
    DWORD yPercent;
    DWORD fontSize;
    DWORD colour;
  };
  static constexpr CameraMessage kChannelOffMessage{"channel off", 80, 100, 0, 0x808000};
  static constexpr CameraMessage kUnsupportedMessage{"unsupported resolution", 50, 100, 0, 0x808000};
  static constexpr CameraMessage kVideoDataOutMessage{"video data out", 50, 30, 15, 0x0000FF};

  HRESULT FillFromData(BYTE* output, input::Packet& packet);
  HRESULT FillAfterConfigurationChange(BYTE* output);
  HRESULT FillAfterTimeOut(BYTE* output);
  void ShowTextPacket(const input::Packet& packet);

  void RunStatisticsPass(BYTE* output, std::uint32_t now);
  // Composes camera `camera` (or the shown one enlarged, for -1) from the
  // picture of `decoder`; black without one.
  void Compose(int camera, BYTE* output, CVideoCodec* decoder);
  void AdjustPicture(CVideoCodec& decoder);
  void CopyTile(int camera, BYTE* output, CVideoCodec* decoder) const;
  void ShowCameraMessage(int camera, const CameraMessage& message, BYTE* output, bool draw);
  void ReportVideoDataOut(int camera, BYTE* output, std::int32_t shown);
  void DrawGeneralTexts(BYTE* output);
  void DrawCameraOverlay(int camera, BYTE* output);

  bool ChannelOn(int camera) { return channels_.ChannelPresent(camera); }
  bool DecodesRgb32(int camera) const;
  DWORD FontWidth();
  void SetGridRegions();
  void SetEnlargedRegion(int camera);
  // Under pictureLock_: the held picture goes into `next`, another buffer, and
  // the sample that held it goes back.
  void MovePicture(IMediaSample& next);
  // Under pictureLock_: `sample`, from `allocator`, is the one held from now on.
  void Hold(IMemAllocator& allocator, IMediaSample* sample);

  filter::ChannelPresence& channels_;
  TickSource tick_;

  // The camera size from the channel description, written by the producer
  // thread: the decoders read the pair on that thread, every other reader
  // the same size packed in frameSize_.
  std::uint32_t cameraSize_[2] = {400, 288};
  std::atomic<std::uint64_t> frameSize_;
  // Producer thread, and the connecting thread while no producer runs; a
  // snapshot reads it under pictureLock_, which guards its writing.
  Geometry geometry_;

  const std::unique_ptr<platform::TextRasterizer> rasterizer_;
  std::array<std::unique_ptr<CVideoCodec>, kCameras> decoders_;
  std::array<std::unique_ptr<overlay::TextOverlay>, kCameras + 1> overlays_;
  BrightnessContrast brightnessContrast_;

  // Guards the status texts and the setting of the clock.
  platform::CriticalSection textLock_;
  std::array<std::array<char, 180>, kCameras + 1> statusTexts_{};
  StreamClock clock_;

  std::uint32_t statisticsTick_ = 0;  // producer thread only
  std::uint32_t framesWithheld_ = 0;
  bool activatedOnce_ = false;

  // Settings from the settings thread, taking effect with the next picture.
  std::atomic<std::int32_t> brightness_{0};
  std::atomic<std::int32_t> contrast_{0};
  std::atomic<std::int32_t> reserved_{0};
  std::atomic<std::int32_t> sharpness_{0};
  std::atomic<std::int32_t> smooth_{0};
  std::atomic<LONG> showTime_{0};
  std::atomic<LONG> showFps_{0};
  std::atomic<LONG> showBps_{0};
  std::atomic<LONG> showActivity_{0};
  std::atomic<LONG> brightnessContrastOn_{0};
  std::atomic<LONG> sharpenSmoothOn_{0};
  std::atomic<LONG> sliders_[4] = {0, 100, 0, 50};  // sharpness, brightness, smoothing, contrast

  // Guards the last output picture: the composing thread writes into it while
  // a snapshot on the settings thread reads it. None while the pin is not active.
  mutable std::mutex pictureLock_;
  OutputPicture lastPicture_;
  // The sample whose buffer holds the last picture. Holding it keeps the
  // buffer's memory whatever the allocator does meanwhile (a downstream pin
  // decommitting it, a reconnection releasing it); it goes back only when the
  // next buffer is taken, and the picture moves into that buffer when it is
  // another one.
  ComPtr<IMediaSample> lastSample_;
  ComPtr<IMemAllocator> lastAllocator_;  // the one lastSample_ came from
  bool active_ = false;
  PictureRecorder recorder_;
};

}  // namespace vesk::video
