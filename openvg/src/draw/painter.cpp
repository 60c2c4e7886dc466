#include "draw/painter.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/image.hpp"
#include "draw/surface_pixels.hpp"
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

bool mapImageRect(const Matrix& m, int width, int height, const IntRect& box, Polygon& polygon) {
  using H = std::array<double, 3>;  // a point before the divide: x, y, w
  auto map = [&](double x, double y) -> H {
    return {m.m[0] * x + m.m[3] * y + m.m[6], m.m[1] * x + m.m[4] * y + m.m[7],
            m.m[2] * x + m.m[5] * y + m.m[8]};
  };
  // At most one more corner a plane: no allocation.
  std::array<H, 12> poly{map(0, 0), map(width, 0), map(width, height), map(0, height)}, next{};
  size_t count = 4;
  double wMax = 0;
  for (size_t i = 0; i < count; ++i) wMax = std::max(wMax, std::abs(poly[i][2]));
  if (!(wMax > 0) || !std::isfinite(wMax)) return false;
  // Clipped in homogeneous coordinates, where the planes stay planes: the
  // part in front (w at least a billionth of the largest), then the box one
  // pixel wider all round, so that no point comes near the horizon's
  // infinities or beyond the float range.
  const double x0 = box.x - 1.0, y0 = box.y - 1.0;
  const double x1 = double(box.x) + box.width + 1.0, y1 = double(box.y) + box.height + 1.0;
  const std::array<std::array<double, 4>, 5> planes{{
      {0, 0, 1, -1e-9 * wMax},
      {1, 0, -x0, 0},
      {-1, 0, x1, 0},
      {0, 1, -y0, 0},
      {0, -1, y1, 0},
  }};
  for (const auto& q : planes) {
    auto side = [&](const H& p) { return q[0] * p[0] + q[1] * p[1] + q[2] * p[2] + q[3]; };
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
      const H& a = poly[i];
      const H& b = poly[(i + 1) % count];
      const double sa = side(a), sb = side(b);
      if (sa >= 0) next[kept++] = a;
      if ((sa >= 0) != (sb >= 0)) {
        // From the end nearer the plane, so that the point stays exact where
        // the other end lies very far off.
        const bool fromA = std::abs(sa) <= std::abs(sb);
        const H& p = fromA ? a : b;
        const H& o = fromA ? b : a;
        const double t = fromA ? sa / (sa - sb) : sb / (sb - sa);
        next[kept++] = {p[0] + t * (o[0] - p[0]), p[1] + t * (o[1] - p[1]),
                        p[2] + t * (o[2] - p[2])};
      }
    }
    poly = next;
    count = kept;
    if (count < 3) return false;
  }
  polygon.clear();
  for (size_t i = 0; i < count; ++i) {
    const H& p = poly[i];
    const Point s{float(p[0] / p[2]), float(p[1] / p[2])};
    if (!std::isfinite(s.x) || !std::isfinite(s.y)) return false;
    polygon.points.push_back(s);
  }
  polygon.contourEnds.push_back(uint32_t(polygon.points.size()));
  return true;
}

void Painter::drawImage(const Context& ctx, const Image& image) {
  const IntRect limit = drawable(ctx);
  if (limit.empty()) return;
  const Matrix& m = ctx.matrices[VG_MATRIX_IMAGE_USER_TO_SURFACE - VG_MATRIX_PATH_USER_TO_SURFACE];
  Matrix surfaceToImage;
  // Singular: the image is squashed onto a line or point, nothing to draw.
  if (!invertProjective(m, surfaceToImage)) return;
  if (!mapImageRect(m, image.width(), image.height(), limit, polygon_)) return;
  // Under a projective matrix the paint would need projecting too: the image
  // is drawn as in the normal mode then.
  const VGImageMode mode = m.isAffine() ? ctx.imageMode : VG_DRAW_IMAGE_NORMAL;
  DrawPaint paint;
  if (mode != VG_DRAW_IMAGE_NORMAL) paint = drawPaintFor(ctx, VG_FILL_PATH, m);
  paint.image = {image.store.get(), image.rect,
                 samplingFor(ctx.imageQuality, image.allowedQuality)};
  paint.imageMode = mode;
  paint.surfaceToImage = surfaceToImage;
  trimAfter(composite(ctx, limit, VG_NON_ZERO, paint));
}

void Painter::setPixels(const Context& ctx, VGint dx, VGint dy, const Image& src, VGint sx,
                        VGint sy, VGint width, VGint height) {
  SurfacePixels(*compositor_, ctx, drawable(ctx)).set(dx, dy, src, sx, sy, width, height);
}

void Painter::writePixels(const Context& ctx, const void* data, VGint stride,
                          const FormatInfo& format, VGint dx, VGint dy, VGint width, VGint height) {
  SurfacePixels(*compositor_, ctx, drawable(ctx))
      .write(data, stride, format, dx, dy, width, height);
}

void Painter::getPixels(const Context& ctx, Image& dst, VGint dx, VGint dy, VGint sx, VGint sy,
                        VGint width, VGint height) {
  SurfacePixels(*compositor_, ctx, drawable(ctx)).get(dst, dx, dy, sx, sy, width, height);
}

void Painter::readPixels(const Context& ctx, void* data, VGint stride, const FormatInfo& format,
                         VGint sx, VGint sy, VGint width, VGint height) {
  SurfacePixels(*compositor_, ctx, drawable(ctx)).read(data, stride, format, sx, sy, width, height);
}

void Painter::copyPixels(const Context& ctx, VGint dx, VGint dy, VGint sx, VGint sy, VGint width,
                         VGint height) {
  SurfacePixels(*compositor_, ctx, drawable(ctx)).copy(dx, dy, sx, sy, width, height);
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
