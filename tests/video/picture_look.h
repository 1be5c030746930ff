// What tells a painted picture from the colour-bar card the demo's movies once were: the card's
// columns are each one colour from top to bottom, and it has a handful of colours in all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace videotest {

struct st_PictureLook {
  size_t colours = 0;        // distinct 0xRRGGBB values
  double flatColumns = 0.0;  // share of columns whose colours span less than 24 per channel
};

// rgb: width × height pixels 0x..RRGGBB, top row first.
st_PictureLook LookAt(const std::vector<uint32_t>& rgb, int width, int height);

}  // namespace videotest
