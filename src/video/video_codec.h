// One camera's xvidcore decoder: turns the compressed frame of a video record
// into a bottom-up B,G,R,X picture of the camera size in a buffer of its own,
// and counts the frames and bytes it was given for the pin's statistics.
#pragma once

#include <xvid.h>

#include <cstdint>
#include <memory>

#include "vesk/dshow.h"

namespace vesk::video {

class CVideoCodec {
 public:
  // The pin's (width, height) pair: shared, so the decoder always sees the
  // pin's current camera size. Must outlive the decoder.
  explicit CVideoCodec(const std::uint32_t* cameraSize);
  ~CVideoCodec();
  CVideoCodec(const CVideoCodec&) = delete;
  CVideoCodec& operator=(const CVideoCodec&) = delete;

  // Chooses the output colour space from the pin's output type and makes a
  // black output buffer. S_OK; S_FALSE (nothing changed) for a format block
  // that is no VIDEOINFOHEADER or a subtype without an xvidcore colour space;
  // E_OUTOFMEMORY when the buffer cannot be had.
  HRESULT SetMediaType(const AM_MEDIA_TYPE& type);

  // Decodes one compressed frame into Picture(). Returns `length` (taken as
  // consumed), or 0 without decoding when the output is not 32-bit RGB of the
  // camera size, there is no decoder, or the input is empty.
  std::uint32_t DecodeFrame(const std::uint8_t* data, std::uint32_t length);

  const std::uint8_t* Picture() const { return picture_.get(); }
  std::uint8_t* Picture() { return picture_.get(); }
  int Stride() const { return frame_.output.stride[0]; }
  int ColourSpace() const { return frame_.output.csp; }
  bool HasDecoder() const { return create_.handle != nullptr; }

  // Statistics kept for the pin: it reads and resets the counts once a period
  // and stores the rates it derives from them.
  std::uint32_t FrameCount() const { return frameCount_; }
  std::uint32_t ByteCount() const { return byteCount_; }
  void ResetCounts() { frameCount_ = byteCount_ = 0; }
  bool HasData() const { return hasData_; }
  void SetHasData(bool hasData) { hasData_ = hasData; }
  double Fps() const { return fps_; }
  double Bps() const { return bps_; }
  void SetRates(double fps, double bps) { fps_ = fps, bps_ = bps; }

  // The record version the decoder speaks: xvidcore 1.0.1's layout, which
  // every 1.x library accepts.
  static constexpr int kXvidRecordVersion = 0x00010001;

 private:
  bool CanDecode() const;

  bool hasData_ = true;
  const std::uint32_t* cameraSize_;  // not owned
  xvid_gbl_init_t init_{};
  xvid_dec_create_t create_{};
  xvid_dec_frame_t frame_{};
  double fps_ = 0;
  double bps_ = 0;
  std::uint32_t frameCount_ = 0;
  std::uint32_t byteCount_ = 0;
  // The camera size the output buffer was made for: a pin that changed the
  // size without a new media type must not make xvidcore write past it.
  std::uint32_t pictureWidth_ = 0;
  std::uint32_t pictureHeight_ = 0;
  std::unique_ptr<std::uint8_t[]> picture_;
};

}  // namespace vesk::video
