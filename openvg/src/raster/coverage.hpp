// Exact-area coverage of filled polygons, on the CPU and without OpenGL.
//
// Each edge adds its signed area to a per-pixel accumulation buffer; a prefix
// sum along each row then gives, for every pixel, the integral of the winding
// number over the pixel's square, to which the fill rule is applied. That is
// exact wherever the winding takes at most two adjacent values inside a
// pixel, which holds where each pixel of a row meets at most one y-monotone
// run of a contour. Rows where two runs share a pixel (crossings, coincident
// or doubled edges, apexes, pieces meeting inside a pixel) are accumulated
// again region by region with the fill rule applied to each region's winding
// (see regions.cpp), so their coverage is exact too.
#pragma once

#include <VG/openvg.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/rect.hpp"
#include "geometry/polygon.hpp"

namespace tq {

// Coverage over a box of the surface: row 0 is the bottom row (y = box.y),
// values 0..255, stride box.width.
struct CoverageMask {
  IntRect box;
  std::vector<uint8_t> alpha;
  // Per row of the box, the columns [first, end) outside which coverage is 0
  // (first == end for an empty row), so that compositing can skip the rest,
  // and a run [fullFirst, fullEnd) of fully covered pixels (empty when none
  // was found) that compositing may treat as opaque. The run is the longest
  // one that reaches a column no edge came near, so a row whose full pixels
  // all lie next to edges may report none.
  struct Span {
    int first;
    int end;
    int fullFirst;
    int fullEnd;
  };
  std::vector<Span> spans;
};

struct RasterOptions {
  VGFillRule fillRule = VG_EVEN_ODD;
  bool antialias = true;
  IntRect clip;  // the surface, or the scissor rectangles' bounding box
  // Scissor rectangles (x, y, width, height quadruples) that further limit
  // coverage; only read when scissor is true. No rectangles: nothing drawn.
  bool scissor = false;
  const std::vector<VGint>* scissorRects = nullptr;
};

// Reusable scratch; keeps its storage between calls so that steady-state
// drawing allocates nothing.
class Rasterizer {
 public:
  // Computes coverage of poly into out. Returns false (and an empty box) when
  // nothing is covered. Non-finite points must not be passed.
  bool rasterize(const Polygon& poly, const RasterOptions& options, CoverageMask& out);

  // Rows of the last call resolved region by region (a figure for benchmarks).
  int regionRows() const { return regionRows_; }

 private:
  // An edge in box coordinates (clipped to the box when antialiased) and
  // the rows [firstRow, lastRow) it adds to.
  // chain numbers the contour's y-monotone run the edge belongs to.
  struct Edge {
    double x0, y0, x1, y1;
    int firstRow, lastRow;
    uint32_t chain;
  };
  // A horizontal edge strictly inside a row: it adds no area but joins its
  // run's pieces across the pixels it passes.
  struct Flat {
    int row, first, last;  // pixel columns [first, last]
    uint32_t chain;
  };
  void addEdge(double x0, double y0, double x1, double y1, uint32_t chain);
  void addEdgeClippedX(double x0, double y0, double x1, double y1, uint32_t chain);
  void keepEdge(double x0, double y0, double x1, double y1, uint32_t chain);
  void accumulate(const Edge& e);
  void addEdgeInBox(double x0, double y0, double x1, double y1, uint32_t chain);
  void addSampledEdge(double x0, double y0, double x1, double y1);
  void addRowPiece(int stripRow, double xa, double xb, float d);
  void resolveRows(const RasterOptions& options, CoverageMask& out, int strip);
  bool rowNeedsRegions(int stripRow);
  void accumulateRegions(int stripRow, int strip, bool evenOdd);
  void applyScissor(const RasterOptions& options, CoverageMask& out);

  // Edges are gathered first and then accumulated a strip of rows at a
  // time into a buffer small enough to stay in the first-level cache, which
  // a buffer for the whole box would not: between frames the renderer's own
  // work moves it out, and every edge would wait on memory.
  static constexpr int kStripRows = 16;
  std::vector<Edge> edges_;
  std::vector<uint32_t> order_;                // edge indices by the strip they start in
  std::vector<uint32_t> stripStart_;           // per strip, where its edges begin in order_
  std::vector<uint32_t> active_, nextActive_;  // edges reaching into the next strip
  int stripBegin_ = 0;                         // the rows being accumulated
  int stripEnd_ = 0;

  std::vector<float> accum_;  // (width + 2) cells a row of the strip, row-major
  std::vector<uint8_t> scissorMask_;
  // One flag per run of kChunk cells of a row that some edge wrote to: the
  // runs no edge touched hold a constant winding and are filled in one go.
  static constexpr int kChunkShift = 4;
  std::vector<uint8_t> touched_;
  int chunksPerRow_ = 0;
  void markTouched(int stripRow, int first, int last) {
    uint8_t* t = touched_.data() + std::size_t(stripRow) * std::size_t(chunksPerRow_);
    // Most rows of an edge touch one run or two; those take plain stores
    // rather than a call.
    int c0 = first >> kChunkShift, c1 = last >> kChunkShift;
    t[c0] = 1;
    t[c1] = 1;
    for (int c = c0 + 1; c < c1; ++c) t[c] = 1;
  }
  // Per row of the strip, the pixel columns each run touched; a row whose
  // runs share a column, or that has more runs than this holds, is resolved
  // region by region.
  static constexpr int kRowChains = 16;
  struct ChainColumns {
    uint32_t chain;
    int first, last;
  };
  struct RowChains {
    int count = 0;
    bool overflow = false;
    ChainColumns runs[kRowChains];
  };
  RowChains rowChains_[kStripRows];
  void noteChain(int stripRow, uint32_t chain, int first, int last) {
    RowChains& rc = rowChains_[stripRow];
    for (int j = rc.count - 1; j >= 0; --j) {
      ChainColumns& c = rc.runs[j];
      if (c.chain == chain) {
        c.first = std::min(c.first, first);
        c.last = std::max(c.last, last);
        return;
      }
    }
    if (rc.count == kRowChains) {
      rc.overflow = true;
      return;
    }
    rc.runs[rc.count++] = ChainColumns{chain, first, last};
  }
  std::vector<Flat> flats_;
  size_t nextFlat_ = 0;

  // Scratch of the region-by-region rows.
  // A piece adds its part from `from` up with one weight until that changes.
  struct Piece {
    double y0, y1, x0, x1, dxdy;  // y0 < y1, x at each end
    int dir;
    int weight;
    double from;
  };
  struct Ordered {
    double x;
    uint32_t piece;
  };
  std::vector<Piece> pieces_;
  std::vector<double> breaks_;
  std::vector<Ordered> ordered_;
  int regionRows_ = 0;

  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  double originX_ = 0;
  double originY_ = 0;
  bool antialias_ = true;
};

}  // namespace tq
