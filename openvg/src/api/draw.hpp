// The fill pipeline up to coverage, shared by vgDrawPath and the tests.
#pragma once

#include "core/context.hpp"
#include "core/path.hpp"
#include "geometry/polygon.hpp"
#include "raster/coverage.hpp"

namespace tq {

// Flattens path under the context's matrix and quality and computes its
// coverage under the fill rule, the surface and the scissor rectangles.
// Returns false when nothing is covered.
bool rasterizeFill(Context& ctx, Path& path, Polygon& polygon, Rasterizer& rasterizer,
                   CoverageMask& mask);

}  // namespace tq
