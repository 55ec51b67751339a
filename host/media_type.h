// MediaType: an owned copy of an AM_MEDIA_TYPE (format block included).
// Copying throws std::bad_alloc when memory runs out.
#pragma once

#include <optional>

#include "vesk/dshow.h"

namespace vesk::host {

class MediaType {
 public:
  // All-null type: no major type, no format.
  MediaType();
  explicit MediaType(const AM_MEDIA_TYPE& type);
  ~MediaType();
  MediaType(const MediaType& other);
  MediaType& operator=(const MediaType& other);
  MediaType(MediaType&& other) noexcept;
  MediaType& operator=(MediaType&& other) noexcept;

  const AM_MEDIA_TYPE& Get() const { return type_; }
  // A deep copy for a caller-owned structure (IPin::ConnectionMediaType and the like).
  HRESULT CopyTo(AM_MEDIA_TYPE* target) const;

  // Same major type, subtype, format type and format bytes: what a pin compares.
  bool Matches(const AM_MEDIA_TYPE& other) const;

 private:
  AM_MEDIA_TYPE type_;
};

// The wave format of a PCM sound type, copied out of its format block;
// nullopt for another type or a block too short to hold it.
std::optional<WAVEFORMATEX> PcmWaveFormat(const AM_MEDIA_TYPE& type);
// The picture header of a video type described by a VIDEOINFOHEADER, copied
// out of its format block; nullopt otherwise. The subtype is the caller's.
std::optional<BITMAPINFOHEADER> VideoInfoPicture(const AM_MEDIA_TYPE& type);

}  // namespace vesk::host
