// The library's fills in a real window, held against exact coverage.
#include <VG/openvg.h>
#include <VG/vgext.h>
#include <epoxy/gl.h>
// freeglut after epoxy, which must come before any GL header.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "coverage_reference.hpp"
#include "gl_window.hpp"
#include "outlines.h"

using namespace tqtest;

namespace {

constexpr int W = 400;
constexpr int H = 400;
int window = 0;
VGPaint white = VG_INVALID_HANDLE;

void makeWhitePaint() {
  white = vgCreatePaint();
  const VGfloat color[4] = {1, 1, 1, 1};
  vgSetParameterfv(white, VG_PAINT_COLOR, 4, color);
  vgSetPaint(white, VG_FILL_PATH);
}

// Clears to opaque black, draws path with the current paints under matrix m,
// returns the red channel, then swaps.
std::vector<float> drawAndRead(VGPath path, const Affine& m, VGbitfield modes = VG_FILL_PATH) {
  const VGfloat black[4] = {0, 0, 0, 1};
  vgSetfv(VG_CLEAR_COLOR, 4, black);
  vgClear(0, 0, W, H);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  const VGfloat matrix[9] = {float(m.a), float(m.b), 0,          float(m.c), float(m.d),
                             0,          float(m.e), float(m.f), 1};
  vgLoadMatrix(matrix);
  vgDrawPath(path, modes);
  std::vector<float> pixels = readBackBuffer(W, H);
  glutSwapBuffers();
  return pixels;
}

// The library's quality goals: mask IoU 0.99, mean error 0.001, no pixel
// off by more than maxError, and antialiased edges.
void expectQuality(const Comparison& c, const char* what, double maxError, int minPartial) {
  std::printf("%-28s mean error %.5f  max %.3f  IoU %.4f  partial pixels %d\n", what, c.meanError,
              c.maxError, c.iou, c.partialPixels);
  EXPECT_GE(c.iou, 0.99) << what;
  EXPECT_LE(c.maxError, maxError) << what;
  EXPECT_LE(c.meanError, 0.001) << what;
  EXPECT_GT(c.partialPixels, minPartial) << what << ": edges are not antialiased";
}

// Draws shape and holds it against its exact coverage. Where edges cross
// inside one pixel (a self-intersection), coverage is exact
// only up to how the crossing edges share the pixel; maxError allows for that.
Comparison expectMatches(const Shape& shape, const Affine& m, VGFillRule rule, const char* what,
                         double maxError = 0.5) {
  vgSeti(VG_FILL_RULE, rule);
  VGPath path = shape.makePath();
  std::vector<float> pixels = drawAndRead(path, m);
  vgDestroyPath(path);
  std::vector<float> exact = exactCoverage(shape.contours, m, rule, W, H);
  Comparison c = compareCoverage(pixels, exact, W, H);
  expectQuality(c, what, maxError, 20);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
  vgSeti(VG_FILL_RULE, VG_EVEN_ODD);
  return c;
}

// The demo's outline at an amount, with y flipped, as the reference sees it.
Shape morphShape(float amount) {
  std::vector<VGfloat> coords(OUTLINE_COORD_COUNT);
  for (int i = 0; i < OUTLINE_COORD_COUNT; ++i) {
    float a = APPLE_COORDS[i], p = PEAR_COORDS[i];
    coords[size_t(i)] = (i % 2 ? -1.0f : 1.0f) * (a + (p - a) * amount);
  }
  return shapeFromCommands(OUTLINE_SEGMENTS, OUTLINE_SEGMENT_COUNT, coords.data());
}

// The demo's way: flipped copies of the tables, interpolated by the library.
VGPath morphPath(float amount) {
  auto flipped = [](const VGfloat* table) {
    VGPath temp = vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0,
                               VG_PATH_CAPABILITY_ALL);
    vgAppendPathData(temp, OUTLINE_SEGMENT_COUNT, OUTLINE_SEGMENTS, table);
    VGPath path = vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0,
                               VG_PATH_CAPABILITY_ALL);
    vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
    vgLoadIdentity();
    vgScale(1.0f, -1.0f);
    vgTransformPath(path, temp);
    vgDestroyPath(temp);
    return path;
  };
  VGPath apple = flipped(APPLE_COORDS), pear = flipped(PEAR_COORDS);
  VGPath morph =
      vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0, VG_PATH_CAPABILITY_ALL);
  EXPECT_EQ(vgInterpolatePath(morph, apple, pear, amount), VG_TRUE);
  vgDestroyPath(apple);
  vgDestroyPath(pear);
  return morph;
}

Comparison expectMorphMatches(float amount, const char* what) {
  VGPath path = morphPath(amount);
  Affine centre = Affine::translate(200, 200);
  std::vector<float> pixels = drawAndRead(path, centre);
  vgDestroyPath(path);
  Shape reference = morphShape(amount);
  Comparison c =
      compareCoverage(pixels, exactCoverage(reference.contours, centre, VG_EVEN_ODD, W, H), W, H);
  expectQuality(c, what, 0.05, 100);
  return c;
}

// A closed outline through the corners given.
Shape polygon(std::initializer_list<Vec2> corners) {
  Shape s;
  for (const Vec2& p : corners) {
    if (&p == corners.begin())
      s.moveTo(p.x, p.y);
    else
      s.lineTo(p.x, p.y);
  }
  s.close();
  return s;
}

Shape star() {
  Shape s;
  for (int i = 0; i < 5; ++i) {
    double a = M_PI / 2 + i * 4 * M_PI / 5;
    double x = 200 + 150 * std::cos(a), y = 200 + 150 * std::sin(a);
    if (i == 0)
      s.moveTo(x, y);
    else
      s.lineTo(x, y);
  }
  s.close();
  return s;
}

// Two concentric circles from arcs; the inner one runs the other way.
Shape ring() {
  Shape s;
  s.moveTo(320, 200);
  s.arcTo(VG_SCCWARC_TO_ABS, 120, 120, 80, 200);
  s.arcTo(VG_SCCWARC_TO_ABS, 120, 120, 320, 200);
  s.close();
  s.moveTo(260, 200);
  s.arcTo(VG_SCWARC_TO_ABS, 60, 60, 140, 200);
  s.arcTo(VG_SCWARC_TO_ABS, 60, 60, 260, 200);
  s.close();
  return s;
}

}  // namespace

TEST(Fill, MorphOutlinesMatchExactCoverage) {
  expectMorphMatches(0.0f, "apple");
  expectMorphMatches(0.5f, "mid-morph");
  expectMorphMatches(1.0f, "pear");
}

TEST(Fill, SelfIntersectingStarUnderBothRules) {
  Shape s = star();
  expectMatches(s, Affine{}, VG_EVEN_ODD, "star, even-odd", 0.05);
  expectMatches(s, Affine{}, VG_NON_ZERO, "star, non-zero", 0.05);
  // The centre is a hole only under even-odd.
  vgSeti(VG_FILL_RULE, VG_EVEN_ODD);
  VGPath path = s.makePath();
  EXPECT_LT(drawAndRead(path, Affine{})[200 * W + 200], 0.01f);
  vgSeti(VG_FILL_RULE, VG_NON_ZERO);
  EXPECT_GT(drawAndRead(path, Affine{})[200 * W + 200], 0.99f);
  vgSeti(VG_FILL_RULE, VG_EVEN_ODD);
  vgDestroyPath(path);
}

TEST(Fill, RingWithHole) {
  Shape s = ring();
  expectMatches(s, Affine{}, VG_NON_ZERO, "ring, non-zero");
  expectMatches(s, Affine{}, VG_EVEN_ODD, "ring, even-odd");
}

TEST(Fill, ArcsOfTheFourKinds) {
  const VGubyte kinds[4] = {VG_SCCWARC_TO_ABS, VG_SCWARC_TO_ABS, VG_LCCWARC_TO_ABS,
                            VG_LCWARC_TO_ABS};
  const char* names[4] = {"small ccw arc", "small cw arc", "large ccw arc", "large cw arc"};
  for (int k = 0; k < 4; ++k) {
    Shape s;
    s.moveTo(150, 180);
    s.arcTo(kinds[k], 70, 50, 250, 220);
    s.close();
    expectMatches(s, Affine{}, VG_NON_ZERO, names[k]);
  }
  // Radii too small to reach the end point are scaled up: a half ellipse.
  Shape s;
  s.moveTo(100, 200);
  s.arcTo(VG_SCCWARC_TO_ABS, 20, 30, 300, 200);
  s.close();
  expectMatches(s, Affine{}, VG_NON_ZERO, "arc, radii scaled up");
}

TEST(Fill, RotatedAndScaledMatrix) {
  Shape s = morphShape(0.3f);
  Affine m =
      Affine::scale(1.5, 0.8).then(Affine::rotateDegrees(30)).then(Affine::translate(210, 190));
  expectMatches(s, m, VG_EVEN_ODD, "outline, rotated and scaled");
}

TEST(Fill, ShapesCutByTheSurfaceSides) {
  // Rows whose outline leaves through the right side keep their coverage up
  // to the last column, as do those entering from the left.
  expectMatches(ring(), Affine::translate(150, -60), VG_NON_ZERO, "ring past right and bottom");
  expectMatches(ring(), Affine::translate(-150, 60), VG_EVEN_ODD, "ring past left and top");
  expectMatches(morphShape(0.5f), Affine::scale(3, 3).then(Affine::translate(380, 200)),
                VG_EVEN_ODD, "large outline past right");
  // A box starting on a multiple of 16 columns, through the right side.
  Shape band = polygon({{16, 100.5}, {480, 120.5}, {470, 300.5}, {30, 280.5}});
  expectMatches(band, Affine::translate(0, 0), VG_NON_ZERO, "quadrilateral past right");
}

TEST(Fill, SurfaceSidesOffTheBlockGrid) {
  // On a surface whose sides are not on the 4-pixel grid the last blocks of
  // pixels reach past them: those pixels must still be drawn.
  const int w = W - 3, h = H - 2;
  vgResizeSurfaceTQ(w, h);
  const VGfloat black[4] = {0, 0, 0, 1};
  vgSetfv(VG_CLEAR_COLOR, 4, black);
  vgClear(0, 0, w, h);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  vgLoadIdentity();
  vgTranslate(150.3f, 160.6f);
  // Past the surface the window keeps what it shows, though fills there
  // draw through a viewport of whole blocks.
  const std::vector<float> before = readBackBuffer(W, H);
  VGPath path = ring().makePath();
  vgDrawPath(path, VG_FILL_PATH);
  vgDestroyPath(path);
  std::vector<float> window = readBackBuffer(W, H), pixels(size_t(w) * size_t(h));
  for (int y = 0; y < H; ++y)
    for (int x = y < h ? w : 0; x < W; ++x)
      ASSERT_EQ(window[size_t(y) * W + size_t(x)], before[size_t(y) * W + size_t(x)])
          << "pixel (" << x << ", " << y << ") past the surface changed";
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      pixels[size_t(y) * size_t(w) + size_t(x)] = window[size_t(y) * W + size_t(x)];
  glutSwapBuffers();
  vgResizeSurfaceTQ(W, H);
  Comparison c = compareCoverage(
      pixels, exactCoverage(ring().contours, Affine::translate(150.3, 160.6), VG_EVEN_ODD, w, h), w,
      h);
  expectQuality(c, "ring past a surface off the grid", 0.5, 20);
}

TEST(Fill, SawtoothSidesInManyBands) {
  // Sides that swing 120 pixels every 8 rows: the fill is cut into bands of
  // 8 rows, more trapezoids than one draw call takes.
  Shape s;
  s.moveTo(140.5, 16.0);
  for (int k = 1; k <= 45; ++k) s.lineTo(k % 2 ? 20.5 : 140.5, 16.0 + 8.0 * k);
  for (int k = 45; k >= 0; --k) s.lineTo(k % 2 ? 379.5 : 259.5, 16.0 + 8.0 * k);
  s.close();
  expectMatches(s, Affine{}, VG_NON_ZERO, "sawtooth sides");
}

TEST(Fill, AntialiasedAfterMultisamplingWasSwitchedOff) {
  glEnable(GL_MULTISAMPLE);
  expectMorphMatches(0.0f, "apple, multisample on");
  glDisable(GL_MULTISAMPLE);  // as the text overlay does
  Comparison c = expectMorphMatches(0.0f, "apple, multisample off");
  EXPECT_GT(c.partialPixels, 100);
  glEnable(GL_MULTISAMPLE);
}

TEST(Fill, NonAntialiasedQualityDrawsHardEdges) {
  vgSeti(VG_RENDERING_QUALITY, VG_RENDERING_QUALITY_NONANTIALIASED);
  VGPath path = morphPath(0.0f);
  std::vector<float> pixels = drawAndRead(path, Affine::translate(200, 200));
  vgDestroyPath(path);
  vgSeti(VG_RENDERING_QUALITY, VG_RENDERING_QUALITY_BETTER);
  // The window's own multisampling must not soften edges either.
  Comparison c = compareCoverage(
      pixels, exactCoverage(morphShape(0).contours, Affine::translate(200, 200), VG_EVEN_ODD, W, H),
      W, H);
  EXPECT_EQ(c.partialPixels, 0);
  EXPECT_GE(c.iou, 0.98);
}

TEST(Fill, BlendModesMatchTheirEquations) {
  // Destination: opaque (0.2, 0.4, 0.6); source: (0.8, 0.5, 0.1) at alpha 0.5.
  const float d[3] = {0.2f, 0.4f, 0.6f}, s[3] = {0.8f, 0.5f, 0.1f}, as = 0.5f;
  struct Case {
    VGBlendMode mode;
    float (*f)(float s, float d, float as);  // premultiplied source colour s
  };
  const Case cases[] = {
      {VG_BLEND_SRC, [](float s, float, float) { return s; }},
      {VG_BLEND_SRC_OVER, [](float s, float d, float as) { return s + d * (1 - as); }},
      {VG_BLEND_DST_OVER, [](float, float d, float) { return d; }},
      {VG_BLEND_SRC_IN, [](float s, float, float) { return s; }},
      {VG_BLEND_DST_IN, [](float, float d, float as) { return d * as; }},
      {VG_BLEND_MULTIPLY, [](float s, float d, float as) { return s * d + d * (1 - as); }},
      {VG_BLEND_SCREEN, [](float s, float d, float) { return s + d - s * d; }},
      {VG_BLEND_DARKEN, [](float s, float d, float as) { return std::min(s + d * (1 - as), d); }},
      {VG_BLEND_LIGHTEN, [](float s, float d, float as) { return std::max(s + d * (1 - as), d); }},
      {VG_BLEND_ADDITIVE, [](float s, float d, float) { return std::min(1.0f, s + d); }},
  };
  VGPaint paint = vgCreatePaint();
  const VGfloat color[4] = {s[0], s[1], s[2], as};
  vgSetParameterfv(paint, VG_PAINT_COLOR, 4, color);
  vgSetPaint(paint, VG_FILL_PATH);
  Shape square = polygon({{100.5, 100}, {300.5, 100}, {300.5, 300}, {100.5, 300}});
  VGPath path = square.makePath();
  for (const Case& c : cases) {
    const VGfloat bg[4] = {d[0], d[1], d[2], 1};
    vgSetfv(VG_CLEAR_COLOR, 4, bg);
    vgClear(0, 0, W, H);
    vgLoadIdentity();
    vgSeti(VG_BLEND_MODE, c.mode);
    vgDrawPath(path, VG_FILL_PATH);
    for (int ch = 0; ch < 3; ++ch) {
      std::vector<float> px = readBackBuffer(W, H, ch);
      float inside = c.f(s[ch] * as, d[ch], as);
      // Half-covered pixels on the left edge: coverage mixes with the background.
      float edge = 0.5f * inside + 0.5f * d[ch];
      EXPECT_NEAR(px[200 * W + 200], inside, 2.5 / 255)
          << "mode " << std::hex << c.mode << " ch " << ch;
      EXPECT_NEAR(px[200 * W + 100], edge, 2.5 / 255)
          << "mode " << std::hex << c.mode << " edge ch " << ch;
      EXPECT_NEAR(px[50 * W + 50], d[ch], 1.5 / 255) << "mode " << std::hex << c.mode;
    }
    glutSwapBuffers();
  }
  vgSeti(VG_BLEND_MODE, VG_BLEND_SRC_OVER);
  vgDestroyPath(path);
  vgSetPaint(white, VG_FILL_PATH);
  vgDestroyPaint(paint);
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Strokes against the exact stroked shape, built in the test from the
// geometry: a mitred rectangle's stroke is the ring between two rectangles,
// and a round-capped line's is a capsule. Under a rotation with a
// non-uniform scale the pen is elliptical, which the mapped shape is too.
// A hundred fills in one frame, each a square ring whose coverage box grows
// from 3 to 391 pixels a side: together several MiB of coverage, more than
// the renderer's stores hold at once, so a fill that read another's coverage
// (or storage given back before it was drawn) shows in the picture.
TEST(Fill, ManyFillsInOneFrameEachKeepTheirCoverage) {
  const VGfloat black[4] = {0, 0, 0, 1};
  vgSetfv(VG_CLEAR_COLOR, 4, black);
  vgClear(0, 0, W, H);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  vgLoadIdentity();
  std::vector<Contour> all;
  for (int k = 0; k < 97; ++k) {
    // Sides half a pixel off the grid: every ring has partial pixels, and
    // neighbouring rings share none.
    Shape ring;
    for (double half : {2.0 * k + 1.5, 2.0 * k + 0.5}) {
      ring.moveTo(200 - half, 200 - half);
      ring.lineTo(200 + half, 200 - half);
      ring.lineTo(200 + half, 200 + half);
      ring.lineTo(200 - half, 200 + half);
      ring.close();
    }
    VGPath path = ring.makePath();
    vgDrawPath(path, VG_FILL_PATH);
    vgDestroyPath(path);
    all.insert(all.end(), ring.contours.begin(), ring.contours.end());
  }
  std::vector<float> pixels = readBackBuffer(W, H);
  glutSwapBuffers();
  Comparison c = compareCoverage(pixels, exactCoverage(all, Affine{}, VG_EVEN_ODD, W, H), W, H);
  // Every ring pixel is half covered, so only the error says anything here.
  std::printf("97 rings in one frame: max error %.4f, partial pixels %d\n", c.maxError,
              c.partialPixels);
  EXPECT_LE(c.maxError, 0.01);
  EXPECT_GT(c.partialPixels, 30000);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
}

TEST(Stroke, MatchesTheExactStrokedShape) {
  vgSetPaint(white, VG_STROKE_PATH);
  const double w = 12;
  Shape rect = polygon({{100.3, 120.7}, {300.6, 120.7}, {300.6, 260.2}, {100.3, 260.2}});
  Shape ring = polygon({{100.3 - w / 2, 120.7 - w / 2},
                        {300.6 + w / 2, 120.7 - w / 2},
                        {300.6 + w / 2, 260.2 + w / 2},
                        {100.3 - w / 2, 260.2 + w / 2}});
  const Shape inner = polygon({{100.3 + w / 2, 120.7 + w / 2},
                               {100.3 + w / 2, 260.2 - w / 2},
                               {300.6 - w / 2, 260.2 - w / 2},
                               {300.6 - w / 2, 120.7 + w / 2}});
  ring.contours.push_back(inner.contours[0]);

  Shape line;
  line.moveTo(150, 200);
  line.lineTo(250, 200);
  Shape capsule;
  capsule.moveTo(150, 185);
  capsule.lineTo(250, 185);
  capsule.arcTo(VG_SCCWARC_TO_ABS, 15, 15, 250, 215);
  capsule.lineTo(150, 215);
  capsule.arcTo(VG_SCCWARC_TO_ABS, 15, 15, 150, 185);
  capsule.close();

  const Affine skewed = Affine::translate(-200, -200)
                            .then(Affine::scale(1.3, 0.6))
                            .then(Affine::rotateDegrees(25))
                            .then(Affine::translate(203.4, 198.8));
  struct Case {
    const char* what;
    const Shape* path;
    const Shape* reference;
    float width;
    VGCapStyle cap;
    Affine m;
  } cases[] = {
      {"mitred rectangle", &rect, &ring, float(w), VG_CAP_BUTT, Affine{}},
      {"mitred rectangle, skewed", &rect, &ring, float(w), VG_CAP_BUTT, skewed},
      {"round-capped line", &line, &capsule, 30, VG_CAP_ROUND, Affine{}},
      {"round-capped line, skewed", &line, &capsule, 30, VG_CAP_ROUND, skewed},
  };
  vgSeti(VG_STROKE_JOIN_STYLE, VG_JOIN_MITER);
  for (const Case& c : cases) {
    vgSetf(VG_STROKE_LINE_WIDTH, c.width);
    vgSeti(VG_STROKE_CAP_STYLE, c.cap);
    VGPath path = c.path->makePath();
    std::vector<float> pixels = drawAndRead(path, c.m, VG_STROKE_PATH);
    vgDestroyPath(path);
    const std::vector<float> exact = exactCoverage(c.reference->contours, c.m, VG_NON_ZERO, W, H);
    expectQuality(compareCoverage(pixels, exact, W, H), c.what, 0.05, 20);
    EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  }
  vgSetf(VG_STROKE_LINE_WIDTH, 1);
  vgSeti(VG_STROKE_CAP_STYLE, VG_CAP_BUTT);
}

// A translucent stroke is the union of its pieces: where its joins, its
// crossings and its tight turns overlap, each pixel is painted once.
TEST(Stroke, TranslucentStrokeHasOneColourOverItsOverlaps) {
  VGPaint half = vgCreatePaint();
  const VGfloat color[4] = {1, 1, 1, 0.5f};
  vgSetParameterfv(half, VG_PAINT_COLOR, 4, color);
  vgSetPaint(half, VG_STROKE_PATH);
  vgSetf(VG_STROKE_LINE_WIDTH, 24);
  for (const VGJoinStyle join : {VG_JOIN_ROUND, VG_JOIN_MITER, VG_JOIN_BEVEL}) {
    vgSeti(VG_STROKE_JOIN_STYLE, join);
    // A bow tie crossing itself, and a zigzag of tight turns.
    Shape s = polygon({{80, 80}, {320, 320}, {320, 80}, {80, 320}});
    s.moveTo(60, 360);
    for (int i = 1; i <= 12; ++i) s.lineTo(60 + 25 * i, i % 2 ? 385 : 360);
    VGPath path = s.makePath();
    const std::vector<float> pixels = drawAndRead(path, Affine{}, VG_STROKE_PATH);
    vgDestroyPath(path);
    float brightest = 0;
    for (float v : pixels) brightest = std::max(brightest, v);
    EXPECT_NEAR(brightest, 0.5f, 1.5f / 255) << join;
    EXPECT_NEAR(pixels[200 * W + 200], 0.5f, 1.5f / 255) << join;  // the crossing
  }
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  vgSetPaint(white, VG_STROKE_PATH);
  vgSetf(VG_STROKE_LINE_WIDTH, 1);
  vgSeti(VG_STROKE_JOIN_STYLE, VG_JOIN_MITER);
  vgDestroyPaint(half);
}

TEST(Clear, ClipsToSurfaceAndScissorRectangles) {
  const VGfloat black[4] = {0, 0, 0, 1}, red[4] = {1, 0, 0, 1};
  vgSetfv(VG_CLEAR_COLOR, 4, black);
  vgClear(0, 0, W, H);
  const VGint rects[8] = {10, 10, 20, 20, 350, 350, 100, 100};
  vgSetiv(VG_SCISSOR_RECTS, 8, rects);
  vgSeti(VG_SCISSORING, VG_TRUE);
  vgSetfv(VG_CLEAR_COLOR, 4, red);
  vgClear(-50, -50, 1000, 1000);
  vgSeti(VG_SCISSORING, VG_FALSE);
  std::vector<float> px = readBackBuffer(W, H);
  EXPECT_EQ(px[15 * W + 15], 1.0f);
  EXPECT_EQ(px[399 * W + 399], 1.0f);
  EXPECT_EQ(px[35 * W + 35], 0.0f);
  EXPECT_EQ(px[200 * W + 200], 0.0f);
  // A fill is limited to the rectangles too.
  vgSetfv(VG_CLEAR_COLOR, 4, black);
  vgClear(0, 0, W, H);
  vgSeti(VG_SCISSORING, VG_TRUE);
  Shape s = star();
  VGPath path = s.makePath();
  vgLoadIdentity();
  const VGint middle[4] = {190, 190, 20, 20};
  vgSetiv(VG_SCISSOR_RECTS, 4, middle);
  vgSeti(VG_FILL_RULE, VG_NON_ZERO);
  vgDrawPath(path, VG_FILL_PATH);
  vgSeti(VG_FILL_RULE, VG_EVEN_ODD);
  vgSeti(VG_SCISSORING, VG_FALSE);
  px = readBackBuffer(W, H);
  EXPECT_EQ(px[200 * W + 200], 1.0f);
  EXPECT_EQ(px[250 * W + 200], 0.0f);
  vgDestroyPath(path);
  glutSwapBuffers();
  // An empty rectangle is an error and draws nothing.
  vgClear(0, 0, 0, 10);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
}

TEST(Surface, ResizeToZeroAndBack) {
  VGPath path = star().makePath();
  // Sizes the window cannot have, down to none: draws and clears still
  // raise no error, in either library.
  for (VGint side : {0, 2147483647}) {
    vgResizeSurfaceTQ(side, side);
    vgClear(0, 0, W, H);
    vgDrawPath(path, VG_FILL_PATH);
    EXPECT_EQ(vgGetError(), VG_NO_ERROR) << side;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << side;
  }
  vgResizeSurfaceTQ(W, H);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], W);
  EXPECT_EQ(viewport[3], H);
  vgDestroyPath(path);
  expectMatches(star(), Affine{}, VG_EVEN_ODD, "star after resize to 0", 0.6);
}

// The suite runs a second time with the driver made to report OpenGL 3.3,
// where coverage goes through textures instead of storage buffers; this
// checks that the driver did as asked.
TEST(Context, OpenGLVersionAsRequested) {
  const char* expected = std::getenv("TARQUEL_EXPECT_GL_VERSION");
  if (!expected) GTEST_SKIP() << "no OpenGL version requested";
  EXPECT_EQ(epoxy_gl_version(), std::atoi(expected));
}

TEST(Context, CreateTwiceAndBadSizesFail) {
  EXPECT_EQ(vgCreateContextTQ(W, H), VG_FALSE);  // one exists
}

// These replace the window, so they run after the others of this file; the
// tests that follow get a fresh multisampled window and context.
TEST(ZLast, WindowWithoutMultisampleBuffersIsAntialiased) {
  vgDestroyContextTQ();
  closeWindow(window);
  window = openWindow(W, H, false);
  GLint samples = -1;
  glGetIntegerv(GL_SAMPLES, &samples);
  EXPECT_EQ(samples, 0);
  ASSERT_EQ(vgCreateContextTQ(W, H), VG_TRUE);
  makeWhitePaint();
  expectMorphMatches(0.0f, "apple, no multisample window");
}

TEST(ZLast, DestroyAfterTheOpenGLContextIsGone) {
  closeWindow(window);
  window = 0;
  vgDestroyContextTQ();  // must make no OpenGL call
  EXPECT_EQ(vgGetError(), VG_NO_CONTEXT_ERROR);
  window = openWindow(W, H);
  EXPECT_EQ(vgCreateContextTQ(0, H), VG_FALSE);
  EXPECT_EQ(vgCreateContextTQ(W, -1), VG_FALSE);
  ASSERT_EQ(vgCreateContextTQ(W, H), VG_TRUE);
  makeWhitePaint();
  expectMorphMatches(1.0f, "pear, new context");
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (!initWindowSystem()) {
    std::fprintf(stderr, "could not start a private X server\n");
    return 1;
  }
  window = openWindow(W, H);
  if (vgCreateContextTQ(W, H) != VG_TRUE) {
    std::fprintf(stderr, "vgCreateContextTQ failed\n");
    return 1;
  }
  makeWhitePaint();
  int status = RUN_ALL_TESTS();
  vgDestroyContextTQ();
  return status;
}
