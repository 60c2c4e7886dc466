#include "draw/draw_paint.hpp"

#include <algorithm>
#include <cmath>

#include "core/objects.hpp"
#include "core/paint.hpp"

namespace tq {

namespace {

std::array<float, 4> clamped(const std::array<float, 4>& c) {
  std::array<float, 4> r;
  for (int i = 0; i < 4; ++i) r[size_t(i)] = std::clamp(c[size_t(i)], 0.0f, 1.0f);
  return r;
}

const Matrix& paintToUser(const Context& ctx, VGPaintMode mode) {
  const VGMatrixMode m =
      mode == VG_STROKE_PATH ? VG_MATRIX_STROKE_PAINT_TO_USER : VG_MATRIX_FILL_PAINT_TO_USER;
  return ctx.matrices[size_t(m - VG_MATRIX_PATH_USER_TO_SURFACE)];
}

DrawPaint solid(const std::array<float, 4>& color) {
  DrawPaint p;
  p.color = clamped(color);
  return p;
}

}  // namespace

Sampling samplingFor(VGImageQuality requested, VGbitfield allowed) {
  constexpr VGImageQuality kLevels[3] = {VG_IMAGE_QUALITY_NONANTIALIASED, VG_IMAGE_QUALITY_FASTER,
                                         VG_IMAGE_QUALITY_BETTER};
  int level = requested == VG_IMAGE_QUALITY_BETTER ? 2 : requested == VG_IMAGE_QUALITY_FASTER;
  while (level > 0 && !(allowed & kLevels[level])) --level;
  if (!(allowed & kLevels[level]))
    while (level < 2 && !(allowed & kLevels[level])) ++level;
  return Sampling(level);
}

bool DrawPaint::isOpaque() const {
  // Image pixels and the tile fill colour may be translucent: not worth a
  // look at every pixel.
  if (hasImage() || kind == PaintKind::kPattern) return false;
  if (kind == PaintKind::kColor) return color[3] >= 1.0f;
  for (int i = 0; i < stopCount; ++i)
    if (stopColors[size_t(i)][3] < 1.0f) return false;
  return true;
}

bool invertAffine(const Matrix& m, Matrix& inverse) {
  const double det = m.determinant2x2();
  if (det == 0.0 || !std::isfinite(det)) return false;
  // The linear part's inverse is (sy, -shx; -shy, sx) / det.
  const double sx = m.sy() / det, shx = -m.shx() / det, shy = -m.shy() / det, sy = m.sx() / det;
  const double v[9] = {
      sx, shy, 0, shx, sy, 0, -(sx * m.tx() + shx * m.ty()), -(shy * m.tx() + sy * m.ty()), 1};
  for (int i = 0; i < 9; ++i) {
    if (!std::isfinite(v[i])) return false;
    inverse.m[i] = float(v[i]);
  }
  return true;
}

bool invertProjective(const Matrix& m, Matrix& inverse) {
  // The adjugate over the determinant, column by column like Matrix.
  const double a = m.m[0], b = m.m[3], c = m.m[6];
  const double d = m.m[1], e = m.m[4], f = m.m[7];
  const double g = m.m[2], h = m.m[5], i = m.m[8];
  const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
  if (det == 0.0 || !std::isfinite(det)) return false;
  const double v[9] = {(e * i - f * h) / det,  -(d * i - f * g) / det, (d * h - e * g) / det,
                       -(b * i - c * h) / det, (a * i - c * g) / det,  -(a * h - b * g) / det,
                       (b * f - c * e) / det,  -(a * f - c * d) / det, (a * e - b * d) / det};
  for (int k = 0; k < 9; ++k) {
    if (!std::isfinite(v[k]) || std::abs(v[k]) > 3.0e38) return false;
    inverse.m[k] = float(v[k]);
  }
  return true;
}

DrawPaint drawPaintFor(const Context& ctx, VGPaintMode mode) {
  return drawPaintFor(ctx, mode, pathUserToSurface(ctx));
}

DrawPaint drawPaintFor(const Context& ctx, VGPaintMode mode, const Matrix& userToSurface) {
  const Paint* paint = boundPaint(ctx, mode);
  if (!paint) return solid({0, 0, 0, 1});
  if (paint->type == VG_PAINT_TYPE_PATTERN) {
    Matrix surfaceToPaint;
    if (!paint->pattern || !invertAffine(userToSurface * paintToUser(ctx, mode), surfaceToPaint))
      return solid(paint->color);
    DrawPaint p;
    p.kind = PaintKind::kPattern;
    p.surfaceToPaint = surfaceToPaint;
    p.pattern = {paint->pattern->store.get(), paint->pattern->rect,
                 samplingFor(ctx.imageQuality, paint->pattern->allowedQuality)};
    p.tiling = paint->tilingMode;
    p.tileFill = clamped(ctx.tileFillColor);
    return p;
  }
  const bool linear = paint->type == VG_PAINT_TYPE_LINEAR_GRADIENT;
  if (!linear && paint->type != VG_PAINT_TYPE_RADIAL_GRADIENT) return solid(paint->color);

  // effectiveRamp has validated, clamped and extended the stops already.
  const std::vector<RampStop>& ramp = paint->ramp;
  const DrawPaint lastStop = solid(ramp.back().color);
  Matrix surfaceToPaint;
  if (!invertAffine(userToSurface * paintToUser(ctx, mode), surfaceToPaint)) return lastStop;

  DrawPaint p;
  p.surfaceToPaint = surfaceToPaint;
  if (linear) {
    const auto& g = paint->linearGradient;
    p.kind = PaintKind::kLinearGradient;
    p.p0 = {g[0], g[1]};
    p.p1 = {g[2], g[3]};
    const double dx = double(g[2]) - g[0], dy = double(g[3]) - g[1];
    if (!(dx * dx + dy * dy > 0.0) || !std::isfinite(dx * dx + dy * dy)) return lastStop;
  } else {
    const auto& g = paint->radialGradient;
    p.kind = PaintKind::kRadialGradient;
    p.center = {g[0], g[1]};
    p.radius = g[4];
    if (!(g[4] > 0.0f) || !std::isfinite(g[4])) return lastStop;
    const double fx = double(g[2]) - g[0], fy = double(g[3]) - g[1];
    const double distance = std::sqrt(fx * fx + fy * fy);
    const double limit = double(kMaxFocalFraction) * g[4];
    if (!std::isfinite(distance)) return lastStop;
    const double scale = distance > limit ? limit / distance : 1.0;
    p.focus = {float(g[0] + fx * scale), float(g[1] + fy * scale)};
  }

  p.spread = paint->spreadMode;
  p.premultiplyAfter = !paint->rampPremultiplied;
  p.rampVersion = paint->rampVersion;
  p.stopCount = int(std::min(ramp.size(), size_t(DrawPaint::kMaxStops)));
  for (int i = 0; i < p.stopCount; ++i) {
    const RampStop& stop = ramp[size_t(i)];
    std::array<float, 4> c = stop.color;
    if (paint->rampPremultiplied)
      for (int k = 0; k < 3; ++k) c[size_t(k)] *= c[3];
    p.offsets[size_t(i)] = stop.offset;
    p.stopColors[size_t(i)] = c;
  }
  return p;
}

}  // namespace tq
