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
  // Scratch kept between calls: the chosen bands' pieces (one blended, or
  // blended, solid and blended), and per row the running sum of the least
  // cost any cover of it can have.
  struct Band {
    Quad pieces[3];
    int count;
  };
  std::vector<Band> bands;
  std::vector<double> rowBound;
};

// Covers the box's rows with bands, each of at most three trapezoids whose
// sides follow the rows' spans: one over the full runs when solidInterior is
// set and they are wide enough, and the coverage on either side of it. Band
// heights follow the outline: short where its sides curve, so that few
// pixels are blended for nothing, and tall where they run straight, so that
// there are few trapezoids. Bands are at least minRows high (rounded up to a
// power of two) unless the box cuts them. Reuses out's storage.
void coverMask(const CoverageMask& mask, bool solidInterior, QuadSet& out, int minRows = 4);

}  // namespace tq
