#include "host/media_type.h"

#include <cstring>
#include <new>
#include <utility>

namespace vesk::host {
namespace {

AM_MEDIA_TYPE EmptyType() {
  AM_MEDIA_TYPE type;
  std::memset(&type, 0, sizeof(type));
  return type;
}

AM_MEDIA_TYPE Copy(const AM_MEDIA_TYPE& source) {
  AM_MEDIA_TYPE type = EmptyType();
  if (FAILED(CopyMediaType(&type, &source))) throw std::bad_alloc();
  return type;
}

}  // namespace

MediaType::MediaType() : type_(EmptyType()) {}

MediaType::MediaType(const AM_MEDIA_TYPE& type) : type_(Copy(type)) {}

MediaType::~MediaType() { FreeMediaType(type_); }

MediaType::MediaType(const MediaType& other) : type_(Copy(other.type_)) {}

MediaType& MediaType::operator=(const MediaType& other) {
  if (this != &other) {
    MediaType copy(other);
    std::swap(type_, copy.type_);
  }
  return *this;
}

MediaType::MediaType(MediaType&& other) noexcept : type_(std::exchange(other.type_, EmptyType())) {}

MediaType& MediaType::operator=(MediaType&& other) noexcept {
  std::swap(type_, other.type_);
  return *this;
}

HRESULT MediaType::CopyTo(AM_MEDIA_TYPE* target) const { return CopyMediaType(target, &type_); }

bool MediaType::Matches(const AM_MEDIA_TYPE& other) const {
  if (type_.majortype != other.majortype || type_.subtype != other.subtype ||
      type_.formattype != other.formattype || type_.cbFormat != other.cbFormat) {
    return false;
  }
  if (type_.cbFormat == 0) return true;
  if (type_.pbFormat == nullptr || other.pbFormat == nullptr) return false;
  return std::memcmp(type_.pbFormat, other.pbFormat, type_.cbFormat) == 0;
}

std::optional<WAVEFORMATEX> PcmWaveFormat(const AM_MEDIA_TYPE& type) {
  if (type.majortype != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_PCM ||
      type.formattype != FORMAT_WaveFormatEx || type.pbFormat == nullptr || type.cbFormat < sizeof(WAVEFORMATEX))
    return std::nullopt;
  WAVEFORMATEX wave;
  std::memcpy(&wave, type.pbFormat, sizeof wave);
  return wave;
}

std::optional<BITMAPINFOHEADER> VideoInfoPicture(const AM_MEDIA_TYPE& type) {
  if (type.majortype != MEDIATYPE_Video || type.formattype != FORMAT_VideoInfo || type.pbFormat == nullptr ||
      type.cbFormat < sizeof(VIDEOINFOHEADER))
    return std::nullopt;
  VIDEOINFOHEADER info;
  std::memcpy(&info, type.pbFormat, sizeof info);
  return info.bmiHeader;
}

}  // namespace vesk::host
