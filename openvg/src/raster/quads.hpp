// The pieces in which a coverage mask is composited: a few trapezoids that
// together hold every covered pixel's centre once, those over fully covered
// pixels apart from the rest, so that they can take the paint unblended.
#pragma once

#include <cstdint>
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

// A block of 4 x 4 pixels on the surface's grid of such blocks: its lower
// left corner in the box (so x and y may be -3 to 0 for the first blocks).
struct Block {
  int x, y;
};

struct QuadSet {
  std::vector<Quad> solid;    // over fully covered pixels only
  std::vector<Quad> blended;  // the rest of the covered pixels
  std::vector<Block> blocks;  // from coverMaskWithBlocks: blended whole
  // Scratch kept between calls: the chosen bands' pieces (one blended, or
  // blended, solid and blended), and per row the running sum of the least
  // cost any cover of it can have.
  struct Band {
    Quad pieces[3];
    int count;
  };
  std::vector<Band> bands;
  std::vector<double> rowBound;
  std::vector<uint8_t> marked;  // per block of the box's grid, whether it is blended
};

// Covers the box's rows with bands, each of at most three trapezoids whose
// sides follow the rows' spans: one over the full runs when solidInterior is
// set and they are wide enough, and the coverage on either side of it. Band
// heights follow the outline: short where its sides curve, so that few
// pixels are blended for nothing, and tall where they run straight, so that
// there are few trapezoids. Bands are at least minRows high (rounded up to a
// power of two) unless the box cuts them. Reuses out's storage.
void coverMask(const CoverageMask& mask, bool solidInterior, QuadSet& out, int minRows = 4);

// The cover for an interior that may be drawn unblended: the solid
// trapezoids of coverMask, and every 4 x 4 block of the surface's grid that
// holds a covered pixel no solid trapezoid surely holds. A software
// rasteriser shades whole blocks of this size, so blending block by block
// shades each pixel next to the outline once, where the thin trapezoids along
// it shade many blocks in part and those on their diagonals twice. A pixel
// may be both in a block and in a solid trapezoid; the solid one must then be
// drawn last. Fills solid and blocks; blended stays empty.
void coverMaskWithBlocks(const CoverageMask& mask, QuadSet& out, int minRows = 4);

}  // namespace tq
