// Exact-area coverage of filled polygons, on the CPU and without OpenGL.
//
// Each edge adds its signed area to a per-pixel accumulation buffer; a prefix
// sum along each row then gives, for every pixel, the integral of the winding
// number over the pixel's square, to which the fill rule is applied. This is
// exact wherever at most one edge crosses a pixel, and close otherwise, which
// beats any fixed number of samples per pixel at a cost proportional to the
// outline's box.
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

 private:
  // An edge in box coordinates (clipped to the box when antialiased) and
  // the rows [firstRow, lastRow) it adds to.
  struct Edge {
    double x0, y0, x1, y1;
    int firstRow, lastRow;
  };
  void addEdge(double x0, double y0, double x1, double y1);
  void addEdgeClippedX(double x0, double y0, double x1, double y1);
  void keepEdge(double x0, double y0, double x1, double y1);
  void accumulate(const Edge& e);
  void addEdgeInBox(double x0, double y0, double x1, double y1);
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
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  double originX_ = 0;
  double originY_ = 0;
  bool antialias_ = true;
};

}  // namespace tq
