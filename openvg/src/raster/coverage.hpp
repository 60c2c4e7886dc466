// Exact-area coverage of filled polygons, on the CPU and without OpenGL.
//
// Each edge adds its signed area to a per-pixel accumulation buffer; a prefix
// sum along each row then gives, for every pixel, the integral of the winding
// number over the pixel's square, to which the fill rule is applied. That is
// exact wherever the winding takes at most two adjacent values inside a
// pixel, which holds where a pixel meets one y-monotone run of a contour, or
// two runs of opposite direction that do not cross there and end inside the
// row only where they join (an apex). Pixels where other runs meet
// (crossings, coincident or doubled edges, pieces meeting inside a pixel)
// are computed again region by region with the fill rule applied to each
// region's winding (see regions.cpp), so their coverage is exact too.
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
  [[gnu::noinline]] void recordPieces(double x0, double y0, double x1, double y1, float dir,
                                      uint32_t chain, int rowBegin, int rowEnd);
  void addSampledEdge(double x0, double y0, double x1, double y1);
  void resolveRows(const RasterOptions& options, CoverageMask& out);
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
  // Set while strips are accumulated: an exception then leaves cells and
  // flags written, and the next draw clears them before it starts.
  bool cellsDirty_ = false;
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
  // Each contour is cut into y-monotone runs. Two runs can only share a
  // pixel in rows where their x-ranges over a group of kGroupRows rows
  // overlap; only in those rows are the edge pieces kept, and pixels that
  // pieces of two runs reach are resolved region by region after the row's
  // fast conversion (see regions.cpp).
  struct Chain {
    double yStart, yEnd;  // where the run starts and ends, in contour order
    uint32_t next;        // the run that follows it on the contour
    int dir;              // +1 rising, -1 falling, 0 only horizontal edges
  };
  // A run's pixel columns [lo, hi] over one group of rows.
  struct Band {
    int lo, hi;
    uint32_t chain;
    int group;
  };
  static constexpr int kGroupShift = 2;
  static constexpr int kGroupRows = 1 << kGroupShift;
  std::vector<Chain> chains_;
  // Per group of rows, the bands kept so far; a group is watched once two
  // runs' bands there reach a common column, or more arrive than are kept.
  static constexpr int kGroupBands = 6;
  struct GroupBands {
    int count;
    Band bands[kGroupBands];
  };
  std::vector<GroupBands> groupBands_;
  std::vector<uint8_t> watched_;  // per group of rows
  Band band_{};                   // the band being extended
  void addBands(uint32_t chain, int g0, int g1, int lo, int hi, bool rising);
  void closeBand(const Band& band);

  // An edge piece of a watched row: y0 <= y1 (equal for a horizontal
  // edge), x0 at y0 and x1 at y1; it reaches pixel columns [first, last].
  struct RowPiece {
    double y0, y1, x0, x1;
    uint32_t chain;
    int dir;
    int first, last;
  };
  std::vector<RowPiece> rowPieces_[kStripRows];
  void resolveClashes(int stripRow, uint8_t* dst, bool evenOdd);
  bool keepsTwoWindings(const std::vector<RowPiece>& row, uint32_t a, uint32_t b, int y) const;
  void resolveCluster(int stripRow, int c0, int c1, uint8_t* dst, bool evenOdd);
  // Adds a piece's area to cells as accumulation does; cells[i] gets the part
  // of pixel i (x measured from cells[0]).
  static void addPiece(float* cells, double xa, double xb, float d);
  // Running sums of count cells, clamped to [0, 1], as bytes; zeroes cells.
  static void toCoverage(float* cells, uint8_t* dst, int count);
  std::vector<Flat> flats_;
  size_t nextFlat_ = 0;

  // Scratch of the region-by-region clusters.
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
  struct Column {
    int first, last;
    uint32_t chain;
  };
  struct Event {
    double y;
    int dir;
  };
  std::vector<Piece> pieces_;
  std::vector<double> breaks_;
  std::vector<Ordered> ordered_;
  std::vector<Column> columns_;
  std::vector<Event> events_;
  std::vector<float> clusterCells_;
  int regionRows_ = 0;

  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  double originX_ = 0;
  double originY_ = 0;
  bool antialias_ = true;
};

}  // namespace tq
