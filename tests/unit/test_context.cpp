#include <VG/openvg.h>
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "core/context.hpp"
#include "core/image.hpp"
#include "core/objects.hpp"
#include "test_context_fixture.hpp"

namespace {

TEST(NoContext, CallsAreHarmlessNoOps) {
  ASSERT_EQ(tq::currentContext(), nullptr);
  EXPECT_EQ(vgGetError(), VG_NO_CONTEXT_ERROR);
  vgSeti(VG_FILL_RULE, VG_NON_ZERO);
  EXPECT_EQ(vgGeti(VG_FILL_RULE), 0);
  EXPECT_EQ(vgGetf(VG_STROKE_LINE_WIDTH), 0.0f);
  EXPECT_EQ(vgGetVectorSize(VG_CLEAR_COLOR), 0);
  EXPECT_EQ(vgCreatePaint(), VG_INVALID_HANDLE);
  EXPECT_EQ(vgGetPaint(VG_FILL_PATH), VG_INVALID_HANDLE);
  EXPECT_EQ(vgGetColor(1), 0u);
  EXPECT_EQ(vgGetParameteri(1, VG_PAINT_TYPE), 0);
  EXPECT_EQ(vgGetString(VG_VENDOR), nullptr);
  float m[9] = {7, 7, 7, 7, 7, 7, 7, 7, 7};
  vgGetMatrix(m);
  vgRotate(45);
  EXPECT_EQ(m[0], 7.0f);  // untouched
  EXPECT_EQ(vgGetError(), VG_NO_CONTEXT_ERROR);
}

TEST(NoContext, CreateRejectsNegativeSizesAndASecondContext) {
  EXPECT_EQ(tq::createContext(-1, 10), nullptr);
  EXPECT_EQ(tq::createContext(10, -1), nullptr);
  tq::Context* first = tq::createContext(0, 0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(tq::currentContext(), first);
  EXPECT_EQ(tq::createContext(10, 10), nullptr);
  EXPECT_EQ(tq::currentContext(), first);
  tq::destroyContext();
  EXPECT_EQ(tq::currentContext(), nullptr);
}

using ContextState = HeadlessContext;

TEST_F(ContextState, ErrorsLatchTheOldestUntilRead) {
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  vgSeti(VG_FILL_RULE, 0);  // illegal argument
  vgDestroyPaint(12345);    // bad handle, not recorded over the first
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  vgDestroyPaint(12345);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
}

TEST_F(ContextState, Defaults) {
  EXPECT_EQ(vgGeti(VG_MATRIX_MODE), VG_MATRIX_PATH_USER_TO_SURFACE);
  EXPECT_EQ(vgGeti(VG_FILL_RULE), VG_EVEN_ODD);
  EXPECT_EQ(vgGeti(VG_BLEND_MODE), VG_BLEND_SRC_OVER);
  EXPECT_EQ(vgGeti(VG_RENDERING_QUALITY), VG_RENDERING_QUALITY_BETTER);
  EXPECT_EQ(vgGeti(VG_SCISSORING), VG_FALSE);
  float clear[4] = {9, 9, 9, 9};
  vgGetfv(VG_CLEAR_COLOR, 4, clear);
  EXPECT_EQ(std::vector<float>(clear, clear + 4), std::vector<float>(4, 0.0f));
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

struct ScalarCase {
  VGParamType type;
  VGint valid;
  VGint invalid;
};

TEST_F(ContextState, ScalarParametersValidateAndKeepTheOldValue) {
  const ScalarCase cases[] = {
      {VG_MATRIX_MODE, VG_MATRIX_FILL_PAINT_TO_USER, VG_MATRIX_PATH_USER_TO_SURFACE - 1},
      {VG_MATRIX_MODE, VG_MATRIX_GLYPH_USER_TO_SURFACE, VG_MATRIX_GLYPH_USER_TO_SURFACE + 1},
      {VG_FILL_RULE, VG_NON_ZERO, VG_NON_ZERO + 1},
      {VG_IMAGE_QUALITY, VG_IMAGE_QUALITY_BETTER, 3},
      {VG_RENDERING_QUALITY, VG_RENDERING_QUALITY_NONANTIALIASED, 0x1203},
      {VG_BLEND_MODE, VG_BLEND_ADDITIVE, 0x200A},
      {VG_BLEND_MODE, VG_BLEND_SRC, 0x1FFF},
      {VG_IMAGE_MODE, VG_DRAW_IMAGE_STENCIL, 0x1F03},
      {VG_STROKE_CAP_STYLE, VG_CAP_SQUARE, VG_JOIN_MITER},
      {VG_STROKE_JOIN_STYLE, VG_JOIN_BEVEL, VG_CAP_BUTT},
      {VG_PIXEL_LAYOUT, VG_PIXEL_LAYOUT_BGR_HORIZONTAL, 0x1305},
      {VG_SCISSORING, VG_TRUE, 2},
      {VG_MASKING, VG_TRUE, -1},
      {VG_STROKE_DASH_PHASE_RESET, VG_TRUE, 2},
      {VG_FILTER_FORMAT_LINEAR, VG_TRUE, 2},
      {VG_FILTER_FORMAT_PREMULTIPLIED, VG_TRUE, 2},
      {VG_COLOR_TRANSFORM, VG_TRUE, 2},
      {VG_FILTER_CHANNEL_MASK, VG_RED | VG_ALPHA, 16},
  };
  for (const ScalarCase& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << "param 0x" << c.type);
    vgSeti(c.type, c.valid);
    EXPECT_EQ(vgGetError(), VG_NO_ERROR);
    EXPECT_EQ(vgGeti(c.type), c.valid);
    vgSeti(c.type, c.invalid);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
    EXPECT_EQ(vgGeti(c.type), c.valid);
    const VGfloat asFloat = static_cast<VGfloat>(c.invalid);
    vgSetfv(c.type, 1, &asFloat);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
    EXPECT_EQ(vgGeti(c.type), c.valid);
  }
}

TEST_F(ContextState, FloatsConvertToIntegersTowardNegativeInfinity) {
  vgSetf(VG_FILL_RULE, float(VG_NON_ZERO) + 0.75f);
  EXPECT_EQ(vgGeti(VG_FILL_RULE), VG_NON_ZERO);
  vgSetf(VG_STROKE_LINE_WIDTH, 2.75f);
  EXPECT_EQ(vgGeti(VG_STROKE_LINE_WIDTH), 2);
  vgSetf(VG_STROKE_DASH_PHASE, -2.25f);
  EXPECT_EQ(vgGeti(VG_STROKE_DASH_PHASE), -3);
  vgSetf(VG_STROKE_DASH_PHASE, 1e20f);
  EXPECT_EQ(vgGeti(VG_STROKE_DASH_PHASE), INT_MAX);
  vgSeti(VG_STROKE_LINE_WIDTH, 5);
  EXPECT_EQ(vgGetf(VG_STROKE_LINE_WIDTH), 5.0f);
  const float rects[4] = {1.5f, -0.5f, 10.9f, 20.0f};
  vgSetfv(VG_SCISSOR_RECTS, 4, rects);
  VGint got[4];
  vgGetiv(VG_SCISSOR_RECTS, 4, got);
  EXPECT_EQ(std::vector<VGint>(got, got + 4), (std::vector<VGint>{1, -1, 10, 20}));
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(ContextState, FloatParametersRejectNaNAndSaturateInfinity) {
  vgSetf(VG_STROKE_LINE_WIDTH, 3.0f);
  vgSetf(VG_STROKE_LINE_WIDTH, std::nanf(""));
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  EXPECT_EQ(vgGetf(VG_STROKE_LINE_WIDTH), 3.0f);
  vgSetf(VG_STROKE_LINE_WIDTH, std::numeric_limits<float>::infinity());
  EXPECT_EQ(vgGetf(VG_STROKE_LINE_WIDTH), FLT_MAX);
  vgSetf(VG_STROKE_DASH_PHASE, -std::numeric_limits<float>::infinity());
  EXPECT_EQ(vgGetf(VG_STROKE_DASH_PHASE), -FLT_MAX);
  vgSetf(VG_FILL_RULE, std::nanf(""));
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  EXPECT_EQ(vgGeti(VG_FILL_RULE), VG_EVEN_ODD);
  // Miter limits below 1 mean 1.
  vgSetf(VG_STROKE_MITER_LIMIT, 0.25f);
  EXPECT_EQ(vgGetf(VG_STROKE_MITER_LIMIT), 1.0f);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(ContextState, ScalarAndVectorCallsMatchTheParameterShape) {
  vgSeti(VG_SCISSOR_RECTS, 1);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgSetf(VG_CLEAR_COLOR, 1.0f);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  EXPECT_EQ(vgGetf(VG_CLEAR_COLOR), 0.0f);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  EXPECT_EQ(vgGeti(VG_STROKE_DASH_PATTERN), 0);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);

  // A scalar through the vector calls: exactly one value.
  const VGint nonZero[2] = {VG_NON_ZERO, VG_NON_ZERO};
  vgSetiv(VG_FILL_RULE, 2, nonZero);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  EXPECT_EQ(vgGeti(VG_FILL_RULE), VG_EVEN_ODD);
  vgSetiv(VG_FILL_RULE, 1, nonZero);
  EXPECT_EQ(vgGeti(VG_FILL_RULE), VG_NON_ZERO);
  EXPECT_EQ(vgGetVectorSize(VG_FILL_RULE), 1);
  VGfloat width[2] = {0, 0};
  vgGetfv(VG_STROKE_LINE_WIDTH, 1, width);
  EXPECT_EQ(width[0], 1.0f);
  vgGetfv(VG_STROKE_LINE_WIDTH, 2, width);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
}

// C callers may pass any 32-bit value as an enumeration: each is rejected,
// never loaded as a value its type cannot hold.
TEST_F(ContextState, UnknownEnumerationsAreIllegal) {
  for (const VGint raw : {0x1199, -1, VGint(0x80000000u), 0x7FFFFFFF}) {
    SCOPED_TRACE(raw);
    const auto bogus = static_cast<VGParamType>(raw);
    VGint ints[4] = {};
    VGfloat floats[4] = {};
    vgSeti(bogus, 1);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
    vgSetf(bogus, 1.0f);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
    vgSetiv(bogus, 1, ints);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
    vgSetfv(bogus, 1, floats);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
    EXPECT_EQ(vgGeti(bogus), 0);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
    EXPECT_EQ(vgGetf(bogus), 0.0f);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
    vgGetiv(bogus, 1, ints);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
    vgGetfv(bogus, 1, floats);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
    EXPECT_EQ(vgGetVectorSize(bogus), 0);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
    EXPECT_EQ(vgGetString(static_cast<VGStringID>(raw)), nullptr);
    EXPECT_EQ(vgGetPaint(static_cast<VGPaintMode>(raw)), VG_INVALID_HANDLE);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
    EXPECT_EQ(vgCreatePath(VG_PATH_FORMAT_STANDARD, static_cast<VGPathDatatype>(raw), 1, 0, 0, 0,
                           VG_PATH_CAPABILITY_ALL),
              VG_INVALID_HANDLE);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
    vgSeti(VG_MATRIX_MODE, raw);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
    EXPECT_EQ(vgGeti(VG_MATRIX_MODE), VG_MATRIX_PATH_USER_TO_SURFACE);
  }
}

TEST_F(ContextState, ScissorRectsAreQuadruplesUpToTheLimit) {
  const std::vector<VGint> rects{0, 0, 10, 10, 5, 6, -7, 8};
  vgSetiv(VG_SCISSOR_RECTS, 8, rects.data());
  ASSERT_EQ(vgGetVectorSize(VG_SCISSOR_RECTS), 8);
  std::vector<VGint> got(8);
  vgGetiv(VG_SCISSOR_RECTS, 8, got.data());
  EXPECT_EQ(got, rects);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);

  vgSetiv(VG_SCISSOR_RECTS, 6, rects.data());  // not a multiple of 4
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  EXPECT_EQ(vgGetVectorSize(VG_SCISSOR_RECTS), 8);

  const std::vector<VGint> tooMany(4 * (tq::kMaxScissorRects + 1), 1);
  vgSetiv(VG_SCISSOR_RECTS, static_cast<VGint>(tooMany.size()), tooMany.data());
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  const std::vector<VGint> atLimit(4 * tq::kMaxScissorRects, 1);
  vgSetiv(VG_SCISSOR_RECTS, static_cast<VGint>(atLimit.size()), atLimit.data());
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(vgGetVectorSize(VG_SCISSOR_RECTS), 4 * vgGeti(VG_MAX_SCISSOR_RECTS));

  vgSetiv(VG_SCISSOR_RECTS, 0, nullptr);  // clears
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(vgGetVectorSize(VG_SCISSOR_RECTS), 0);
}

TEST_F(ContextState, VectorCallsRejectBadCountsAndPointers) {
  const VGint rect[4] = {1, 2, 3, 4};
  vgSetiv(VG_SCISSOR_RECTS, 4, rect);
  vgSetiv(VG_SCISSOR_RECTS, -4, rect);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgSetiv(VG_SCISSOR_RECTS, 4, nullptr);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  alignas(4) unsigned char buffer[4 * sizeof(VGint) + 1] = {};
  const VGint* misaligned = reinterpret_cast<const VGint*>(buffer + 1);
  vgSetiv(VG_SCISSOR_RECTS, 4, misaligned);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  ASSERT_EQ(vgGetVectorSize(VG_SCISSOR_RECTS), 4);
  EXPECT_EQ(tq::currentContext()->scissorRects, std::vector<VGint>(rect, rect + 4));

  VGint out[8] = {};
  vgGetiv(VG_SCISSOR_RECTS, 0, out);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgGetiv(VG_SCISSOR_RECTS, 5, out);  // more than stored
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgGetiv(VG_SCISSOR_RECTS, 4, nullptr);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgGetiv(VG_SCISSOR_RECTS, 4, reinterpret_cast<VGint*>(buffer + 1));
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgGetiv(VG_SCISSOR_RECTS, 2, out);  // a prefix is fine
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[1], 2);
  EXPECT_EQ(out[2], 0);
}

TEST_F(ContextState, DashPatternKeepsOddCountsAndItsLimit) {
  const float dashes[3] = {4.0f, -2.0f, 1.0f};
  vgSetfv(VG_STROKE_DASH_PATTERN, 3, dashes);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  ASSERT_EQ(vgGetVectorSize(VG_STROKE_DASH_PATTERN), 3);
  float got[3];
  vgGetfv(VG_STROKE_DASH_PATTERN, 3, got);
  EXPECT_EQ(std::vector<float>(got, got + 3), std::vector<float>(dashes, dashes + 3));

  const std::vector<float> tooMany(tq::kMaxDashCount + 1, 1.0f);
  vgSetfv(VG_STROKE_DASH_PATTERN, static_cast<VGint>(tooMany.size()), tooMany.data());
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  EXPECT_EQ(vgGetVectorSize(VG_STROKE_DASH_PATTERN), 3);
  const float withNaN[2] = {1.0f, std::nanf("")};
  vgSetfv(VG_STROKE_DASH_PATTERN, 2, withNaN);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  EXPECT_EQ(vgGetVectorSize(VG_STROKE_DASH_PATTERN), 3);
  EXPECT_EQ(vgGeti(VG_MAX_DASH_COUNT), tq::kMaxDashCount);
}

TEST_F(ContextState, ColoursTakeExactlyFourValuesAndAreStoredAsGiven) {
  const float colour[4] = {0.25f, 1.5f, -0.5f, 1.0f};
  vgSetfv(VG_CLEAR_COLOR, 4, colour);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(vgGetVectorSize(VG_CLEAR_COLOR), 4);
  float got[4];
  vgGetfv(VG_CLEAR_COLOR, 4, got);
  EXPECT_EQ(0, std::memcmp(got, colour, sizeof got));

  const float other[4] = {1, 1, 1, 1};
  vgSetfv(VG_CLEAR_COLOR, 3, other);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  const float withNaN[4] = {1, std::nanf(""), 1, 1};
  vgSetfv(VG_CLEAR_COLOR, 4, withNaN);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgGetfv(VG_CLEAR_COLOR, 4, got);
  EXPECT_EQ(0, std::memcmp(got, colour, sizeof got));

  vgSetfv(VG_TILE_FILL_COLOR, 4, other);
  EXPECT_EQ(ctx->tileFillColor, (std::array<float, 4>{1, 1, 1, 1}));
  const VGint ints[2] = {3, -4};
  vgSetiv(VG_GLYPH_ORIGIN, 2, ints);
  EXPECT_EQ(ctx->glyphOrigin, (std::array<float, 2>{3, -4}));
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST_F(ContextState, ColourTransformValuesAreClampedToTheirRanges) {
  const float values[8] = {200, -200, 2, 1, 3, -3, 0.5f, 0};
  vgSetfv(VG_COLOR_TRANSFORM_VALUES, 8, values);
  EXPECT_EQ(ctx->colorTransformValues, (std::array<float, 8>{127, -127, 2, 1, 1, -1, 0.5f, 0}));
  vgSetfv(VG_COLOR_TRANSFORM_VALUES, 4, values);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
}

TEST_F(ContextState, ReadOnlyParametersIgnoreSets) {
  vgSeti(VG_MAX_SCISSOR_RECTS, 2);
  vgSetf(VG_MAX_FLOAT, 1.0f);
  vgSeti(VG_SCREEN_LAYOUT, VG_PIXEL_LAYOUT_RGB_VERTICAL);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(vgGeti(VG_MAX_SCISSOR_RECTS), tq::kMaxScissorRects);
  EXPECT_EQ(vgGeti(VG_MAX_COLOR_RAMP_STOPS), tq::kMaxColorRampStops);
  EXPECT_EQ(vgGetf(VG_MAX_FLOAT), FLT_MAX);
  EXPECT_EQ(vgGeti(VG_MAX_FLOAT), INT_MAX);
  EXPECT_EQ(vgGeti(VG_SCREEN_LAYOUT), VG_PIXEL_LAYOUT_UNKNOWN);
  vgSeti(VG_MAX_IMAGE_WIDTH, 5);
  EXPECT_EQ(vgGeti(VG_MAX_IMAGE_WIDTH), tq::kMaxImageWidth);
  EXPECT_EQ(vgGeti(VG_MAX_KERNEL_SIZE), 0);
  // Still validated: a scalar takes one value.
  const VGint two[2] = {1, 2};
  vgSetiv(VG_MAX_DASH_COUNT, 2, two);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
}

TEST_F(ContextState, Strings) {
  auto str = [](VGStringID id) { return reinterpret_cast<const char*>(vgGetString(id)); };
  EXPECT_STREQ(str(VG_VENDOR), "Tarquel");
  EXPECT_STREQ(str(VG_RENDERER), "Tarquel OpenVG on OpenGL");
  EXPECT_STREQ(str(VG_VERSION), "1.1");
  EXPECT_STREQ(str(VG_EXTENSIONS), "");
  EXPECT_EQ(str(static_cast<VGStringID>(0x2304)), nullptr);
}

using Registry = HeadlessContext;

TEST_F(Registry, HandlesAreNeverReused) {
  const VGPaint a = vgCreatePaint();
  vgDestroyPaint(a);
  const VGPaint b = vgCreatePaint();
  EXPECT_NE(a, b);
  EXPECT_NE(b, VG_INVALID_HANDLE);
  vgSetColor(a, 0xFFFFFFFF);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
}

TEST(RegistryAcrossContexts, AHandleFromADestroyedContextNamesNothing) {
  ASSERT_NE(tq::createContext(4, 4), nullptr);
  const VGPath a = vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0, 0);
  tq::destroyContext();
  ASSERT_NE(tq::createContext(4, 4), nullptr);
  const VGPath b = vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0, 0);
  EXPECT_NE(a, b);
  vgDestroyPath(a);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
  EXPECT_EQ(vgGetParameteri(b, VG_PATH_DATATYPE), VG_PATH_DATATYPE_F);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  tq::destroyContext();
}

TEST_F(Registry, HandleSpaceExhaustionFailsCleanly) {
  const VGHandle saved = ctx->nextHandle;
  ctx->nextHandle = 0xFFFFFFFFu;
  const VGPaint last = vgCreatePaint();
  EXPECT_EQ(last, 0xFFFFFFFFu);
  EXPECT_EQ(vgCreatePaint(), VG_INVALID_HANDLE);
  EXPECT_EQ(vgGetError(), VG_OUT_OF_MEMORY_ERROR);
  EXPECT_NE(tq::lookupPaint(*ctx, last), nullptr);
  ctx->nextHandle = saved;  // later contexts in this process still make objects
}

TEST_F(Registry, PathParametersAreReadOnly) {
  auto owned = std::make_unique<tq::Path>();
  owned->datatype = VG_PATH_DATATYPE_S_16;
  owned->scale = 0.5f;
  owned->bias = -2.0f;
  owned->commands = {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_CLOSE_PATH};
  owned->data.resize(4 * 2);
  const VGHandle path = tq::addPath(*ctx, std::move(owned));

  EXPECT_EQ(vgGetParameteri(path, VG_PATH_FORMAT), VG_PATH_FORMAT_STANDARD);
  EXPECT_EQ(vgGetParameteri(path, VG_PATH_DATATYPE), VG_PATH_DATATYPE_S_16);
  EXPECT_EQ(vgGetParameterf(path, VG_PATH_SCALE), 0.5f);
  EXPECT_EQ(vgGetParameterf(path, VG_PATH_BIAS), -2.0f);
  EXPECT_EQ(vgGetParameteri(path, VG_PATH_NUM_SEGMENTS), 3);
  EXPECT_EQ(vgGetParameteri(path, VG_PATH_NUM_COORDS), 4);
  EXPECT_EQ(vgGetParameterVectorSize(path, VG_PATH_SCALE), 1);
  VGint coords = 0;
  vgGetParameteriv(path, VG_PATH_NUM_COORDS, 1, &coords);
  EXPECT_EQ(coords, 4);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);

  vgSetParameterf(path, VG_PATH_SCALE, 2.0f);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  EXPECT_EQ(vgGetParameterf(path, VG_PATH_SCALE), 0.5f);
  vgGetParameteri(path, VG_PAINT_TYPE);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
}

}  // namespace
