#include "picture_look.h"

#include <algorithm>
#include <unordered_set>

namespace videotest {

st_PictureLook LookAt(const std::vector<uint32_t>& rgb, int width, int height) {
  st_PictureLook look;
  if (width <= 0 || height <= 0 || rgb.size() < static_cast<size_t>(width) * static_cast<size_t>(height)) return look;
  std::unordered_set<uint32_t> colours;
  for (uint32_t p : rgb) colours.insert(p & 0xFFFFFFu);
  look.colours = colours.size();
  int flat = 0;
  for (int x = 0; x < width; ++x) {
    int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
    for (int y = 0; y < height; ++y) {
      const uint32_t p = rgb[static_cast<size_t>(y) * width + x];
      for (int c = 0; c < 3; ++c) {
        const int v = static_cast<int>((p >> (16 - 8 * c)) & 0xFF);
        lo[c] = std::min(lo[c], v), hi[c] = std::max(hi[c], v);
      }
    }
    flat += hi[0] - lo[0] < 24 && hi[1] - lo[1] < 24 && hi[2] - lo[2] < 24;
  }
  look.flatColumns = static_cast<double>(flat) / width;
  return look;
}

}  // namespace videotest
