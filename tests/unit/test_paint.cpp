#include <VG/openvg.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/objects.hpp"
#include "core/paint.hpp"
#include "draw/draw_paint.hpp"
#include "test_context_fixture.hpp"

namespace {

using Paints = HeadlessContext;
using Colour = std::array<float, 4>;

TEST_F(Paints, TheDefaultPaintIsOpaqueBlack) {
  EXPECT_EQ(tq::fillColor(*ctx), (Colour{0, 0, 0, 1}));
  EXPECT_EQ(vgGetPaint(VG_FILL_PATH), VG_INVALID_HANDLE);
  EXPECT_EQ(vgGetPaint(VG_STROKE_PATH), VG_INVALID_HANDLE);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(Paints, SetPaintBindsPerModeAndInvalidHandleRestoresTheDefault) {
  const VGPaint red = vgCreatePaint();
  const VGPaint blue = vgCreatePaint();
  vgSetColor(red, 0xFF0000FF);
  vgSetColor(blue, 0x0000FF80);
  vgSetPaint(red, VG_FILL_PATH | VG_STROKE_PATH);
  vgSetPaint(blue, VG_STROKE_PATH);
  EXPECT_EQ(vgGetPaint(VG_FILL_PATH), red);
  EXPECT_EQ(vgGetPaint(VG_STROKE_PATH), blue);
  EXPECT_EQ(tq::fillColor(*ctx), (Colour{1, 0, 0, 1}));

  vgSetPaint(VG_INVALID_HANDLE, VG_FILL_PATH);
  EXPECT_EQ(vgGetPaint(VG_FILL_PATH), VG_INVALID_HANDLE);
  EXPECT_EQ(vgGetPaint(VG_STROKE_PATH), blue);
  EXPECT_EQ(tq::fillColor(*ctx), (Colour{0, 0, 0, 1}));
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(Paints, BadPaintModesAreIllegal) {
  const VGPaint p = vgCreatePaint();
  vgSetPaint(p, VG_FILL_PATH);
  for (VGbitfield modes : {0u, 4u, 7u, 0x80000002u}) {
    vgSetPaint(VG_INVALID_HANDLE, modes);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR) << modes;
  }
  EXPECT_EQ(vgGetPaint(VG_FILL_PATH), p);
  EXPECT_EQ(vgGetPaint(static_cast<VGPaintMode>(VG_FILL_PATH | VG_STROKE_PATH)), VG_INVALID_HANDLE);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
}

TEST_F(Paints, ADestroyedPaintStaysInUseUntilReplaced) {
  const VGPaint green = vgCreatePaint();
  vgSetColor(green, 0x00FF00FF);
  vgSetPaint(green, VG_FILL_PATH | VG_STROKE_PATH);
  vgDestroyPaint(green);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(tq::fillColor(*ctx), (Colour{0, 1, 0, 1}));
  // The handle itself is dead.
  vgSetColor(green, 0xFFFFFFFF);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
  vgSetPaint(green, VG_FILL_PATH);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
  vgDestroyPaint(green);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);

  vgSetPaint(VG_INVALID_HANDLE, VG_FILL_PATH);
  EXPECT_EQ(ctx->objects.count(green), 1u);  // the stroke still uses it
  EXPECT_NE(tq::boundPaint(*ctx, VG_STROKE_PATH), nullptr);
  vgSetPaint(VG_INVALID_HANDLE, VG_STROKE_PATH);
  EXPECT_EQ(ctx->objects.count(green), 0u);
  EXPECT_EQ(tq::boundPaint(*ctx, VG_STROKE_PATH), nullptr);
}

TEST_F(Paints, ColourPackingRoundsAndClamps) {
  const VGPaint p = vgCreatePaint();
  vgSetColor(p, 0x11223344);
  EXPECT_EQ(vgGetColor(p), 0x11223344u);
  float c[4];
  vgGetParameterfv(p, VG_PAINT_COLOR, 4, c);
  EXPECT_FLOAT_EQ(c[0], 0x11 / 255.0f);
  EXPECT_FLOAT_EQ(c[3], 0x44 / 255.0f);

  const float outOfRange[4] = {1.5f, -0.25f, 0.5f, 1.0f};
  vgSetParameterfv(p, VG_PAINT_COLOR, 4, outOfRange);
  EXPECT_EQ(vgGetColor(p), 0xFF0080FFu);  // 0.5 * 255 rounds up to 0x80
  vgGetParameterfv(p, VG_PAINT_COLOR, 4, c);
  EXPECT_EQ(c[0], 1.5f);  // stored as given, clamped when used
  EXPECT_EQ(c[1], -0.25f);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(tq::packColor({0.999f, 0.001f, 1.0f, 0.0f}), 0xFF00FF00u);
}

TEST_F(Paints, ScalarParametersValidate) {
  const VGPaint p = vgCreatePaint();
  EXPECT_EQ(vgGetParameteri(p, VG_PAINT_TYPE), VG_PAINT_TYPE_COLOR);
  EXPECT_EQ(vgGetParameteri(p, VG_PAINT_COLOR_RAMP_SPREAD_MODE), VG_COLOR_RAMP_SPREAD_PAD);
  EXPECT_EQ(vgGetParameteri(p, VG_PAINT_PATTERN_TILING_MODE), VG_TILE_FILL);
  EXPECT_EQ(vgGetParameteri(p, VG_PAINT_COLOR_RAMP_PREMULTIPLIED), VG_TRUE);

  struct Case {
    VGint type, valid, invalid;
  };
  const Case cases[] = {
      {VG_PAINT_TYPE, VG_PAINT_TYPE_RADIAL_GRADIENT, VG_PAINT_TYPE_PATTERN + 1},
      {VG_PAINT_COLOR_RAMP_SPREAD_MODE, VG_COLOR_RAMP_SPREAD_REFLECT, 0x1C03},
      {VG_PAINT_PATTERN_TILING_MODE, VG_TILE_REPEAT, VG_TILE_FILL - 1},
      {VG_PAINT_COLOR_RAMP_PREMULTIPLIED, VG_FALSE, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    vgSetParameteri(p, c.type, c.valid);
    EXPECT_EQ(vgGetError(), VG_NO_ERROR);
    vgSetParameteri(p, c.type, c.invalid);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
    EXPECT_EQ(vgGetParameteri(p, c.type), c.valid);
  }
  vgSetParameterf(p, VG_PAINT_TYPE, std::nanf(""));
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgSetParameteri(p, 0x1A08, 0);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
}

TEST_F(Paints, GradientVectorsHaveFixedSizes) {
  const VGPaint p = vgCreatePaint();
  EXPECT_EQ(vgGetParameterVectorSize(p, VG_PAINT_LINEAR_GRADIENT), 4);
  EXPECT_EQ(vgGetParameterVectorSize(p, VG_PAINT_RADIAL_GRADIENT), 5);
  EXPECT_EQ(vgGetParameterVectorSize(p, VG_PAINT_COLOR), 4);
  const float linear[4] = {1, 2, 3, 4};
  const float radial[5] = {5, 6, 7, 8, 9};
  vgSetParameterfv(p, VG_PAINT_LINEAR_GRADIENT, 4, linear);
  vgSetParameterfv(p, VG_PAINT_RADIAL_GRADIENT, 5, radial);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  vgSetParameterfv(p, VG_PAINT_LINEAR_GRADIENT, 5, radial);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgSetParameterfv(p, VG_PAINT_RADIAL_GRADIENT, 4, linear);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  VGint got[5];
  vgGetParameteriv(p, VG_PAINT_RADIAL_GRADIENT, 5, got);
  EXPECT_EQ(std::vector<VGint>(got, got + 5), (std::vector<VGint>{5, 6, 7, 8, 9}));
  vgGetParameteriv(p, VG_PAINT_LINEAR_GRADIENT, 4, got);
  EXPECT_EQ(std::vector<VGint>(got, got + 4), (std::vector<VGint>{1, 2, 3, 4}));

  vgSetParameterf(p, VG_PAINT_COLOR, 1.0f);  // a vector through the scalar call
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  EXPECT_EQ(vgGetParameterf(p, VG_PAINT_LINEAR_GRADIENT), 0.0f);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
}

TEST_F(Paints, RampStopsAreStoredAsGivenWithinLimits) {
  const VGPaint p = vgCreatePaint();
  EXPECT_EQ(vgGetParameterVectorSize(p, VG_PAINT_COLOR_RAMP_STOPS), 0);
  const std::vector<float> stops{0.0f, 1, 0, 0, 1, 2.0f, 0, 1, 0, 1};
  vgSetParameterfv(p, VG_PAINT_COLOR_RAMP_STOPS, 10, stops.data());
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  ASSERT_EQ(vgGetParameterVectorSize(p, VG_PAINT_COLOR_RAMP_STOPS), 10);
  std::vector<float> got(10);
  vgGetParameterfv(p, VG_PAINT_COLOR_RAMP_STOPS, 10, got.data());
  EXPECT_EQ(got, stops);

  vgSetParameterfv(p, VG_PAINT_COLOR_RAMP_STOPS, 7, stops.data());
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  // More stops than the limit: the first ones are kept, the rest never read.
  std::vector<float> tooMany(5 * (tq::kMaxColorRampStops + 40), 0.5f);
  tooMany[5 * tq::kMaxColorRampStops - 5] = 0.75f;
  tooMany.back() = std::nanf("");  // would be refused if it were read
  vgSetParameterfv(p, VG_PAINT_COLOR_RAMP_STOPS, static_cast<VGint>(tooMany.size()),
                   tooMany.data());
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  ASSERT_EQ(vgGetParameterVectorSize(p, VG_PAINT_COLOR_RAMP_STOPS), 5 * tq::kMaxColorRampStops);
  got.resize(5 * tq::kMaxColorRampStops);
  vgGetParameterfv(p, VG_PAINT_COLOR_RAMP_STOPS, static_cast<VGint>(got.size()), got.data());
  EXPECT_EQ(got[got.size() - 5], 0.75f);
  vgSetParameterfv(p, VG_PAINT_COLOR_RAMP_STOPS, 0, nullptr);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(vgGetParameterVectorSize(p, VG_PAINT_COLOR_RAMP_STOPS), 0);
}

TEST(EffectiveRamp, DropsBadStopsClampsAndExtendsTheEnds) {
  const std::vector<float> stops{
      -0.1f, 1, 1,  1,    1,  // offset below 0: dropped
      0.25f, 2, -1, 0.5f, 1,  // kept, colour clamped
      0.2f,  0, 0,  0,    0,  // decreasing: dropped
      0.75f, 0, 0,  1,    1,  // kept
      1.5f,  1, 0,  0,    1,  // above 1: dropped
  };
  const std::vector<tq::RampStop> ramp = tq::effectiveRamp(stops);
  ASSERT_EQ(ramp.size(), 4u);
  EXPECT_EQ(ramp[0].offset, 0.0f);
  EXPECT_EQ(ramp[0].color, (Colour{1, 0, 0.5f, 1}));
  EXPECT_EQ(ramp[1].offset, 0.25f);
  EXPECT_EQ(ramp[2].offset, 0.75f);
  EXPECT_EQ(ramp[3].offset, 1.0f);
  EXPECT_EQ(ramp[3].color, (Colour{0, 0, 1, 1}));

  const std::vector<tq::RampStop> fallback = tq::effectiveRamp(std::vector<float>{2, 0, 0, 0, 0});
  ASSERT_EQ(fallback.size(), 2u);
  EXPECT_EQ(fallback[0].color, (Colour{0, 0, 0, 1}));
  EXPECT_EQ(fallback[1].color, (Colour{1, 1, 1, 1}));
}

TEST_F(Paints, EveryCallRejectsBadHandles) {
  const VGHandle path = tq::addPath(*ctx, std::make_unique<tq::Path>());
  const VGPaint destroyed = vgCreatePaint();
  vgDestroyPaint(destroyed);
  const VGHandle live = vgCreatePaint();
  vgSetColor(live, 0x336699FF);
  vgSetParameteri(live, VG_PAINT_TYPE, VG_PAINT_TYPE_LINEAR_GRADIENT);

  // A path is the wrong kind for the paint calls; the rest name nothing at all.
  for (VGHandle bad : {path, destroyed, VGHandle(0xBADu), VG_INVALID_HANDLE}) {
    SCOPED_TRACE(bad);
    vgDestroyPaint(bad);
    EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
    vgSetColor(bad, 0);
    EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
    EXPECT_EQ(vgGetColor(bad), 0u);
    EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
    if (bad != VG_INVALID_HANDLE) {
      vgSetPaint(bad, VG_FILL_PATH);
      EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
    }
    if (bad == path) continue;  // paths answer the parameter calls
    vgSetParameteri(bad, VG_PAINT_TYPE, VG_PAINT_TYPE_COLOR);
    EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
    EXPECT_EQ(vgGetParameteri(bad, VG_PAINT_TYPE), 0);
    EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
    EXPECT_EQ(vgGetParameterf(bad, VG_PATH_SCALE), 0.0f);
    EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
    EXPECT_EQ(vgGetParameterVectorSize(bad, VG_PAINT_COLOR), 0);
    EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
    float out[4];
    vgGetParameterfv(bad, VG_PAINT_COLOR, 4, out);
    EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
    vgSetParameterfv(bad, VG_PAINT_COLOR, 4, out);
    EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
  }
  // Nothing reached the live paint or the binding.
  EXPECT_EQ(vgGetColor(live), 0x336699FFu);
  EXPECT_EQ(vgGetParameteri(live, VG_PAINT_TYPE), VG_PAINT_TYPE_LINEAR_GRADIENT);
  EXPECT_EQ(vgGetPaint(VG_FILL_PATH), VG_INVALID_HANDLE);
}

// The paint a draw uses, read from the bound paint and the matrices.
using tq::DrawPaint;
using tq::PaintKind;

void setStops(VGPaint p, const std::vector<float>& stops) {
  vgSetParameterfv(p, VG_PAINT_COLOR_RAMP_STOPS, VGint(stops.size()), stops.data());
}

TEST_F(Paints, GradientRampsArePremultipliedAsAskedAndVersioned) {
  const VGPaint p = vgCreatePaint();
  vgSetParameteri(p, VG_PAINT_TYPE, VG_PAINT_TYPE_LINEAR_GRADIENT);
  vgSetPaint(p, VG_FILL_PATH);
  DrawPaint d = tq::drawPaintFor(*ctx, VG_FILL_PATH);
  ASSERT_EQ(d.kind, PaintKind::kLinearGradient);
  ASSERT_EQ(d.stopCount, 2);  // no stops: opaque black to white
  EXPECT_EQ(d.stopColors[0], (Colour{0, 0, 0, 1}));
  EXPECT_EQ(d.stopColors[1], (Colour{1, 1, 1, 1}));
  const std::uint64_t first = d.rampVersion;

  setStops(p, {0.25f, 1, 0.5f, 0, 0.5f, 0.75f, 0, 1, 2, 1});
  d = tq::drawPaintFor(*ctx, VG_FILL_PATH);
  ASSERT_EQ(d.stopCount, 4);  // the ends extended
  EXPECT_EQ(d.offsets[0], 0.0f);
  EXPECT_EQ(d.offsets[1], 0.25f);
  EXPECT_EQ(d.offsets[3], 1.0f);
  EXPECT_EQ(d.stopColors[0], (Colour{0.5f, 0.25f, 0, 0.5f}));
  EXPECT_EQ(d.stopColors[3], (Colour{0, 1, 1, 1}));
  EXPECT_FALSE(d.premultiplyAfter);
  EXPECT_FALSE(d.isOpaque());
  const std::uint64_t second = d.rampVersion;
  EXPECT_NE(second, first);

  vgSetParameteri(p, VG_PAINT_COLOR_RAMP_PREMULTIPLIED, VG_FALSE);
  d = tq::drawPaintFor(*ctx, VG_FILL_PATH);
  EXPECT_EQ(d.stopColors[1], (Colour{1, 0.5f, 0, 0.5f}));
  EXPECT_TRUE(d.premultiplyAfter);
  EXPECT_NE(d.rampVersion, second);
  // Other parameters leave the ramp as it was; so does a second paint's.
  const std::uint64_t third = d.rampVersion;
  vgSetColor(p, 0x10203040);
  const float points[4] = {0, 0, 5, 5};
  vgSetParameterfv(p, VG_PAINT_LINEAR_GRADIENT, 4, points);
  setStops(vgCreatePaint(), {0, 1, 1, 1, 1});
  EXPECT_EQ(tq::drawPaintFor(*ctx, VG_FILL_PATH).rampVersion, third);
}

TEST_F(Paints, OpacityDecidesWhetherInteriorsMayBeDrawnUnblended) {
  struct Case {
    const char* what;
    VGPaintType type;
    std::array<float, 4> color;
    std::vector<float> stops;
    bool opaque;
  };
  const Case cases[] = {
      {"opaque colour", VG_PAINT_TYPE_COLOR, {1, 0, 0, 1}, {}, true},
      {"translucent colour", VG_PAINT_TYPE_COLOR, {1, 0, 0, 0.99f}, {}, false},
      {"alpha above 1 clamps", VG_PAINT_TYPE_COLOR, {1, 0, 0, 1.5f}, {}, true},
      {"opaque stops",
       VG_PAINT_TYPE_RADIAL_GRADIENT,
       {0, 0, 0, 0},
       {0, 1, 0, 0, 1, 1, 0, 0, 1, 1},
       true},
      {"one translucent stop",
       VG_PAINT_TYPE_LINEAR_GRADIENT,
       {0, 0, 0, 1},
       {0, 1, 0, 0, 1, 0.5f, 0, 0, 1, 0.9f, 1, 0, 0, 1, 1},
       false},
      {"a dropped translucent stop",
       VG_PAINT_TYPE_LINEAR_GRADIENT,
       {0, 0, 0, 1},
       {0.5f, 1, 0, 0, 1, 0.2f, 0, 0, 1, 0.5f},
       true},
  };
  const VGPaint p = vgCreatePaint();
  vgSetPaint(p, VG_STROKE_PATH);
  for (const Case& c : cases) {
    vgSetParameteri(p, VG_PAINT_TYPE, c.type);
    vgSetParameterfv(p, VG_PAINT_COLOR, 4, c.color.data());
    setStops(p, c.stops);
    EXPECT_EQ(tq::drawPaintFor(*ctx, VG_STROKE_PATH).isOpaque(), c.opaque) << c.what;
  }
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(Paints, SurfaceToPaintUndoesThePathAndTheModesPaintMatrix) {
  const VGPaint p = vgCreatePaint();
  vgSetParameteri(p, VG_PAINT_TYPE, VG_PAINT_TYPE_RADIAL_GRADIENT);
  vgSetPaint(p, VG_FILL_PATH | VG_STROKE_PATH);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  vgTranslate(30, 40);
  vgScale(2, -3);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_FILL_PAINT_TO_USER);
  vgRotate(30);
  vgTranslate(5, 0);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_STROKE_PAINT_TO_USER);
  vgShear(0.5f, 0);
  vgScale(4, 1);
  // A paint point mapped to the surface by hand, and back by the inverse.
  const double c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
  const double px = 1.5, py = -2;
  const double fillUser[2] = {c * (px + 5) - s * py, s * (px + 5) + c * py};
  const double strokeUser[2] = {4 * px + 0.5 * py, py};
  for (VGPaintMode mode : {VG_FILL_PATH, VG_STROKE_PATH}) {
    const double* user = mode == VG_FILL_PATH ? fillUser : strokeUser;
    const tq::Point surface{float(30 + 2 * user[0]), float(40 - 3 * user[1])};
    const tq::Point back = tq::drawPaintFor(*ctx, mode).surfaceToPaint.apply(surface);
    EXPECT_NEAR(back.x, px, 1e-4) << mode;
    EXPECT_NEAR(back.y, py, 1e-4) << mode;
  }
}

TEST_F(Paints, GradientsWithoutExtentPaintTheirLastStop) {
  const std::vector<float> stops{0, 1, 0, 0, 1, 0.6f, 0, 1, 0, 0.5f, 0.8f, 0, 0, 1, 1};
  struct Case {
    const char* what;
    VGPaintType type;
    std::vector<float> geometry;
    bool squashed;  // a paint matrix with no inverse
  };
  const Case cases[] = {
      {"linear, equal end points", VG_PAINT_TYPE_LINEAR_GRADIENT, {3, 4, 3, 4}, false},
      {"radial, radius 0", VG_PAINT_TYPE_RADIAL_GRADIENT, {0, 0, 0, 0, 0}, false},
      {"radial, negative radius", VG_PAINT_TYPE_RADIAL_GRADIENT, {0, 0, 0, 0, -2}, false},
      {"linear, squashed paint space", VG_PAINT_TYPE_LINEAR_GRADIENT, {0, 0, 1, 0}, true},
  };
  const VGPaint p = vgCreatePaint();
  vgSetPaint(p, VG_FILL_PATH);
  setStops(p, stops);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_FILL_PAINT_TO_USER);
  for (const Case& c : cases) {
    vgSetParameteri(p, VG_PAINT_TYPE, c.type);
    const VGint param = c.type == VG_PAINT_TYPE_LINEAR_GRADIENT ? VG_PAINT_LINEAR_GRADIENT
                                                                : VG_PAINT_RADIAL_GRADIENT;
    vgSetParameterfv(p, param, VGint(c.geometry.size()), c.geometry.data());
    vgLoadIdentity();
    if (c.squashed) vgScale(1, 0);
    const DrawPaint d = tq::drawPaintFor(*ctx, VG_FILL_PATH);
    EXPECT_EQ(d.kind, PaintKind::kColor) << c.what;
    EXPECT_EQ(d.color, (Colour{0, 0, 1, 1})) << c.what;
  }
  // A pattern, not drawn yet, paints the paint's colour.
  vgSetParameteri(p, VG_PAINT_TYPE, VG_PAINT_TYPE_PATTERN);
  vgSetColor(p, 0xFF000080);
  const DrawPaint pattern = tq::drawPaintFor(*ctx, VG_FILL_PATH);
  EXPECT_EQ(pattern.kind, PaintKind::kColor);
  EXPECT_EQ(pattern.color, (Colour{1, 0, 0, 128 / 255.0f}));
}

TEST_F(Paints, AFocalPointOutsideTheCircleIsMovedJustInsideIt) {
  const VGPaint p = vgCreatePaint();
  vgSetParameteri(p, VG_PAINT_TYPE, VG_PAINT_TYPE_RADIAL_GRADIENT);
  vgSetPaint(p, VG_FILL_PATH);
  struct Case {
    std::array<float, 5> radial;  // cx, cy, fx, fy, r
    tq::Point focus;
  };
  const float k = tq::kMaxFocalFraction;
  const Case cases[] = {
      {{10, 20, 13, 24, 10}, {13, 24}},                  // inside: kept
      {{10, 20, 40, 60, 10}, {10 + 6 * k, 20 + 8 * k}},  // outside: onto the line to it
      {{10, 20, 10, 30, 10}, {10, 20 + 10 * k}},         // on the circle: just inside
  };
  for (const Case& c : cases) {
    vgSetParameterfv(p, VG_PAINT_RADIAL_GRADIENT, 5, c.radial.data());
    const DrawPaint d = tq::drawPaintFor(*ctx, VG_FILL_PATH);
    ASSERT_EQ(d.kind, PaintKind::kRadialGradient);
    EXPECT_NEAR(d.focus.x, c.focus.x, 1e-4) << c.radial[2];
    EXPECT_NEAR(d.focus.y, c.focus.y, 1e-4) << c.radial[3];
  }
}

}  // namespace

namespace {

// Patterns: vgPaintPattern's errors, what a draw paints with, and which
// sampling each image quality gets.
TEST_F(Paints, APatternDrawsItsImageOrElseTheColour) {
  const VGPaint p = vgCreatePaint();
  const VGImage image = vgCreateImage(VG_sRGBA_8888, 5, 7, VG_IMAGE_QUALITY_FASTER);
  const VGPath path = vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0, 0);
  vgPaintPattern(p, path);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
  vgPaintPattern(image, image);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
  vgSetParameteri(p, VG_PAINT_TYPE, VG_PAINT_TYPE_PATTERN);
  const Colour red{1, 0, 0, 1};
  vgSetParameterfv(p, VG_PAINT_COLOR, 4, red.data());
  vgSetPaint(p, VG_FILL_PATH);
  EXPECT_EQ(tq::drawPaintFor(*ctx, VG_FILL_PATH).kind, tq::PaintKind::kColor);
  EXPECT_EQ(tq::drawPaintFor(*ctx, VG_FILL_PATH).color, red);

  vgPaintPattern(p, image);
  const VGfloat fill[4] = {0.5f, 2, -1, 0.25f};
  vgSetfv(VG_TILE_FILL_COLOR, 4, fill);
  vgSetParameteri(p, VG_PAINT_PATTERN_TILING_MODE, VG_TILE_REFLECT);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_FILL_PAINT_TO_USER);
  vgScale(2, 4);
  tq::DrawPaint d = tq::drawPaintFor(*ctx, VG_FILL_PATH);
  EXPECT_EQ(d.kind, tq::PaintKind::kPattern);
  EXPECT_EQ(d.tiling, VG_TILE_REFLECT);
  EXPECT_EQ(d.pattern.rect.width, 5);
  EXPECT_EQ(d.pattern.rect.height, 7);
  EXPECT_EQ(d.tileFill, (Colour{0.5f, 1, 0, 0.25f}));
  EXPECT_FALSE(d.isOpaque());
  EXPECT_FLOAT_EQ(d.surfaceToPaint.apply({8, 8}).y, 2);

  // The image's handle dies with it; the paint keeps its pixels.
  const size_t held = tq::pixelStoreBytesInUse();
  vgDestroyImage(image);
  EXPECT_EQ(tq::pixelStoreBytesInUse(), held);
  EXPECT_EQ(tq::drawPaintFor(*ctx, VG_FILL_PATH).kind, tq::PaintKind::kPattern);
  vgPaintPattern(p, image);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
  vgPaintPattern(p, VG_INVALID_HANDLE);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_LT(tq::pixelStoreBytesInUse(), held);
  EXPECT_EQ(tq::drawPaintFor(*ctx, VG_FILL_PATH).kind, tq::PaintKind::kColor);

  // A paint space squashed flat paints the colour too.
  const VGImage other = vgCreateImage(VG_sRGBA_8888, 2, 2, VG_IMAGE_QUALITY_FASTER);
  vgPaintPattern(p, other);
  vgScale(0, 1);
  EXPECT_EQ(tq::drawPaintFor(*ctx, VG_FILL_PATH).kind, tq::PaintKind::kColor);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST(ImageSampling, TheBestAllowedQualityNotAboveTheRequested) {
  using tq::Sampling;
  constexpr VGbitfield N = VG_IMAGE_QUALITY_NONANTIALIASED, F = VG_IMAGE_QUALITY_FASTER,
                       B = VG_IMAGE_QUALITY_BETTER;
  struct Case {
    VGImageQuality requested;
    VGbitfield allowed;
    Sampling sampling;
  } cases[] = {
      {VG_IMAGE_QUALITY_NONANTIALIASED, N | F | B, Sampling::kNearest},
      {VG_IMAGE_QUALITY_FASTER, N | F | B, Sampling::kBilinear},
      {VG_IMAGE_QUALITY_BETTER, N | F | B, Sampling::kMipmapped},
      {VG_IMAGE_QUALITY_BETTER, N | F, Sampling::kBilinear},
      {VG_IMAGE_QUALITY_BETTER, N, Sampling::kNearest},
      {VG_IMAGE_QUALITY_FASTER, N | B, Sampling::kNearest},
      {VG_IMAGE_QUALITY_NONANTIALIASED, F | B, Sampling::kBilinear},
      {VG_IMAGE_QUALITY_FASTER, B, Sampling::kMipmapped},
  };
  for (const Case& c : cases)
    EXPECT_EQ(tq::samplingFor(c.requested, c.allowed), c.sampling)
        << c.requested << " of " << c.allowed;
}

}  // namespace
