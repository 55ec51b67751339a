// Compressed frames of the moving test picture and xvidcore's own decode of
// them, for the video tests to hold the module's pictures against.
#pragma once

#include <gtest/gtest.h>
#include <xvid.h>

#include <cstdint>
#include <vector>

#include "mkrec/test_picture.h"
#include "mkrec/xvid_encoder.h"

namespace vesk::video::reference {

// Compressed frames of the moving test picture, the first a key frame that
// carries the stream header.
inline std::vector<mkrec::EncodedFrame> EncodeFrames(int width, int height, int count, int keyInterval = 5) {
  mkrec::XvidEncoder encoder;
  mkrec::XvidSettings settings;
  settings.width = width;
  settings.height = height;
  settings.keyFrameInterval = keyInterval;
  EXPECT_TRUE(encoder.Open(settings).ok());
  mkrec::TestPicture scene(2, width, height);
  mkrec::I420Picture picture;
  picture.Resize(width, height);
  std::vector<mkrec::EncodedFrame> frames(count);
  for (int i = 0; i < count; ++i) {
    scene.Render(i * 0.2, picture);
    EXPECT_TRUE(encoder.Encode(picture, frames[i]).ok());
  }
  return frames;
}

// xvidcore's own decode of a frame sequence with current records and one
// call per frame, for the wrapper's pictures to be held against.
class ReferenceDecoder {
 public:
  ReferenceDecoder(int colourSpace, int width, int height)
      : colourSpace_(colourSpace), width_(width), picture_(4 * width * height) {
    xvid_gbl_init_t init{};
    init.version = XVID_VERSION;
    xvid_global(nullptr, XVID_GBL_INIT, &init, nullptr);
    xvid_dec_create_t create{};
    create.version = XVID_VERSION;
    create.width = width;
    create.height = height;
    EXPECT_EQ(xvid_decore(nullptr, XVID_DEC_CREATE, &create, nullptr), 0);
    handle_ = create.handle;
  }
  ~ReferenceDecoder() { xvid_decore(handle_, XVID_DEC_DESTROY, nullptr, nullptr); }

  const std::vector<std::uint8_t>& Decode(const std::vector<std::uint8_t>& bytes) {
    xvid_dec_frame_t frame{};
    frame.version = XVID_VERSION;
    frame.bitstream = const_cast<std::uint8_t*>(bytes.data());
    frame.length = static_cast<int>(bytes.size());
    frame.output.csp = colourSpace_;
    frame.output.plane[0] = picture_.data();
    frame.output.stride[0] = 4 * width_;
    EXPECT_GT(xvid_decore(handle_, XVID_DEC_DECODE, &frame, nullptr), 0);
    return picture_;
  }

 private:
  int colourSpace_;
  int width_;
  void* handle_ = nullptr;
  std::vector<std::uint8_t> picture_;
};

}  // namespace vesk::video::reference
