// One camera's xvidcore decoder: turns the compressed frame of a video record
// into a bottom-up B,G,R,X picture of the camera size, and counts the frames
// and bytes it was given for the pin's statistics.
//
// For 32-bit RGB (of a width that is a multiple of 16 and an even height),
// xvidcore decodes into planes of its own 4:2:0 format, and the RGB picture
// is made from them only when asked for: the grid converts a frame straight
// into its tile, which saves writing the whole picture once and copying it
// again.
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

  // Decodes one compressed frame for the picture. Returns `length` (taken as
  // consumed), or 0 without decoding when the output is not 32-bit RGB of the
  // camera size, there is no decoder, or the input is empty.
  std::uint32_t DecodeFrame(const std::uint8_t* data, std::uint32_t length);

  // The picture, rows Stride() bytes apart; null before a media type. It is
  // made from the last decoded frame on first use; changes made to it through
  // this pointer hold until the next frame is decoded.
  std::uint8_t* Picture();
  // Writes the picture's rows `stride` bytes apart into `destination`, which
  // has room for them: straight from the decoded frame when nobody asked for
  // Picture() since it was decoded. Nothing before a media type.
  void CopyPicture(std::uint8_t* destination, std::size_t stride);
  // Turns the picture black until the next frame is decoded.
  void ClearPicture();
  bool HasPicture() const { return picture_ != nullptr; }

  int Stride() const { return stride_; }
  int ColourSpace() const { return colourSpace_; }
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
  // Points xvidcore's output at planes_ where the picture allows it.
  void DecodeIntoPlanes();
  void BlackenPlanes();
  // Converts the decoded planes into 32-bit RGB rows `stride` bytes apart.
  void ConvertPlanes(std::uint8_t* destination, std::size_t stride) const;

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
  int colourSpace_ = 0;  // none before a media type
  int stride_ = 0;
  std::unique_ptr<std::uint8_t[]> picture_;
  // xvidcore's 4:2:0 planes (Y, V, U) when it decodes into them, and whether
  // they hold a frame that picture_ does not show yet.
  std::unique_ptr<std::uint8_t[]> planes_;
  bool planesNewer_ = false;
};

}  // namespace vesk::video
