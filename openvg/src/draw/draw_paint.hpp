// What one fill or stroke paints with: the bound paint read together with the
// context's matrices, once a draw, in the form a compositor uses. No OpenGL.
#pragma once

#include <VG/openvg.h>

#include <array>
#include <cstdint>

#include "core/context.hpp"
#include "core/matrix.hpp"

namespace tq {

enum class PaintKind : std::uint8_t { kColor, kLinearGradient, kRadialGradient };
inline constexpr int kPaintKinds = 3;

// A focal point farther from the centre than this fraction of the radius is
// moved in to it: on the circle itself the gradient is infinite on the far
// side of the focal point.
inline constexpr float kMaxFocalFraction = 0.999f;

struct DrawPaint {
  // The application's stops and the two that extend the ends.
  static constexpr int kMaxStops = kMaxColorRampStops + 2;

  PaintKind kind = PaintKind::kColor;
  // kColor: clamped, not premultiplied.
  std::array<float, 4> color{0, 0, 0, 1};

  // Gradients. Stops rise from offset 0 to offset 1 (equal offsets make a
  // hard step); their colours are premultiplied when the ramp interpolates
  // premultiplied colours, and are premultiplied after interpolation when
  // not (premultiplyAfter).
  int stopCount = 0;
  std::array<float, kMaxStops> offsets{};
  std::array<std::array<float, 4>, kMaxStops> stopColors{};
  bool premultiplyAfter = false;
  // The paint's ramp version: equal versions mean equal stops.
  std::uint64_t rampVersion = 0;
  VGColorRampSpreadMode spread = VG_COLOR_RAMP_SPREAD_PAD;
  // Surface points to paint space: the inverse of path-user-to-surface times
  // the fill or stroke paint-to-user matrix.
  Matrix surfaceToPaint;
  // In paint space: the linear gradient's end points (t = 0 at p0, 1 at p1).
  Point p0{0, 0}, p1{1, 0};
  // The radial gradient's centre, focal point (already inside the circle)
  // and radius.
  Point center{0, 0}, focus{0, 0};
  float radius = 1;

  // Every pixel it paints is opaque, so fully covered pixels need no blending.
  bool isOpaque() const;
};

// The paint of mode (VG_FILL_PATH or VG_STROKE_PATH) as ctx draws it now.
// A gradient with no extent (equal end points, a radius of 0 or less, or a
// paint space squashed flat) paints the colour of its last stop; a pattern,
// which is not drawn yet, paints the paint's colour.
DrawPaint drawPaintFor(const Context& ctx, VGPaintMode mode);

// Sets inverse to the inverse of m's affine part; false when m is singular
// or the inverse is not finite.
bool invertAffine(const Matrix& m, Matrix& inverse);

}  // namespace tq
