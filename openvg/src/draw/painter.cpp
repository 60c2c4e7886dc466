#include "draw/painter.hpp"

#include <algorithm>

#include "geometry/flatten.hpp"
#include "geometry/stroke.hpp"

namespace tq {

namespace {

// Scratch below this is kept whatever recent draws needed.
constexpr size_t kKeptScratchBytes = size_t(1) << 20;
// A fill is rasterised and composited in bands of rows of at most this many
// pixels, so that a huge shape needs no more coverage storage, on either
// side, than a large one.
constexpr int64_t kMaxBandPixels = int64_t(1) << 22;

RasterOptions rasterOptions(const Context& ctx, VGFillRule rule, const IntRect& clip) {
  RasterOptions options;
  options.fillRule = rule;
  options.antialias = ctx.renderingQuality != VG_RENDERING_QUALITY_NONANTIALIASED;
  options.clip = clip;
  options.scissor = ctx.scissoring;
  options.scissorRects = &ctx.scissorRects;
  return options;
}

}  // namespace

float toleranceFor(VGRenderingQuality quality) {
  // At the default quality the chords stay within 1/50 pixel of the curve,
  // so that flattening adds well under a thousandth to the mean coverage
  // error.
  switch (quality) {
    case VG_RENDERING_QUALITY_NONANTIALIASED:
      return 0.25f;
    case VG_RENDERING_QUALITY_FASTER:
      return 0.1f;
    default:
      return 0.02f;
  }
}

bool rasterizeFill(const Context& ctx, const Path& path, const IntRect& limit, Polygon& polygon,
                   Rasterizer& rasterizer, CoverageMask& mask) {
  flattenPath(path, pathUserToSurface(ctx), toleranceFor(ctx.renderingQuality), polygon);
  return rasterizer.rasterize(polygon, rasterOptions(ctx, ctx.fillRule, limit), mask);
}

Painter::Painter(std::unique_ptr<Compositor> compositor) : compositor_(std::move(compositor)) {}

void Painter::setSurface(int width, int height) { compositor_->setSurface(width, height); }

IntRect Painter::drawable(const Context& ctx) const {
  return intersect(IntRect{0, 0, ctx.surfaceWidth, ctx.surfaceHeight},
                   compositor_->drawableLimit());
}

void Painter::clear(const Context& ctx, const IntRect& rect) {
  const IntRect r = intersect(rect, drawable(ctx));
  if (r.empty()) return;
  // The window is treated as a premultiplied surface; colours are clamped.
  std::array<float, 4> c = ctx.clearColor;
  for (float& v : c) v = std::clamp(v, 0.0f, 1.0f);
  const std::array<float, 4> premultiplied{c[0] * c[3], c[1] * c[3], c[2] * c[3], c[3]};
  compositor_->clear(r, premultiplied, ctx.scissoring, ctx.scissorRects);
}

void Painter::drawPath(const Context& ctx, const Path& path, VGbitfield paintModes) {
  const IntRect limit = drawable(ctx);
  if (limit.empty()) return;
  const Matrix& userToSurface = pathUserToSurface(ctx);
  const float tolerance = toleranceFor(ctx.renderingQuality);
  size_t coverageBytes = 0;
  // The fill first, then the stroke over it.
  if (paintModes & VG_FILL_PATH) {
    flattenPath(path, userToSurface, tolerance, polygon_);
    coverageBytes = composite(ctx, limit, ctx.fillRule, drawPaintFor(ctx, VG_FILL_PATH));
  }
  if (paintModes & VG_STROKE_PATH) {
    StrokeStyle style;
    style.width = ctx.strokeLineWidth;
    style.cap = ctx.strokeCapStyle;
    style.join = ctx.strokeJoinStyle;
    style.miterLimit = ctx.strokeMiterLimit;
    style.dashes = ctx.strokeDashPattern;
    style.dashPhase = ctx.strokeDashPhase;
    style.dashPhaseReset = ctx.strokeDashPhaseReset;
    strokePath(path, style, userToSurface, tolerance, stroke_, polygon_);
    // The stroke is the union of its pieces, each pixel painted once.
    coverageBytes = std::max(coverageBytes,
                             composite(ctx, limit, VG_NON_ZERO, drawPaintFor(ctx, VG_STROKE_PATH)));
  }
  trimAfter(coverageBytes);
}

size_t Painter::composite(const Context& ctx, const IntRect& limit, VGFillRule rule,
                          const DrawPaint& paint) {
  size_t coverageBytes = 0;
  const int bandRows = int(std::clamp<int64_t>(kMaxBandPixels / limit.width, 1, limit.height));
  for (int y = limit.y; y < limit.y + limit.height; y += bandRows) {
    const IntRect band{limit.x, y, limit.width, std::min(bandRows, limit.y + limit.height - y)};
    if (!rasterizer_.rasterize(polygon_, rasterOptions(ctx, rule, band), mask_)) continue;
    coverageBytes = std::max(coverageBytes, mask_.alpha.size());
    compositor_->fill(mask_, paint, ctx.blendMode);
  }
  return coverageBytes;
}

size_t Painter::heldScratchBytes() const {
  return mask_.alpha.capacity() + mask_.spans.capacity() * sizeof(CoverageMask::Span) +
         polygon_.points.capacity() * sizeof(Point);
}

void Painter::trimAfter(size_t coverageBytes) {
  recentPeak_ = std::max(recentPeak_, coverageBytes);
  if (++drawsInWindow_ < kTrimWindow) return;
  // Once a window, compare what is held with what the last two windows
  // needed: one huge draw does not pin its storage for good, and a size
  // that comes back every frame is never given up.
  const size_t needed = std::max({recentPeak_, previousPeak_, kKeptScratchBytes});
  if (heldScratchBytes() > 4 * needed) {
    polygon_ = Polygon{};
    stroke_ = StrokeScratch{};
    rasterizer_ = Rasterizer{};
    mask_ = CoverageMask{};
  }
  compositor_->trimScratch(4 * needed);
  previousPeak_ = recentPeak_;
  recentPeak_ = 0;
  drawsInWindow_ = 0;
}

}  // namespace tq
