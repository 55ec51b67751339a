// Compresses one camera's pictures into MPEG-4 with xvidcore: constant
// quantizer, no B-frames (so every call yields exactly that picture), and a
// key frame at a fixed interval so a player can start anywhere nearby.
#pragma once

#include <cstdint>
#include <vector>

#include "mkrec/i420_picture.h"
#include "mkrec/status.h"

namespace vesk::mkrec {

struct XvidSettings {
  int width = 0;   // even, at most kMaxSide
  int height = 0;  // even, at most kMaxSide
  int quantizer = 4;
  int keyFrameInterval = 25;
  int framesPerSecond = 25;

  static constexpr int kMaxSide = 4096;
};

struct EncodedFrame {
  std::vector<std::uint8_t> bytes;
  bool keyFrame = false;
};

class XvidEncoder {
 public:
  XvidEncoder() = default;
  ~XvidEncoder();
  XvidEncoder(const XvidEncoder&) = delete;
  XvidEncoder& operator=(const XvidEncoder&) = delete;

  Status Open(const XvidSettings& settings);
  // The picture must have the size the encoder was opened with.
  Status Encode(const I420Picture& picture, EncodedFrame& out);

 private:
  void Close();

  void* handle_ = nullptr;
  XvidSettings settings_;
  std::uint64_t frameIndex_ = 0;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace vesk::mkrec
