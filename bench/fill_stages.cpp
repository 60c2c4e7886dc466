// The CPU stages of a morph frame, without OpenGL.
#include <VG/openvg.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "core/context.hpp"
#include "draw/painter.hpp"
#include "geometry/flatten.hpp"
#include "geometry/stroke.hpp"
#include "gl/pieces.hpp"
#include "outlines.h"
#include "raster/coverage.hpp"

namespace {

struct Scene {
  VGPath apple, pear, morph;
  Scene() {
    tq::createContext(400, 400);
    apple = make(APPLE_COORDS);
    pear = make(PEAR_COORDS);
    morph = vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0,
                         VG_PATH_CAPABILITY_ALL);
    vgInterpolatePath(morph, apple, pear, 0.5f);
    vgLoadIdentity();
    vgTranslate(200, 200);
  }
  ~Scene() { tq::destroyContext(); }
  static VGPath make(const VGfloat* coords) {
    VGPath p = vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0,
                            VG_PATH_CAPABILITY_ALL);
    vgAppendPathData(p, OUTLINE_SEGMENT_COUNT, OUTLINE_SEGMENTS, coords);
    return p;
  }
};

void interpolate(benchmark::State& state) {
  Scene s;
  float amount = 0;
  for (auto _ : state) {
    vgClearPath(s.morph, VG_PATH_CAPABILITY_ALL);
    vgInterpolatePath(s.morph, s.apple, s.pear, amount);
    amount = amount > 1 ? 0 : amount + 0.01f;
  }
}
BENCHMARK(interpolate);

void flatten(benchmark::State& state) {
  Scene s;
  tq::Context& ctx = *tq::currentContext();
  tq::Polygon poly;
  tq::Path& path = *tq::lookupPath(ctx, s.morph);
  for (auto _ : state) {
    tq::flattenPath(path, tq::pathUserToSurface(ctx), 0.02f, poly);
    benchmark::DoNotOptimize(poly.points.data());
  }
  state.counters["points"] = double(poly.points.size());
}
BENCHMARK(flatten);

// What a frame's fill works with, for the morph at its middle.
struct Fill {
  Scene scene;
  tq::Context& ctx = *tq::currentContext();
  tq::Path& path = *tq::lookupPath(ctx, scene.morph);
  tq::Polygon poly;
  tq::Rasterizer raster;
  tq::CoverageMask mask;
};

void flattenAndRasterize(benchmark::State& state) {
  Fill f;
  for (auto _ : state) {
    tq::rasterizeFill(f.ctx, f.path, tq::IntRect{0, 0, f.ctx.surfaceWidth, f.ctx.surfaceHeight},
                      f.poly, f.raster, f.mask);
    benchmark::DoNotOptimize(f.mask.alpha.data());
  }
  state.counters["box_pixels"] = double(f.mask.alpha.size());
  // Rows where regions of different winding met inside a pixel.
  state.counters["region_rows"] = double(f.raster.regionRows());
}
BENCHMARK(flattenAndRasterize);

// The apple as many_paths draws it, a fifth of its size and turned: what a
// small path costs the rasteriser.
void rasterizeSmallApple(benchmark::State& state) {
  Fill f;
  vgLoadIdentity();
  vgTranslate(200, 200);
  vgRotate(30);
  vgScale(0.2f, 0.2f);
  tq::Path& apple = *tq::lookupPath(f.ctx, f.scene.apple);
  for (auto _ : state) {
    tq::rasterizeFill(f.ctx, apple, tq::IntRect{0, 0, f.ctx.surfaceWidth, f.ctx.surfaceHeight},
                      f.poly, f.raster, f.mask);
    benchmark::DoNotOptimize(f.mask.alpha.data());
  }
  state.counters["box_pixels"] = double(f.mask.alpha.size());
  state.counters["region_rows"] = double(f.raster.regionRows());
}
BENCHMARK(rasterizeSmallApple);

// Choosing the blended blocks and full squares the coverage is composited in.
void planPieces(benchmark::State& state) {
  Fill f;
  tq::CoverPieces quads;
  tq::rasterizeFill(f.ctx, f.path, tq::IntRect{0, 0, f.ctx.surfaceWidth, f.ctx.surfaceHeight},
                    f.poly, f.raster, f.mask);
  for (auto _ : state) {
    tq::coverMaskWithBlocks(f.mask, quads);
    benchmark::DoNotOptimize(quads.blocks.data());
  }
  state.counters["squares"] = double(quads.squares.size());
  state.counters["blocks"] = double(quads.blocks.size());
}
BENCHMARK(planPieces);

// Stroking the mid-morph outline, width 3 with round joins, solid and dashed:
// flattening in user space, dashing, and the pieces in surface pixels.
void strokeOutline(benchmark::State& state, std::vector<float> dashes) {
  Scene s;
  tq::Context& ctx = *tq::currentContext();
  tq::Path& path = *tq::lookupPath(ctx, s.morph);
  tq::StrokeStyle style;
  style.width = 3;
  style.join = VG_JOIN_ROUND;
  style.dashes = dashes;
  tq::StrokeScratch scratch;
  tq::Polygon poly;
  for (auto _ : state) {
    tq::strokePath(path, style, tq::pathUserToSurface(ctx), 0.02f, scratch, poly);
    benchmark::DoNotOptimize(poly.points.data());
  }
  state.counters["points"] = double(poly.points.size());
  state.counters["contours"] = double(poly.contourEnds.size());
}
BENCHMARK_CAPTURE(strokeOutline, solid, {});
BENCHMARK_CAPTURE(strokeOutline, dashed, {8, 4});

// The coverage of that stroke: what its contours cost the rasteriser.
void rasterizeStroke(benchmark::State& state, std::vector<float> dashes) {
  Fill f;
  tq::StrokeStyle style;
  style.width = 3;
  style.join = VG_JOIN_ROUND;
  style.dashes = dashes;
  tq::StrokeScratch scratch;
  tq::strokePath(f.path, style, tq::pathUserToSurface(f.ctx), 0.02f, scratch, f.poly);
  tq::RasterOptions options;
  options.fillRule = VG_NON_ZERO;
  options.clip = tq::IntRect{0, 0, f.ctx.surfaceWidth, f.ctx.surfaceHeight};
  for (auto _ : state) {
    f.raster.rasterize(f.poly, options, f.mask);
    benchmark::DoNotOptimize(f.mask.alpha.data());
  }
  state.counters["region_rows"] = double(f.raster.regionRows());
}
BENCHMARK_CAPTURE(rasterizeStroke, solid, {});
BENCHMARK_CAPTURE(rasterizeStroke, dashed, {8, 4});

// One closed path of range(0) cubics around a wobbling circle (as
// segment_scaling draws it), per stage: flattening, the fill's coverage,
// stroking (width 2) and the stroke's coverage. Time a segment should stay
// flat as the segments grow.
struct Wobble {
  Scene scene;
  tq::Context& ctx = *tq::currentContext();
  VGPath path = VG_INVALID_HANDLE;
  explicit Wobble(int count) {
    std::vector<VGubyte> commands(size_t(count) + 2, VG_CUBIC_TO_ABS);
    commands.front() = VG_MOVE_TO_ABS;
    commands.back() = VG_CLOSE_PATH;
    std::vector<VGfloat> coords;
    auto at = [&](double t) {
      const double r = 150.0 + 12.0 * std::sin(5 * t);
      coords.push_back(float(r * std::cos(t)));
      coords.push_back(float(r * std::sin(t)));
    };
    at(0);
    for (int i = 0; i < count; ++i)
      for (int k = 1; k <= 3; ++k) at(2 * 3.14159265358979 * (i + k / 3.0) / count);
    path = vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0,
                        VG_PATH_CAPABILITY_ALL);
    vgAppendPathData(path, VGint(commands.size()), commands.data(), coords.data());
  }
  tq::Path& get() { return *tq::lookupPath(ctx, path); }
};

void wobbleStages(benchmark::State& state, bool stroke, bool rasterize) {
  Wobble w(int(state.range(0)));
  tq::Polygon poly;
  tq::StrokeScratch scratch;
  tq::StrokeStyle style;
  style.width = 2;
  tq::Rasterizer raster;
  tq::CoverageMask mask;
  tq::RasterOptions options;
  options.fillRule = VG_NON_ZERO;
  options.clip = tq::IntRect{0, 0, w.ctx.surfaceWidth, w.ctx.surfaceHeight};
  auto geometry = [&] {
    if (stroke)
      tq::strokePath(w.get(), style, tq::pathUserToSurface(w.ctx), 0.02f, scratch, poly);
    else
      tq::flattenPath(w.get(), tq::pathUserToSurface(w.ctx), 0.02f, poly);
  };
  geometry();
  for (auto _ : state) {
    if (rasterize)
      raster.rasterize(poly, options, mask);
    else
      geometry();
    benchmark::DoNotOptimize(mask.alpha.data());
    benchmark::DoNotOptimize(poly.points.data());
  }
  state.counters["points"] = double(poly.points.size());
  state.counters["ns_per_segment"] =
      benchmark::Counter(double(state.range(0)), benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
  if (rasterize) state.counters["region_rows"] = double(raster.regionRows());
}
BENCHMARK_CAPTURE(wobbleStages, flatten, false, false)->Arg(100000)->Arg(1000000);
BENCHMARK_CAPTURE(wobbleStages, fillCoverage, false, true)->Arg(100000)->Arg(1000000);
BENCHMARK_CAPTURE(wobbleStages, stroke, true, false)->Arg(100000)->Arg(1000000);
BENCHMARK_CAPTURE(wobbleStages, strokeCoverage, true, true)->Arg(100000)->Arg(1000000);

}  // namespace

BENCHMARK_MAIN();
