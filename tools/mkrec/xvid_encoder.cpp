#include "mkrec/xvid_encoder.h"

#include <xvid.h>

#include <string>

namespace vesk::mkrec {

namespace {

// xvidcore wants one global initialisation before any encoder is created.
bool InitialiseXvid() {
  static const bool initialised = [] {
    xvid_gbl_init_t init{};
    init.version = XVID_VERSION;
    return xvid_global(nullptr, XVID_GBL_INIT, &init, nullptr) >= 0;
  }();
  return initialised;
}

std::string SizeText(int width, int height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace

XvidEncoder::~XvidEncoder() { Close(); }

void XvidEncoder::Close() {
  if (handle_) xvid_encore(handle_, XVID_ENC_DESTROY, nullptr, nullptr);
  handle_ = nullptr;
}

Status XvidEncoder::Open(const XvidSettings& settings) {
  Close();
  const int w = settings.width;
  const int h = settings.height;
  if (w <= 0 || h <= 0 || w % 2 != 0 || h % 2 != 0 || w > XvidSettings::kMaxSide ||
      h > XvidSettings::kMaxSide) {
    return Status::Error("picture size " + SizeText(w, h) + " is not usable: width and height " +
                         "must be even and between 2 and " +
                         std::to_string(XvidSettings::kMaxSide));
  }
  if (settings.quantizer < 1 || settings.quantizer > 31)
    return Status::Error("quantizer must be 1 to 31");
  if (settings.keyFrameInterval < 1) return Status::Error("key frame interval must be at least 1");
  if (settings.framesPerSecond < 1) return Status::Error("frame rate must be at least 1");
  if (!InitialiseXvid()) return Status::Error("xvidcore failed to initialise");

  xvid_enc_create_t create{};
  create.version = XVID_VERSION;
  create.width = w;
  create.height = h;
  create.fincr = 1;
  create.fbase = settings.framesPerSecond;
  create.max_key_interval = settings.keyFrameInterval;
  create.max_bframes = 0;
  for (int plane = 0; plane < 3; ++plane) {
    create.min_quant[plane] = 1;
    create.max_quant[plane] = 31;
  }
  const int result = xvid_encore(nullptr, XVID_ENC_CREATE, &create, nullptr);
  if (result < 0 || !create.handle)
    return Status::Error("xvidcore refused an encoder for " + SizeText(w, h) + " (error " +
                         std::to_string(result) + ")");
  handle_ = create.handle;
  settings_ = settings;
  frameIndex_ = 0;
  // Room for a key frame at the finest quantizer, with the stream headers.
  buffer_.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3 + 4096);
  return Status::Ok();
}

Status XvidEncoder::Encode(const I420Picture& picture, EncodedFrame& out) {
  if (!handle_) return Status::Error("encoder is not open");
  const auto lumaSize = static_cast<std::size_t>(settings_.width) * settings_.height;
  if (picture.width != settings_.width || picture.height != settings_.height ||
      picture.y.size() != lumaSize || picture.u.size() != lumaSize / 4 ||
      picture.v.size() != lumaSize / 4)
    return Status::Error("picture is " + SizeText(picture.width, picture.height) +
                         ", encoder expects " + SizeText(settings_.width, settings_.height));

  xvid_enc_frame_t frame{};
  frame.version = XVID_VERSION;
  frame.bitstream = buffer_.data();
  frame.length = static_cast<int>(buffer_.size());
  frame.input.csp = XVID_CSP_PLANAR;
  // xvidcore only reads the input planes; its image type has no const pointers.
  frame.input.plane[0] = const_cast<std::uint8_t*>(picture.y.data());
  frame.input.plane[1] = const_cast<std::uint8_t*>(picture.u.data());
  frame.input.plane[2] = const_cast<std::uint8_t*>(picture.v.data());
  frame.input.stride[0] = picture.width;
  frame.input.stride[1] = picture.chromaWidth();
  frame.input.stride[2] = picture.chromaWidth();
  // Forcing the frame types keeps key frames exactly on the interval, even
  // across scene changes that would make xvidcore insert its own.
  const bool key = frameIndex_ % static_cast<std::uint64_t>(settings_.keyFrameInterval) == 0;
  frame.type = key ? XVID_TYPE_IVOP : XVID_TYPE_PVOP;
  frame.quant = settings_.quantizer;
  frame.vop_flags = XVID_VOP_HALFPEL | XVID_VOP_INTER4V;
  frame.motion = XVID_ME_ADVANCEDDIAMOND16 | XVID_ME_HALFPELREFINE16;

  const int length = xvid_encore(handle_, XVID_ENC_ENCODE, &frame, nullptr);
  if (length <= 0)
    return Status::Error("xvidcore failed to encode frame " + std::to_string(frameIndex_) +
                         " (result " + std::to_string(length) + ")");
  out.bytes.assign(buffer_.begin(), buffer_.begin() + length);
  out.keyFrame = (frame.out_flags & XVID_KEYFRAME) != 0;
  ++frameIndex_;
  return Status::Ok();
}

}  // namespace vesk::mkrec
