#include "mkrec/camera_feed.h"

namespace vesk::mkrec {

Status CameraFeed::Open(const CameraPlan& plan, XvidSettings encoding) {
  synthetic_.reset();
  file_.reset();
  if (plan.y4mPath.empty()) {
    width_ = plan.width;
    height_ = plan.height;
    synthetic_.emplace(plan.slot, width_, height_);
  } else {
    fileFramesRead_ = picturesMade_ = 0;
    file_ = std::make_unique<Y4mReader>();
    if (Status s = file_->Open(plan.y4mPath); !s.ok()) return s;
    width_ = file_->width();
    height_ = file_->height();
  }
  encoding.width = width_;
  encoding.height = height_;
  return encoder_.Open(encoding);
}

Status CameraFeed::Next(double seconds, EncodedFrame& out) {
  if (synthetic_) {
    synthetic_->Render(seconds, picture_);
  } else if (Status s = ReadFilePicture(seconds); !s.ok()) {
    return s;
  }
  return encoder_.Encode(picture_, out);
}

Status CameraFeed::ReadFilePicture(double seconds) {
  // Without a rate of its own, the file gives one frame a picture.
  const double rate = file_->framesPerSecond();
  const std::uint64_t due = rate > 0 ? static_cast<std::uint64_t>(seconds * rate + 1e-6) : picturesMade_;
  ++picturesMade_;
  while (fileFramesRead_ <= due) {
    if (Status s = ReadNextFileFrame(); !s.ok()) return s;
    ++fileFramesRead_;
  }
  return Status::Ok();
}

Status CameraFeed::ReadNextFileFrame() {
  bool got = false;
  if (Status s = file_->ReadFrame(picture_, got); !s.ok() || got) return s;
  if (Status s = file_->Rewind(); !s.ok()) return s;
  if (Status s = file_->ReadFrame(picture_, got); !s.ok()) return s;
  return got ? Status::Ok() : Status::Error("Y4M file has no frames");
}

}  // namespace vesk::mkrec
