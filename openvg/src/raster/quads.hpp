// The pieces in which a coverage mask is composited: a few trapezoids that
// together hold every covered pixel's centre once, those over fully covered
// pixels apart from the rest, so that they can take the paint unblended.
#pragma once

#include <vector>

#include "raster/coverage.hpp"

namespace tq {

// A trapezoid in the mask's box: the rows from bottom to top, with its left
// and right sides' x at each. A pixel belongs to it when its centre does.
struct Quad {
  float bottom, top;
  float bottomLeft, bottomRight;
  float topLeft, topRight;
};

struct QuadSet {
  std::vector<Quad> solid;    // over fully covered pixels only
  std::vector<Quad> blended;  // the rest of the covered pixels
};

// Splits the box's rows into bands of at least minRows rows (and at most
// maxBands bands) and covers each band with at most three trapezoids whose
// sides follow the rows' spans: one over its full runs when solidInterior is
// set and they are wide enough, and the coverage on either side of it.
// Reuses out's storage.
void coverMask(const CoverageMask& mask, bool solidInterior, int minRows, int maxBands,
               QuadSet& out);

}  // namespace tq
