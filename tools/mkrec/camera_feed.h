// One camera's compressed pictures: from the synthetic test picture or from a
// Y4M file (played again from the start when it runs out).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "mkrec/i420_picture.h"
#include "mkrec/recording_plan.h"
#include "mkrec/test_picture.h"
#include "mkrec/xvid_encoder.h"
#include "mkrec/y4m_reader.h"

namespace vesk::mkrec {

class CameraFeed {
 public:
  // `encoding` gives rate, quantizer and key frame interval; the size comes
  // from the plan or the Y4M file.
  Status Open(const CameraPlan& plan, XvidSettings encoding);

  int width() const { return width_; }
  int height() const { return height_; }

  // The next picture, `seconds` after the recording began, compressed.
  Status Next(double seconds, EncodedFrame& out);

 private:
  Status ReadFilePicture();

  int width_ = 0;
  int height_ = 0;
  std::optional<TestPicture> synthetic_;
  std::unique_ptr<Y4mReader> file_;
  I420Picture picture_;
  XvidEncoder encoder_;
};

}  // namespace vesk::mkrec
