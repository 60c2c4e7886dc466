// Whole-process CPU time per frame of a scene of N translucent apples, each in
// its own place, scale, rotation and colour paint, drawn by the library and by
// cairo into memory uploaded with glDrawPixels, in alternating rounds in the
// demo's kind of window. Both clear, draw, show the readout and swap.
// Prints, for each N, both costs, the cost a path and the ratio with its
// quartiles; then, against cairo again, the least any library that draws
// each path with OpenGL as it is asked for could spend: one draw a path of
// its bounding box in its colour, no coverage, no state kept or restored.
// Needs a display (DISPLAY).
// Arguments: rounds, then the values of N (default 1 10 100 1000 10000); or
// "ours" or "cairo", N and frames to run that loop alone (for a profiler).
#define GL_GLEXT_PROTOTYPES
#include <GL/freeglut.h>
#include <VG/openvg.h>
#include <cairo.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "bench_util.hpp"
#include "harness.h"
#include "morph.h"
#include "outlines.h"

namespace {

constexpr int kSize = 400;

struct Apple {
  float x, y, scale, degrees;
  float rgba[4];
  VGPaint paint;
};

std::vector<Apple> apples;
std::vector<std::array<float, 4>> boxes;  // each apple's bounding box in pixels
cairo_surface_t* surface = nullptr;

// The box of the apple's control points under its place, rotation and scale
// (y flipped, as the library holds the outline).
std::array<float, 4> boxOf(const Apple& a) {
  const float c = std::cos(a.degrees * 3.14159265f / 180.0f);
  const float s = std::sin(a.degrees * 3.14159265f / 180.0f);
  std::array<float, 4> box{1e9f, 1e9f, -1e9f, -1e9f};
  for (int k = 0; k + 1 < OUTLINE_COORD_COUNT; k += 2) {
    const float x = APPLE_COORDS[k] * a.scale, y = -APPLE_COORDS[k + 1] * a.scale;
    const float px = a.x + c * x - s * y, py = a.y + s * x + c * y;
    box = {std::min(box[0], px), std::min(box[1], py), std::max(box[2], px), std::max(box[3], py)};
  }
  return box;
}

GLuint quadProgram = 0;
GLint quadColor = -1, quadBox = -1;

void makeQuadProgram() {
  // The colour goes by the vertex stage: a fragment uniform changed every
  // draw makes the software renderer store its whole fragment state again.
  const char* vs =
      "#version 130\n"
      "uniform vec4 uBox;\n"
      "uniform vec4 uColor;\n"
      "flat out vec4 vColor;\n"
      "void main() {\n"
      "  vec2 corner = vec2(gl_VertexID & 1, gl_VertexID >> 1);\n"
      "  gl_Position = vec4(mix(uBox.xy, uBox.zw, corner) / 200.0 - 1.0, 0.0, 1.0);\n"
      "  vColor = uColor;\n"
      "}\n";
  const char* fs =
      "#version 130\n"
      "flat in vec4 vColor;\n"
      "void main() { gl_FragColor = vColor; }\n";
  quadProgram = glCreateProgram();
  for (auto [type, source] : {std::pair{GL_VERTEX_SHADER, vs}, std::pair{GL_FRAGMENT_SHADER, fs}}) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    glAttachShader(quadProgram, shader);
    glDeleteShader(shader);
  }
  glLinkProgram(quadProgram);
  quadColor = glGetUniformLocation(quadProgram, "uColor");
  quadBox = glGetUniformLocation(quadProgram, "uBox");
}

void quadFrame() {
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glUseProgram(quadProgram);
  for (size_t i = 0; i < apples.size(); ++i) {
    const float* c = apples[i].rgba;
    const float premultiplied[4] = {c[0] * c[3], c[1] * c[3], c[2] * c[3], c[3]};
    glUniform4fv(quadColor, 1, premultiplied);
    glUniform4fv(quadBox, 1, boxes[i].data());
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    // As the library does, so that the renderer's queued work stays small.
    if (i % 1024 == 1023) glFlush();
  }
  glUseProgram(0);
  glDisable(GL_BLEND);
}

void makeApples(int n) {
  for (const Apple& a : apples) vgDestroyPaint(a.paint);
  apples.clear();
  boxes.clear();
  std::mt19937 random(7);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int i = 0; i < n; ++i) {
    Apple a{};
    a.x = unit(random) * kSize;
    a.y = unit(random) * kSize;
    a.scale = 0.08f + 0.22f * unit(random);
    a.degrees = 360.0f * unit(random);
    for (int c = 0; c < 3; ++c) a.rgba[c] = 0.2f + 0.8f * unit(random);
    a.rgba[3] = 0.3f + 0.5f * unit(random);
    a.paint = vgCreatePaint();
    vgSetParameterfv(a.paint, VG_PAINT_COLOR, 4, a.rgba);
    apples.push_back(a);
    boxes.push_back(boxOf(a));
  }
}

void libraryFrame() {
  const VGfloat black[4] = {0, 0, 0, 1};
  vgSetfv(VG_CLEAR_COLOR, 4, black);
  vgClear(0, 0, kSize, kSize);
  for (const Apple& a : apples) {
    vgLoadIdentity();
    vgTranslate(a.x, a.y);
    vgRotate(a.degrees);
    vgScale(a.scale, a.scale);
    vgSetPaint(a.paint, VG_FILL_PATH);
    vgDrawPath(morphScene.startPath, VG_FILL_PATH);
  }
}

// The apple outline as the library holds it (y flipped), so that cairo's rows
// bottom up show the same picture.
void appleOutline(cairo_t* cr) {
  const VGfloat* c = APPLE_COORDS;
  int k = 0;
  for (int s = 0; s < OUTLINE_SEGMENT_COUNT; ++s) {
    switch (OUTLINE_SEGMENTS[s]) {
      case VG_MOVE_TO_ABS:
        cairo_move_to(cr, c[k], -c[k + 1]);
        k += 2;
        break;
      case VG_CUBIC_TO_ABS:
        cairo_curve_to(cr, c[k], -c[k + 1], c[k + 2], -c[k + 3], c[k + 4], -c[k + 5]);
        k += 6;
        break;
      default:
        cairo_close_path(cr);
    }
  }
}

void cairoFrame() {
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  for (const Apple& a : apples) {
    cairo_identity_matrix(cr);
    cairo_translate(cr, a.x, a.y);
    cairo_rotate(cr, a.degrees * 3.14159265358979 / 180.0);
    cairo_scale(cr, a.scale, a.scale);
    appleOutline(cr);
    cairo_set_source_rgba(cr, a.rgba[0], a.rgba[1], a.rgba[2], a.rgba[3]);
    cairo_fill(cr);
  }
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  bench::uploadRows(kSize, kSize, cairo_image_surface_get_data(surface));
}

}  // namespace

int main(int argc, char** argv) {
  harnessInit(argc, argv, kSize, kSize, "Tarquel: Path Interpolation Test");
  buildMorphScene();
  surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSize, kSize);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  for (int i = 0; i < 30; ++i) glutMainLoopEvent();  // map the window
  const bool alone =
      argc > 3 && (std::strcmp(argv[1], "ours") == 0 || std::strcmp(argv[1], "cairo") == 0);
  if (alone) {
    makeApples(std::max(1, std::atoi(argv[2])));
    const int frames = std::max(1, std::atoi(argv[3]));
    const double main0 = bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double t = std::strcmp(argv[1], "ours") == 0 ? bench::perFrame(libraryFrame, frames)
                                                       : bench::perFrame(cairoFrame, frames);
    const double mainThread = (bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - main0) / frames;
    std::printf("%s alone: %.1f us/frame, %.1f of them on the application's thread\n", argv[1],
                t * 1e6, mainThread * 1e6);
    return 0;
  }
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  std::vector<int> counts;
  for (int i = 2; i < argc; ++i) counts.push_back(std::max(1, std::atoi(argv[i])));
  if (counts.empty()) counts = {1, 10, 100, 1000, 10000};
  makeQuadProgram();
  std::printf(
      "paths  Tarquel us/frame  cairo us/frame  Tarquel us/path  cairo us/path  ratio "
      "(quartiles)  one draw a path us/frame  its ratio\n");
  for (int n : counts) {
    makeApples(n);
    // About 20,000 paths a run, at least 4 frames.
    const int frames = std::clamp(20000 / n, 4, 200);
    bench::Comparison c = bench::alternate(libraryFrame, cairoFrame, frames, rounds);
    bench::Comparison floor = bench::alternate(quadFrame, cairoFrame, frames, rounds);
    std::printf("%5d  %16.1f  %14.1f  %15.2f  %13.2f  %.3f (%.3f to %.3f)  %24.1f  %.3f\n", n,
                c.ourMedian() * 1e6, c.theirMedian() * 1e6, c.ourMedian() * 1e6 / n,
                c.theirMedian() * 1e6 / n, c.ratio(), c.ratioLow(), c.ratioHigh(),
                floor.ourMedian() * 1e6, floor.ratio());
    std::fflush(stdout);
  }
  return vgGetError() == VG_NO_ERROR ? 0 : 1;
}
