// The pixel calls between images or memory and the surface: rectangles
// clipped on both sides, conversion between the surface's format and the
// image's or data's, and the copies done in bands of rows through the
// compositor. Paint, blending, masking and the matrices do not apply;
// scissoring limits what is written to the surface (a copy to the surface
// is drawing into it), and reading from the surface is not scissored.
#pragma once

#include <VG/openvg.h>

#include <cstdint>
#include <vector>

#include "core/context.hpp"
#include "core/image.hpp"
#include "core/rect.hpp"
#include "draw/compositor.hpp"

namespace tq {

// The part of a width x height rectangle copied from (sx, sy) of a source
// grid to (dx, dy) of a destination grid that lies inside both (grids from
// their origin): offsets into the rectangle where it starts, and its size.
// In 64 bits, so that x + width cannot overflow.
struct CopyRect {
  int64_t i0 = 0, j0 = 0;
  int64_t width = 0, height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
};
CopyRect clipCopy(int64_t sourceWidth, int64_t sourceHeight, VGint sx, VGint sy, int64_t destWidth,
                  int64_t destHeight, VGint dx, VGint dy, VGint width, VGint height);

// The format the surface's pixels are read and written in: premultiplied
// sRGB RGBA, or sRGB without alpha.
const FormatInfo& surfaceFormat(bool hasAlpha);

// `surface` is the drawable surface, a rectangle from the origin.
class SurfacePixels {
 public:
  SurfacePixels(Compositor& compositor, const Context& ctx, const IntRect& surface)
      : compositor_(compositor), ctx_(ctx), surface_(surface) {}

  void set(VGint dx, VGint dy, const Image& src, VGint sx, VGint sy, VGint width, VGint height);
  void write(const void* data, VGint stride, const FormatInfo& format, VGint dx, VGint dy,
             VGint width, VGint height);
  void get(Image& dst, VGint dx, VGint dy, VGint sx, VGint sy, VGint width, VGint height);
  void read(void* data, VGint stride, const FormatInfo& format, VGint sx, VGint sy, VGint width,
            VGint height);
  void copy(VGint dx, VGint dy, VGint sx, VGint sy, VGint width, VGint height);

 private:
  // Calls f(pixels, j, n) for rows [j, j + n) of r, a band of at most
  // kPixelBandPixels pixels at a time (from the last band back when
  // `backward`), with pixels one band's storage in the surface's format.
  // Throws std::bad_alloc.
  template <class F>
  void inBands(const CopyRect& r, bool backward, F&& f);
  void writeBand(const IntRect& rect, const Image& pixels);

  Compositor& compositor_;
  const Context& ctx_;
  IntRect surface_;
};

// Copies go through storage of at most this many pixels at a time.
inline constexpr int64_t kPixelBandPixels = int64_t(1) << 20;

}  // namespace tq
