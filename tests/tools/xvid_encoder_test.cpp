#include "mkrec/xvid_encoder.h"

#include <gtest/gtest.h>
#include <xvid.h>

#include <cmath>

#include "mkrec/test_picture.h"

namespace vesk::mkrec {
namespace {

// xvidcore's own decoder, the reference the player's pictures must satisfy.
class XvidDecoder {
 public:
  XvidDecoder() {
    xvid_gbl_init_t init{};
    init.version = XVID_VERSION;
    xvid_global(nullptr, XVID_GBL_INIT, &init, nullptr);
    xvid_dec_create_t create{};
    create.version = XVID_VERSION;
    if (xvid_decore(nullptr, XVID_DEC_CREATE, &create, nullptr) == 0) handle_ = create.handle;
  }
  ~XvidDecoder() {
    if (handle_) xvid_decore(handle_, XVID_DEC_DESTROY, nullptr, nullptr);
  }

  // False unless the bytes held a whole picture.
  bool Decode(std::vector<std::uint8_t> bytes, int width, int height, I420Picture& out) {
    // Room for whole macroblocks: the decoder may write past the picture's edge.
    const int stride = (width + 15) / 16 * 16;
    const int rows = (height + 15) / 16 * 16;
    std::vector<std::uint8_t> y(stride * rows), u(stride * rows / 4), v(stride * rows / 4);
    xvid_dec_frame_t frame{};
    frame.version = XVID_VERSION;
    frame.general = XVID_LOWDELAY;
    frame.output.csp = XVID_CSP_PLANAR;
    frame.output.plane[0] = y.data();
    frame.output.plane[1] = u.data();
    frame.output.plane[2] = v.data();
    frame.output.stride[0] = stride;
    frame.output.stride[1] = frame.output.stride[2] = stride / 2;
    xvid_dec_stats_t stats{};
    stats.version = XVID_VERSION;
    std::size_t used = 0;
    do {
      frame.bitstream = bytes.data() + used;
      frame.length = static_cast<int>(bytes.size() - used);
      const int consumed = xvid_decore(handle_, XVID_DEC_DECODE, &frame, &stats);
      if (consumed <= 0) return false;
      used += static_cast<std::size_t>(consumed);
    } while (stats.type == XVID_TYPE_VOL && used < bytes.size());
    if (stats.type <= 0) return false;
    out.Resize(width, height);
    for (int row = 0; row < height; ++row)
      std::copy_n(y.begin() + row * stride, width, out.y.begin() + row * width);
    return true;
  }

 private:
  void* handle_ = nullptr;
};

double LumaPsnr(const I420Picture& a, const I420Picture& b) {
  double squares = 0;
  for (std::size_t i = 0; i < a.y.size(); ++i) {
    const double d = double(a.y[i]) - double(b.y[i]);
    squares += d * d;
  }
  const double mse = squares / static_cast<double>(a.y.size());
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

XvidSettings Settings(int width, int height, int keyInterval) {
  XvidSettings settings;
  settings.width = width;
  settings.height = height;
  settings.keyFrameInterval = keyInterval;
  return settings;
}

TEST(XvidEncoderTest, DecodesBackCloseToTheInputWithKeyFramesOnTheInterval) {
  for (const auto& [width, height] : {std::pair{64, 48}, std::pair{50, 34}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    XvidEncoder encoder;
    ASSERT_TRUE(encoder.Open(Settings(width, height, 3)).ok());
    XvidDecoder decoder;
    const TestPicture source(2, width, height);
    I420Picture input, output;
    EncodedFrame encoded;
    for (int frame = 0; frame < 7; ++frame) {
      source.Render(frame * 0.2, input);
      ASSERT_TRUE(encoder.Encode(input, encoded).ok());
      EXPECT_EQ(encoded.keyFrame, frame % 3 == 0) << "frame " << frame;
      ASSERT_TRUE(decoder.Decode(encoded.bytes, width, height, output)) << "frame " << frame;
      EXPECT_GT(LumaPsnr(input, output), 30.0) << "frame " << frame;
    }
  }
}

}  // namespace
}  // namespace vesk::mkrec
