// One camera's compressed pictures: from the synthetic test picture or from a
// Y4M file, taken at the file's own frame rate (frames skipped or shown again
// to keep time) and played again from the start when it runs out.
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
  Status ReadFilePicture(double seconds);
  Status ReadNextFileFrame();

  int width_ = 0;
  int height_ = 0;
  std::optional<TestPicture> synthetic_;
  std::unique_ptr<Y4mReader> file_;
  I420Picture picture_;
  std::uint64_t fileFramesRead_ = 0;  // counting every pass through the file
  std::uint64_t picturesMade_ = 0;
  XvidEncoder encoder_;
};

}  // namespace vesk::mkrec
