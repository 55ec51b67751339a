// Media types the host tests connect with.
#pragma once

#include <cstring>

#include "host/media_type.h"

namespace vesk::test {

inline host::MediaType PcmType(WORD channels, DWORD rate, WORD bits) {
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = channels;
  wave.nSamplesPerSec = rate;
  wave.wBitsPerSample = bits;
  wave.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  wave.nAvgBytesPerSec = rate * wave.nBlockAlign;
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Audio;
  type.subtype = MEDIASUBTYPE_PCM;
  type.formattype = FORMAT_WaveFormatEx;
  type.bFixedSizeSamples = TRUE;
  type.lSampleSize = wave.nBlockAlign;
  type.cbFormat = sizeof(wave);
  type.pbFormat = reinterpret_cast<BYTE*>(&wave);
  return host::MediaType(type);
}

inline host::MediaType Rgb32Type(LONG width, LONG height) {
  VIDEOINFOHEADER info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(width * height * 4);
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = MEDIASUBTYPE_RGB32;
  type.formattype = FORMAT_VideoInfo;
  type.cbFormat = sizeof(info);
  type.pbFormat = reinterpret_cast<BYTE*>(&info);
  return host::MediaType(type);
}

}  // namespace vesk::test
