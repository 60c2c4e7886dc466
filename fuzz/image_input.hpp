// What the image fuzz targets share: the formats they try, the caller's
// memory for a pixel call, and a copy of an image's stored pixels to compare
// before and after a call.
#pragma once

#include <VG/openvg.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/context.hpp"
#include "core/image.hpp"
#include "core/pixel_formats.hpp"
#include "fuzz_input.hpp"

namespace tqfuzz {

// Every format, then a few values that are none.
inline constexpr int32_t kImageFormats[] = {0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,
                                            11,  12,  13,  14,  64,  65,  66,  68,  69,  71,  72,
                                            73,  128, 129, 130, 131, 132, 133, 135, 136, 137, 192,
                                            193, 194, 196, 197, 199, 200, 201, 15,  67,  195, 255};

// Data for a pixel call: a buffer spanning only the bytes of the pixels that
// the rectangle keeps inside a width x height target (none for 0 x 0), and
// the pointer the call takes, now and then null.
struct PixelData {
  std::vector<uint8_t> storage;
  uint8_t* buffer = nullptr;  // the kept bytes
  size_t size = 0;
  void* pointer = nullptr;
};

inline void makePixelData(Input& in, PixelData& d, VGint format, VGint stride, VGint x, VGint y,
                          VGint w, VGint h, int64_t width, int64_t height) {
  const tq::FormatInfo* f = tq::formatInfo(format);
  const int bpp = f ? f->bitsPerPixel : 8;
  int64_t rows = 0, firstByte = 0, rowBytes = 0, dataY = 0;
  if (w > 0 && h > 0) {
    const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
    const int64_t cols = std::min<int64_t>(int64_t(x) + w, width) - x0;
    rows = std::min<int64_t>(int64_t(y) + h, height) - y0;
    if (cols > 0 && rows > 0) {
      firstByte = (x0 - x) * bpp / 8;
      rowBytes = ((x0 - x + cols) * bpp + 7) / 8 - firstByte;
      dataY = y0 - y;
    } else {
      rows = 0;
    }
  }
  const int64_t step = stride < 0 ? -int64_t(stride) : stride;
  d.size = rows > 0 ? size_t(step * (rows - 1) + rowBytes) : 0;
  d.storage.assign(d.size + 8, 0);
  const bool misaligned = in.pick(16) == 0;
  d.buffer = d.storage.data() + (misaligned ? 1 : 4);
  for (size_t i = 0; i < d.size; ++i) d.buffer[i] = in.byte();
  // Row r of the rectangle's kept part is at pointer + (dataY + r) * stride.
  const int64_t base = stride < 0 ? (rows - 1 + dataY) * step : -dataY * step;
  d.pointer = rows > 0 ? reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(d.buffer) +
                                                 uintptr_t(base - firstByte))
                       : d.buffer;
  if (in.pick(32) == 0) d.pointer = nullptr;
}

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

// Runs call, which draws into or writes dst; a call that fails must leave
// dst's pixels as they were.
template <typename Call>
void checkedOn(VGImage dst, Call&& call) {
  takeError();
  const std::vector<uint8_t> before = snapshot(dst);
  call();
  if (takeError() != VG_NO_ERROR) TQ_FUZZ_CHECK(snapshot(dst) == before);
}

}  // namespace tqfuzz
