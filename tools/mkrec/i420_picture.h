// One picture in planar 4:2:0: full-size luma, then half-size U and V planes,
// each row packed without padding.
#pragma once

#include <cstdint>
#include <vector>

namespace vesk::mkrec {

struct I420Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> y;
  std::vector<std::uint8_t> u;
  std::vector<std::uint8_t> v;

  int chromaWidth() const { return (width + 1) / 2; }
  int chromaHeight() const { return (height + 1) / 2; }

  void Resize(int newWidth, int newHeight) {
    width = newWidth;
    height = newHeight;
    y.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const auto chroma =
        static_cast<std::size_t>(chromaWidth()) * static_cast<std::size_t>(chromaHeight());
    u.resize(chroma);
    v.resize(chroma);
  }
};

}  // namespace vesk::mkrec
