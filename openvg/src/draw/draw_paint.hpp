// What one fill or stroke paints with: the bound paint read together with the
// context's matrices, once a draw, in the form a compositor uses. No OpenGL.
#pragma once

#include <VG/openvg.h>

#include <array>
#include <cstdint>

#include "core/context.hpp"
#include "core/matrix.hpp"
#include "core/rect.hpp"

namespace tq {

struct PixelStore;  // core/image.hpp

enum class PaintKind : std::uint8_t { kColor, kLinearGradient, kRadialGradient, kPattern };
inline constexpr int kPaintKinds = 4;

// How an image is sampled: the nearest pixel, bilinear between pixel
// centres, or bilinear with filtering of minified images (mipmaps).
enum class Sampling : std::uint8_t { kNearest, kBilinear, kMipmapped };

// The sampling for the context's image quality among those the image allows:
// the best allowed one not above what the context asks, else the lowest
// allowed one.
Sampling samplingFor(VGImageQuality requested, VGbitfield allowed);

// Pixels of an image store drawn as a pattern or by vgDrawImage.
struct ImageSource {
  const PixelStore* store = nullptr;  // null: none
  IntRect rect;                       // the image's pixels in the store
  Sampling sampling = Sampling::kBilinear;
};

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

  // kPattern: the image, tiled in paint space (pixel (i, j) covers [i, i + 1]
  // x [j, j + 1]), and, for VG_TILE_FILL, the colour outside it (clamped, not
  // premultiplied).
  ImageSource pattern;
  VGTilingMode tiling = VG_TILE_FILL;
  std::array<float, 4> tileFill{0, 0, 0, 0};

  // vgDrawImage: the image drawn, and how it meets the paint (normal ignores
  // the paint; multiply and stencil take it). surfaceToImage maps surface
  // points to image points (projective: divide by the third coordinate).
  ImageSource image;
  VGImageMode imageMode = VG_DRAW_IMAGE_NORMAL;
  Matrix surfaceToImage;

  bool hasImage() const { return image.store != nullptr; }
  // The image's channels weigh each colour channel separately: blending
  // needs the second source colour to carry three alphas.
  bool perChannelAlpha() const { return hasImage() && imageMode == VG_DRAW_IMAGE_STENCIL; }

  // Every pixel it paints is opaque, so fully covered pixels need no blending.
  bool isOpaque() const;
};

// The paint of mode (VG_FILL_PATH or VG_STROKE_PATH) as ctx draws it now,
// through userToSurface (the path's matrix, or the image's for vgDrawImage).
// A gradient with no extent (equal end points, a radius of 0 or less, or a
// paint space squashed flat) paints the colour of its last stop; a pattern
// without an image, or whose paint space is squashed flat, paints the
// paint's colour.
DrawPaint drawPaintFor(const Context& ctx, VGPaintMode mode, const Matrix& userToSurface);
DrawPaint drawPaintFor(const Context& ctx, VGPaintMode mode);

// Sets inverse to the inverse of m's affine part; false when m is singular
// or the inverse is not finite.
bool invertAffine(const Matrix& m, Matrix& inverse);
// The same for the whole 3 x 3 matrix (projective), scaled to no purpose:
// points it maps come out divided by their third coordinate.
bool invertProjective(const Matrix& m, Matrix& inverse);

}  // namespace tq
