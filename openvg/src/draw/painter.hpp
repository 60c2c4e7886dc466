// The drawing pipeline of a context: a path's geometry, its coverage and the
// compositing, in that order, with the scratch each stage reuses from draw
// to draw. The entry points hand it whole draws; nothing else wires stages.
#pragma once

#include <memory>

#include "core/context.hpp"
#include "core/path.hpp"
#include "draw/compositor.hpp"
#include "draw/draw_paint.hpp"
#include "geometry/polygon.hpp"
#include "geometry/stroke.hpp"
#include "raster/coverage.hpp"

namespace tq {

// Flattening tolerance in surface pixels for a rendering quality.
float toleranceFor(VGRenderingQuality quality);

// Flattens path under the context's matrix and quality and computes its
// coverage under the fill rule, within limit and the scissor rectangles.
// Returns false when nothing is covered. Throws std::bad_alloc.
bool rasterizeFill(const Context& ctx, const Path& path, const IntRect& limit, Polygon& polygon,
                   Rasterizer& rasterizer, CoverageMask& mask);

// The image rectangle [0, width] x [0, height] mapped to the surface by the
// projective m, clipped to the part in front (third coordinate above 0) and
// to box, as one contour in polygon. Returns false when nothing is left.
bool mapImageRect(const Matrix& m, int width, int height, const IntRect& box, Polygon& polygon);

class Painter final : public Renderer {
 public:
  explicit Painter(std::unique_ptr<Compositor> compositor);

  void setSurface(int width, int height) override;
  void clear(const Context& ctx, const IntRect& rect) override;
  void drawPath(const Context& ctx, const Path& path, VGbitfield paintModes) override;
  void drawImage(const Context& ctx, const Image& image) override;
  void setPixels(const Context& ctx, VGint dx, VGint dy, const Image& src, VGint sx, VGint sy,
                 VGint width, VGint height) override;
  void writePixels(const Context& ctx, const void* data, VGint stride, const FormatInfo& format,
                   VGint dx, VGint dy, VGint width, VGint height) override;
  void getPixels(const Context& ctx, Image& dst, VGint dx, VGint dy, VGint sx, VGint sy,
                 VGint width, VGint height) override;
  void readPixels(const Context& ctx, void* data, VGint stride, const FormatInfo& format, VGint sx,
                  VGint sy, VGint width, VGint height) override;
  void copyPixels(const Context& ctx, VGint dx, VGint dy, VGint sx, VGint sy, VGint width,
                  VGint height) override;
  void releaseGl() override { compositor_->releaseGl(); }

  // Bytes of scratch held between draws (the largest parts of it).
  size_t heldScratchBytes() const;

 private:
  // The surface, cut to what the compositor can draw into.
  IntRect drawable(const Context& ctx) const;
  // Rasterises polygon_ under rule in bands of limit and composites each in
  // paint; returns the most coverage a band held.
  size_t composite(const Context& ctx, const IntRect& limit, VGFillRule rule,
                   const DrawPaint& paint);
  // Gives scratch back once it is far larger than recent draws needed.
  void trimAfter(size_t coverageBytes);

  std::unique_ptr<Compositor> compositor_;
  Polygon polygon_;
  StrokeScratch stroke_;
  Rasterizer rasterizer_;
  CoverageMask mask_;
  // The most coverage a draw needed in the current and the previous run of
  // kTrimWindow draws.
  static constexpr int kTrimWindow = 64;
  size_t recentPeak_ = 0, previousPeak_ = 0;
  int drawsInWindow_ = 0;
};

}  // namespace tq
