// The pieces in which a coverage mask is composited: a few trapezoids that
// together hold every covered pixel's centre once, or aligned squares of
// whole pixels; those over fully covered pixels apart from the rest, so that
// they can take the paint unblended.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/coverage.hpp"

namespace tq {

// A trapezoid in the mask's box: the rows from bottom to top, with its left
// and right sides' x at each. A pixel belongs to it when its centre does.
struct Trapezoid {
  float bottom, top;
  float bottomLeft, bottomRight;
  float topLeft, topRight;
};

// A square of 4 << level pixels a side on the surface's grid of such
// squares (4 x 4 blocks for level 0): its lower left corner in the box, so
// that the first ones may start up to 3 pixels before the box.
struct Square {
  int x, y;
  int level;
};

struct CoverPieces {
  std::vector<Trapezoid> solid;    // over fully covered pixels only
  std::vector<Trapezoid> blended;  // the rest of the covered pixels
  std::vector<Square> blocks;      // from coverMaskWithBlocks: blended whole, level 0
  std::vector<Square> squares;     // and fully covered, to be drawn unblended
  // Scratch kept between calls: the chosen bands' pieces (one blended, or
  // blended, solid and blended), and per row the running sum of the least
  // cost any cover of it can have.
  struct Band {
    Trapezoid pieces[3];
    int count;
  };
  std::vector<Band> bands;
  std::vector<double> rowBound;
  std::vector<uint8_t> grid;  // per level, per square of blocks: whether it is full
};

// Covers the box's rows with bands, each of at most three trapezoids whose
// sides follow the rows' spans: one over the full runs when solidInterior is
// set and they are wide enough, and the coverage on either side of it. Band
// heights follow the outline: short where its sides curve, so that few
// pixels are blended for nothing, and tall where they run straight, so that
// there are few trapezoids. Bands are at least minRows high (rounded up to a
// power of two) unless the box cuts them. Reuses out's storage.
void coverMask(const CoverageMask& mask, bool solidInterior, CoverPieces& out, int minRows = 4);

// The cover for an interior that may be drawn unblended, made of whole
// blocks of 4 x 4 pixels on the surface's grid: the blocks with a covered
// pixel that are not fully covered go to blocks, to be blended, and the
// fully covered ones to squares, merged into aligned squares of up to
// 4 << maxLevel pixels a side. Each covered pixel is in exactly one.
// A software rasteriser shades whole blocks of this size, so each is shaded
// once, where trapezoids shade the blocks their sides cut in part and those
// on their diagonals twice. Leaves solid and blended empty.
void coverMaskWithBlocks(const CoverageMask& mask, CoverPieces& out, int maxLevel = 4);

}  // namespace tq
