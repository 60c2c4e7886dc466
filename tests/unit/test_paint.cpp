#include <VG/openvg.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/objects.hpp"
#include "core/paint.hpp"
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
  const std::vector<float> tooMany(5 * (tq::kMaxColorRampStops + 1), 0.5f);
  vgSetParameterfv(p, VG_PAINT_COLOR_RAMP_STOPS, static_cast<VGint>(tooMany.size()),
                   tooMany.data());
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  EXPECT_EQ(vgGetParameterVectorSize(p, VG_PAINT_COLOR_RAMP_STOPS), 10);
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

}  // namespace
