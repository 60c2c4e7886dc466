// Whole-process CPU time per frame of stroking the morph outline with the
// library against cairo stroking the same outline into memory and uploading
// it with glDrawPixels, in alternating runs in the demo's kind of window.
// Both loops clear, stroke, draw the readout and swap. Prints each and their
// ratio for a plain stroke (width 3, round joins) and a dashed one. Needs a
// display (DISPLAY). Arguments: frames a run, rounds.
#include <GL/freeglut.h>
#include <VG/openvg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_util.hpp"
#include "cairo_outline.hpp"
#include "harness.h"
#include "morph.h"

namespace {

constexpr int kSize = 400;
constexpr float kWidth = 3.0f;
constexpr double kDashes[2] = {12.0, 6.0};

bool dashed = false;
float amount = 0.0f;
cairo_surface_t* surface = nullptr;

// The next frame's amount: the whole cycle in 120 frames.
void advance() {
  static int frame = 0;
  amount = 0.5f - 0.5f * float(std::cos(2 * 3.14159265358979 * (frame++ % 120) / 120.0));
}

void libraryFrame() {
  advance();
  vgClearPath(morphScene.morphPath, VG_PATH_CAPABILITY_ALL);
  vgInterpolatePath(morphScene.morphPath, morphScene.startPath, morphScene.endPath, amount);
  const VGfloat black[4] = {0, 0, 0, 1};
  vgSetfv(VG_CLEAR_COLOR, 4, black);
  vgClear(0, 0, kSize, kSize);
  vgLoadIdentity();
  vgTranslate(kSize / 2, kSize / 2);
  vgDrawPath(morphScene.morphPath, VG_STROKE_PATH);
  bench::readoutAndSwap();
}

void cairoFrame() {
  advance();
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_paint(cr);
  bench::cairoMorphOutline(cr, amount, kSize / 2);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_set_line_width(cr, kWidth);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_dash(cr, kDashes, dashed ? 2 : 0, 0);
  cairo_stroke(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  bench::uploadRows(kSize, kSize, cairo_image_surface_get_data(surface));
  bench::readoutAndSwap();
}

double run(void (*frame)(), int frames) {
  glFinish();
  const double start = bench::processSeconds();
  for (int i = 0; i < frames; ++i) frame();
  glFinish();
  return (bench::processSeconds() - start) / frames;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 150;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  harnessInit(argc, argv, kSize, kSize, "Tarquel: Path Interpolation Test");
  buildMorphScene();
  surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSize, kSize);
  const VGfloat white[4] = {1, 1, 1, 1};
  VGPaint stroke = vgCreatePaint();
  vgSetParameterfv(stroke, VG_PAINT_COLOR, 4, white);
  vgSetPaint(stroke, VG_STROKE_PATH);
  vgSetf(VG_STROKE_LINE_WIDTH, kWidth);
  vgSeti(VG_STROKE_JOIN_STYLE, VG_JOIN_ROUND);
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  for (int i = 0; i < 30; ++i) glutMainLoopEvent();  // map the window

  for (int pass = 0; pass < 2; ++pass) {
    dashed = pass == 1;
    const VGfloat pattern[2] = {float(kDashes[0]), float(kDashes[1])};
    vgSetfv(VG_STROKE_DASH_PATTERN, dashed ? 2 : 0, pattern);
    run(libraryFrame, 50);
    run(cairoFrame, 50);
    std::vector<double> ours, theirs, ratios;
    for (int r = 0; r < rounds; ++r) {
      double o = 0, t = 0;
      if (r % 2) {
        o = run(libraryFrame, frames);
        t = run(cairoFrame, frames);
      } else {
        t = run(cairoFrame, frames);
        o = run(libraryFrame, frames);
      }
      ours.push_back(o);
      theirs.push_back(t);
      ratios.push_back(o / t);
    }
    std::printf(
        "%s stroke, width 3, round joins: Tarquel %.1f us/frame, cairo %.1f us/frame, "
        "ratio %.3f (median of %d rounds)\n",
        dashed ? "dashed" : "solid", median(ours) * 1e6, median(theirs) * 1e6, median(ratios),
        rounds);
  }
  return vgGetError() == VG_NO_ERROR ? 0 : 1;
}
