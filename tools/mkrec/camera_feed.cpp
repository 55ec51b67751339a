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
  } else if (Status s = ReadFilePicture(); !s.ok()) {
    return s;
  }
  return encoder_.Encode(picture_, out);
}

Status CameraFeed::ReadFilePicture() {
  bool got = false;
  if (Status s = file_->ReadFrame(picture_, got); !s.ok() || got) return s;
  if (Status s = file_->Rewind(); !s.ok()) return s;
  if (Status s = file_->ReadFrame(picture_, got); !s.ok()) return s;
  return got ? Status::Ok() : Status::Error("Y4M file has no frames");
}

}  // namespace vesk::mkrec
