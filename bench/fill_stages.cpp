// The CPU stages of a morph frame, without OpenGL.
#include <VG/openvg.h>
#include <benchmark/benchmark.h>

#include "api/draw.hpp"
#include "core/context.hpp"
#include "geometry/flatten.hpp"
#include "outlines.h"
#include "raster/coverage.hpp"
#include "raster/quads.hpp"

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

void flattenAndRasterize(benchmark::State& state) {
  Scene s;
  tq::Context& ctx = *tq::currentContext();
  tq::Polygon poly;
  tq::Rasterizer raster;
  tq::CoverageMask mask;
  tq::Path& path = *tq::lookupPath(ctx, s.morph);
  for (auto _ : state) {
    tq::rasterizeFill(ctx, path, poly, raster, mask);
    benchmark::DoNotOptimize(mask.alpha.data());
  }
  state.counters["box_pixels"] = double(mask.alpha.size());
}
BENCHMARK(flattenAndRasterize);

// Choosing the solid trapezoids and blended blocks the coverage is composited in.
void planPieces(benchmark::State& state) {
  Scene s;
  tq::Context& ctx = *tq::currentContext();
  tq::Polygon poly;
  tq::Rasterizer raster;
  tq::CoverageMask mask;
  tq::QuadSet quads;
  tq::rasterizeFill(ctx, *tq::lookupPath(ctx, s.morph), poly, raster, mask);
  for (auto _ : state) {
    tq::coverMaskWithBlocks(mask, quads);
    benchmark::DoNotOptimize(quads.blocks.data());
  }
  state.counters["squares"] = double(quads.squares.size());
  state.counters["blocks"] = double(quads.blocks.size());
}
BENCHMARK(planPieces);

}  // namespace

BENCHMARK_MAIN();
