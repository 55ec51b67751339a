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

// Uncompressed RGB of 32 or 24 bits a pixel, rows padded to four bytes.
inline host::MediaType RgbType(LONG width, LONG height, WORD bits = 32) {
  VIDEOINFOHEADER info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bits;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>((width * bits / 8 + 3) / 4 * 4 * height);
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = bits == 24 ? MEDIASUBTYPE_RGB24 : MEDIASUBTYPE_RGB32;
  type.formattype = FORMAT_VideoInfo;
  type.cbFormat = sizeof(info);
  type.pbFormat = reinterpret_cast<BYTE*>(&info);
  return host::MediaType(type);
}

}  // namespace vesk::test
