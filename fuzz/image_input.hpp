// What the image fuzz targets share: the formats they try and a copy of an
// image's stored pixels to compare before and after a call.
#pragma once

#include <VG/openvg.h>

#include <cstdint>
#include <vector>

#include "core/context.hpp"
#include "core/image.hpp"

namespace tqfuzz {

// Every format, then a few values that are none.
inline constexpr int32_t kImageFormats[] = {0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,
                                            11,  12,  13,  14,  64,  65,  66,  68,  69,  71,  72,
                                            73,  128, 129, 130, 131, 132, 133, 135, 136, 137, 192,
                                            193, 194, 196, 197, 199, 200, 201, 15,  67,  195, 255};

inline const tq::Image* internalImage(VGImage handle) {
  return tq::lookupImage(*tq::currentContext(), handle);
}

// The image's pixels as stored, row by row; empty for a bad handle.
inline std::vector<uint8_t> snapshot(VGImage handle) {
  const tq::Image* image = internalImage(handle);
  std::vector<uint8_t> out;
  if (!image) return out;
  for (int y = 0; y < image->rect.height; ++y) {
    const uint8_t* row = image->store->pixel(image->rect.x, image->rect.y + y);
    out.insert(out.end(), row, row + size_t(image->rect.width) * 4);
  }
  return out;
}

}  // namespace tqfuzz
