// What the drawing pipeline needs from a graphics API: a surface to clear and
// to composite coverage onto. The OpenGL renderer is the one implementation;
// the tests put a recording one in its place.
#pragma once

#include <VG/openvg.h>

#include <array>
#include <cstdint>
#include <vector>

#include "draw/draw_paint.hpp"
#include "raster/coverage.hpp"

namespace tq {

class Compositor {
 public:
  virtual ~Compositor() = default;

  // Viewport and a one-unit-one-pixel projection, origin lower left.
  virtual void setSurface(int width, int height) = 0;
  // The largest rectangle from the origin that can be drawn into, whatever
  // the surface's size claims: coverage never need reach beyond it.
  virtual IntRect drawableLimit() const = 0;
  // Clears rect (already clipped to the surface) to a premultiplied colour,
  // limited to the scissor rectangles when scissor is true.
  virtual void clear(const IntRect& rect, const std::array<float, 4>& premultiplied, bool scissor,
                     const std::vector<VGint>& scissorRects) = 0;
  // Composites coverage in the paint with the given blend mode.
  virtual void fill(const CoverageMask& mask, const DrawPaint& paint, VGBlendMode mode) = 0;
  // The surface's pixels as they are held: 8-bit sRGB RGBA, premultiplied,
  // 4 bytes a pixel, rows from the lowest up. Without an alpha channel
  // (surfaceHasAlpha false) alpha reads as 1 and writing it has no effect.
  virtual bool surfaceHasAlpha() = 0;
  // Reads rect, inside the drawable surface, into rgba.
  virtual void readSurface(const IntRect& rect, std::uint8_t* rgba) = 0;
  // Replaces rect's pixels, inside the drawable surface, with rgba: no
  // blending, limited to the scissor rectangles when scissor is true.
  virtual void writeSurface(const IntRect& rect, const std::uint8_t* rgba, bool scissor,
                            const std::vector<VGint>& scissorRects) = 0;
  // Gives back storage kept for draws of more than `bytes` coverage.
  virtual void trimScratch(size_t bytes) = 0;
  // Releases the graphics objects while their context is still current;
  // destroying the compositor afterwards frees only memory.
  virtual void releaseGl() = 0;
};

}  // namespace tq
