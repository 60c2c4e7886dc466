#include "raster/coverage.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tq {
namespace {

// Clamps a double to the int range before conversion, so that huge or
// infinite values cannot overflow.
int clampToInt(double v) {
  constexpr double lo = -1.0e9;
  constexpr double hi = 1.0e9;
  if (!(v > lo)) return int(lo);
  if (v > hi) return int(hi);
  return int(v);
}

// The bounding box of the scissor rectangles that have an area.
IntRect scissorBounds(const std::vector<VGint>& rects) {
  int64_t x0 = INT64_MAX, y0 = INT64_MAX, x1 = INT64_MIN, y1 = INT64_MIN;
  for (size_t i = 0; i + 3 < rects.size(); i += 4) {
    if (rects[i + 2] <= 0 || rects[i + 3] <= 0) continue;
    x0 = std::min<int64_t>(x0, rects[i]);
    y0 = std::min<int64_t>(y0, rects[i + 1]);
    x1 = std::max<int64_t>(x1, int64_t(rects[i]) + rects[i + 2]);
    y1 = std::max<int64_t>(y1, int64_t(rects[i + 1]) + rects[i + 3]);
  }
  IntRect r;
  if (x0 > x1) return r;
  auto clamp = [](int64_t v) { return int(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2)); };
  r.x = clamp(x0);
  r.y = clamp(y0);
  r.width = clamp(x1) - r.x;
  r.height = clamp(y1) - r.y;
  return r;
}

}  // namespace

bool Rasterizer::rasterize(const Polygon& poly, const RasterOptions& options, CoverageMask& out) {
  // Every pixel of the box is written below, so the buffer keeps its old
  // contents rather than being zeroed first; it is emptied only when nothing
  // is covered.
  out.box = IntRect{};
  auto nothing = [&] {
    out.alpha.clear();
    return false;
  };
  if (poly.points.empty()) return nothing();

  // Points that are not finite are left out by selection rather than a
  // branch, so that the loop vectorises.
  constexpr float kInf = std::numeric_limits<float>::infinity();
  float loX = kInf, loY = kInf, hiX = -kInf, hiY = -kInf;
  for (const Point& p : poly.points) {
    const bool finite = std::fabs(p.x) <= std::numeric_limits<float>::max() &&
                        std::fabs(p.y) <= std::numeric_limits<float>::max();
    loX = std::min(loX, finite ? p.x : kInf);
    hiX = std::max(hiX, finite ? p.x : -kInf);
    loY = std::min(loY, finite ? p.y : kInf);
    hiY = std::max(hiY, finite ? p.y : -kInf);
  }
  if (!(loX <= hiX)) return nothing();
  const double minX = loX, minY = loY, maxX = hiX, maxY = hiY;

  IntRect bounds;
  bounds.x = clampToInt(std::floor(minX));
  bounds.y = clampToInt(std::floor(minY));
  bounds.width = clampToInt(std::ceil(maxX)) - bounds.x;
  bounds.height = clampToInt(std::ceil(maxY)) - bounds.y;
  IntRect box = intersect(bounds, options.clip);
  if (options.scissor) {
    box = options.scissorRects ? intersect(box, scissorBounds(*options.scissorRects)) : IntRect{};
  }
  if (box.empty()) return nothing();

  width_ = box.width;
  height_ = box.height;
  stride_ = width_ + 2;
  originX_ = box.x;
  originY_ = box.y;
  antialias_ = options.antialias;
  size_t cells = size_t(stride_) * size_t(kStripRows);
  if (accum_.size() < cells) accum_.resize(cells, 0.0f);  // stays all zero between strips
  chunksPerRow_ = (stride_ >> kChunkShift) + 1;
  size_t chunks = size_t(chunksPerRow_) * size_t(kStripRows);
  if (touched_.size() < chunks) touched_.resize(chunks, 0);  // likewise
  if (cellsDirty_) {  // a failed allocation cut the last draw short
    std::fill(accum_.begin(), accum_.end(), 0.0f);
    std::fill(touched_.begin(), touched_.end(), uint8_t(0));
    cellsDirty_ = false;
  }

  edges_.clear();
  flats_.clear();
  nextFlat_ = 0;
  regionRows_ = 0;
  chains_.clear();
  for (std::vector<RowPiece>& row : rowPieces_) row.clear();
  const size_t groups = size_t((height_ + kGroupRows - 1) >> kGroupShift);
  watched_.assign(groups, 0);
  if (groupBands_.size() < groups) groupBands_.resize(groups);
  for (size_t g = 0; g < groups; ++g) groupBands_[g].count = 0;
  band_.group = -1;
  // Each contour is cut into runs where its edges turn between rising and
  // falling. It is walked from a turn, so that no run goes on past the
  // walk's end into its start.
  auto yOf = [&](uint32_t i) { return double(poly.points[i].y) - originY_; };
  auto dirOf = [](double ay, double by) { return by > ay ? 1 : (by < ay ? -1 : 0); };
  uint32_t chain = 0;
  uint32_t begin = 0;
  for (uint32_t end : poly.contourEnds) {
    end = std::min<uint32_t>(end, uint32_t(poly.points.size()));
    if (begin >= end) {
      begin = end;
      continue;
    }
    int dir = 0;
    for (uint32_t i = end; i-- > begin && dir == 0;)
      dir = dirOf(yOf(i), yOf(i + 1 < end ? i + 1 : begin));
    uint32_t start = begin;
    for (uint32_t i = begin; i < end; ++i) {
      const int d = dirOf(yOf(i), yOf(i + 1 < end ? i + 1 : begin));
      if (d != 0 && d != dir) {
        start = i;
        break;
      }
    }
    chain = uint32_t(chains_.size());
    const uint32_t firstChain = chain;
    const double startY = yOf(start);
    chains_.push_back(Chain{startY, startY, chain, 0});
    dir = 0;
    for (uint32_t i = start, left = end - begin; left > 0; --left) {
      const uint32_t j = i + 1 < end ? i + 1 : begin;
      const Point& a = poly.points[i];
      const Point& b = poly.points[j];
      double ay = double(a.y) - originY_, by = double(b.y) - originY_;
      int d = dirOf(ay, by);
      if (d != 0 && d != dir) {
        if (dir == 0) {
          chains_.back().dir = d;
        } else {
          chains_.back().yEnd = ay;
          chains_.back().next = chain + 1;
          ++chain;
          chains_.push_back(Chain{ay, ay, chain, d});
        }
        dir = d;
      }
      addEdge(double(a.x) - originX_, ay, double(b.x) - originX_, by, chain);
      i = j;
    }
    chains_.back().yEnd = startY;
    chains_.back().next = firstChain;
    begin = end;
  }
  if (band_.group >= 0) closeBand(band_);
  std::sort(flats_.begin(), flats_.end(),
            [](const Flat& a, const Flat& b) { return a.row < b.row; });

  // Edges by the strip of their first row (a counting sort).
  const int strips = (height_ + kStripRows - 1) / kStripRows;
  // Edges come in contour order, so runs of them share a strip: each run
  // is counted in a register rather than by a store the next edge waits on.
  stripStart_.assign(size_t(strips) + 1, 0);
  {
    size_t strip = 0;
    uint32_t run = 0;
    for (const Edge& e : edges_) {
      const size_t s = size_t(e.firstRow / kStripRows);
      if (s != strip) {
        stripStart_[strip + 1] += run;
        strip = s;
        run = 0;
      }
      ++run;
    }
    stripStart_[strip + 1] += run;
  }
  for (int k = 0; k < strips; ++k) stripStart_[size_t(k) + 1] += stripStart_[size_t(k)];
  order_.resize(edges_.size());
  // The two lists below trade places every strip, so either may need room
  // for every edge or strip; reserving both keeps steady-state frames from
  // growing whichever one a frame happens to end on.
  active_.reserve(std::max(edges_.size(), size_t(strips)));
  nextActive_.reserve(std::max(edges_.size(), size_t(strips)));
  nextActive_.assign(stripStart_.begin(), stripStart_.end() - 1);  // fill positions
  {
    size_t strip = 0;
    uint32_t at = nextActive_.empty() ? 0 : nextActive_[0];
    for (uint32_t i = 0; i < edges_.size(); ++i) {
      const size_t s = size_t(edges_[i].firstRow / kStripRows);
      if (s != strip) {
        nextActive_[strip] = at;
        strip = s;
        at = nextActive_[s];
      }
      order_[at++] = i;
    }
  }

  out.box = box;
  out.alpha.resize(size_t(width_) * size_t(height_));
  out.spans.resize(size_t(height_));
  active_.clear();
  cellsDirty_ = true;
  for (int k = 0; k < strips; ++k) {
    stripBegin_ = k * kStripRows;
    stripEnd_ = std::min(height_, stripBegin_ + kStripRows);
    nextActive_.clear();
    for (; nextFlat_ < flats_.size() && flats_[nextFlat_].row < stripEnd_; ++nextFlat_) {
      const Flat& f = flats_[nextFlat_];
      if (watched_[size_t(f.row >> kGroupShift)]) {
        const double y = f.row;  // no area: only its columns count
        rowPieces_[f.row - stripBegin_].push_back(
            RowPiece{y, y, 0, 0, f.chain, 0, f.first, f.last});
      }
    }
    auto run = [&](uint32_t i) {
      accumulate(edges_[i]);
      if (edges_[i].lastRow > stripEnd_) nextActive_.push_back(i);
    };
    for (uint32_t i : active_) run(i);
    for (uint32_t j = stripStart_[size_t(k)]; j < stripStart_[size_t(k) + 1]; ++j) run(order_[j]);
    resolveRows(options, out);
    std::swap(active_, nextActive_);
  }
  cellsDirty_ = false;
  if (options.scissor) applyScissor(options, out);
  return true;
}

void Rasterizer::addEdge(double x0, double y0, double x1, double y1, uint32_t chain) {
  const double w = width_, h = height_;
  // Most edges lie inside the box (which also rules out NaN and infinity).
  if (antialias_ && x0 >= 0 && x0 <= w && x1 >= 0 && x1 <= w && y0 >= 0 && y0 <= h && y1 >= 0 &&
      y1 <= h) {
    keepEdge(x0, y0, x1, y1, chain);
    return;
  }
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return;
  if (y0 == y1) {
    if (antialias_) keepEdge(std::clamp(x0, 0.0, w), y0, std::clamp(x1, 0.0, w), y1, chain);
    return;
  }
  if (!antialias_) {
    keepEdge(x0, y0, x1, y1, chain);
    return;
  }
  // Clip to the box's rows; parts above or below cover nothing inside it.
  if ((y0 <= 0 && y1 <= 0) || (y0 >= h && y1 >= h)) return;
  auto xAt = [&](double y) { return x0 + (x1 - x0) * ((y - y0) / (y1 - y0)); };
  double ya = y0, yb = y1, xa = x0, xb = x1;
  if (ya < 0) {
    xa = xAt(0);
    ya = 0;
  } else if (ya > h) {
    xa = xAt(h);
    ya = h;
  }
  if (yb < 0) {
    xb = xAt(0);
    yb = 0;
  } else if (yb > h) {
    xb = xAt(h);
    yb = h;
  }
  addEdgeClippedX(xa, ya, xb, yb, chain);
}

// Splits the edge where it crosses the box's left and right sides. A part to
// the left adds full coverage to every pixel of its rows, exactly as a
// vertical edge on the left side would; a part to the right affects nothing
// visible, so it is moved onto the right side's guard column.
void Rasterizer::addEdgeClippedX(double x0, double y0, double x1, double y1, uint32_t chain) {
  double w = width_;
  double cuts[2];
  int n = 0;
  for (double side : {0.0, w}) {
    if ((x0 < side && x1 > side) || (x0 > side && x1 < side)) {
      cuts[n++] = (side - x0) / (x1 - x0);
    }
  }
  if (n == 2 && cuts[0] > cuts[1]) std::swap(cuts[0], cuts[1]);
  double px = x0, py = y0;
  auto emit = [&](double qx, double qy) {
    keepEdge(std::clamp(px, 0.0, w), py, std::clamp(qx, 0.0, w), qy, chain);
    px = qx;
    py = qy;
  };
  for (int i = 0; i < n; ++i) emit(x0 + (x1 - x0) * cuts[i], y0 + (y1 - y0) * cuts[i]);
  emit(x1, y1);
}

void Rasterizer::keepEdge(double x0, double y0, double x1, double y1, uint32_t chain) {
  if (y0 == y1) {
    // Only a horizontal edge strictly inside a row joins pieces that meet
    // inside it; on a row's boundary its run's pieces end there anyway.
    if (!antialias_ || !(y0 > 0 && y0 < height_)) return;
    int row = int(y0);  // only inside the box: far outside it no int holds y0
    if (double(row) == y0) return;
    double lo = std::min(x0, x1), hi = std::max(x0, x1);
    if (lo >= width_) return;
    int first = int(lo), last = int(hi);
    last = std::max(first, double(last) < hi ? last : last - 1);
    flats_.push_back(Flat{row, first, last, chain});
    addBands(chain, row >> kGroupShift, row >> kGroupShift, first, last, true);
    return;
  }
  double lo = std::min(y0, y1), hi = std::max(y0, y1);
  int first, last;
  if (antialias_) {
    // Clipped to the box's rows already, up to rounding: truncation floors.
    first = std::max(0, int(lo));
    last = int(hi);
    last = std::min(height_, last + (double(last) < hi ? 1 : 0));
  } else {
    // The rows whose centre row + 0.5 lies in [lo, hi).
    first = int(std::clamp(std::ceil(lo - 0.5), 0.0, double(height_)));
    last = int(std::clamp(std::ceil(hi - 0.5), 0.0, double(height_)));
  }
  if (first >= last) return;
  edges_.push_back(Edge{x0, y0, x1, y1, first, last, chain});
  if (!antialias_) return;
  // Clipped to the box already: truncation floors.
  const int g0 = first >> kGroupShift, g1 = (last - 1) >> kGroupShift;
  const int c0 = int(std::min(x0, x1)), c1 = std::min(width_ - 1, int(std::max(x0, x1)));
  if (chain == band_.chain && g0 == band_.group && g1 == g0) {
    band_.lo = std::min(band_.lo, c0);
    band_.hi = std::max(band_.hi, c1);
    return;
  }
  addBands(chain, g0, g1, c0, c1, y1 > y0);
}

// Adds columns [lo, hi] of a run to groups [g0, g1]. The group the run goes
// on into is kept open in band_.
void Rasterizer::addBands(uint32_t chain, int g0, int g1, int lo, int hi, bool rising) {
  if (band_.group >= 0 && band_.chain != chain) {
    closeBand(band_);
    band_.group = -1;
  }
  const int open = rising ? g1 : g0;
  for (int g = g0; g <= g1; ++g) {
    if (g == band_.group) {
      band_.lo = std::min(band_.lo, lo);
      band_.hi = std::max(band_.hi, hi);
      if (g != open) {
        closeBand(band_);
        band_.group = -1;
      }
    } else if (g == open) {
      if (band_.group >= 0) closeBand(band_);
      band_ = Band{lo, hi, chain, g};
    } else {
      closeBand(Band{lo, hi, chain, g});
    }
  }
}

// Watches the band's group once it holds another run's band that reaches a
// common pixel column, or more bands than are kept.
void Rasterizer::closeBand(const Band& band) {
  const size_t g = size_t(band.group);
  if (watched_[g]) return;
  GroupBands& kept = groupBands_[g];
  for (int k = 0; k < kept.count; ++k) {
    const Band& o = kept.bands[k];
    if (o.chain != band.chain && o.lo <= band.hi && band.lo <= o.hi) {
      watched_[g] = 1;
      return;
    }
  }
  if (kept.count == kGroupBands) {
    watched_[g] = 1;
    return;
  }
  kept.bands[kept.count++] = band;
}

void Rasterizer::accumulate(const Edge& e) {
  if (antialias_)
    addEdgeInBox(e.x0, e.y0, e.x1, e.y1, e.chain);
  else
    addSampledEdge(e.x0, e.y0, e.x1, e.y1);
}

namespace {

// Coordinates in the box are not negative: truncation floors, which is
// cheaper than the library's rounding.
inline int ceilOf(double v) {
  int i = int(v);
  return double(i) < v ? i + 1 : i;
}

// Adds to one row's cells the part of an edge between xa at the row's bottom
// and xb at its top, for a height times weight of d: each pixel gets d times
// its area right of the edge. Cells [i0, i1] are written. Inlined into the
// edge loop, which a call costs a fifth of its time.
[[gnu::always_inline]] inline void addPieceCells(float* cell, double xa, double xb, float d,
                                                 int& i0, int& i1) {
  double lo = std::min(xa, xb), hi = std::max(xa, xb);
  i0 = int(lo);
  double loFloor = i0;
  i1 = ceilOf(hi);
  double hiCeil = i1;
  if (i1 <= i0 + 1) {
    // Within one pixel column: the pixel gets the area right of the edge's
    // mean position, the next pixel the rest.
    float m = float(0.5 * (xa + xb) - loFloor);
    cell[i0] += d * (1.0f - m);
    cell[i0 + 1] += d * m;
    i1 = i0 + 1;
    return;
  }
  // Across several columns: coverage grows linearly between the ends, with
  // quadratic ramps in the first and last column.
  double s = 1.0 / (hi - lo);
  double f0 = lo - loFloor;
  double a0 = 0.5 * s * (1.0 - f0) * (1.0 - f0);
  double f1 = hi - hiCeil + 1.0;
  double am = 0.5 * s * f1 * f1;
  cell[i0] += float(d * a0);
  if (i1 == i0 + 2) {
    cell[i0 + 1] += float(d * (1.0 - a0 - am));
  } else {
    double a1 = s * (1.5 - f0);
    cell[i0 + 1] += float(d * (a1 - a0));
    float ds = float(d * s);
    for (int i = i0 + 2; i < i1 - 1; ++i) cell[i] += ds;
    double a2 = a1 + double(i1 - i0 - 3) * s;
    cell[i1 - 1] += float(d * (1.0 - a2 - am));
  }
  cell[i1] += float(d * am);
}

}  // namespace

void Rasterizer::addPiece(float* cells, double xa, double xb, float d) {
  int i0, i1;
  addPieceCells(cells, xa, xb, d, i0, i1);
}

void Rasterizer::addEdgeInBox(double x0, double y0, double x1, double y1, uint32_t chain) {
  if (y0 == y1) return;
  float dir = 1.0f;
  if (y0 > y1) {
    std::swap(x0, x1);
    std::swap(y0, y1);
    dir = -1.0f;
  }
  double w = width_;
  const int firstRow = int(y0);
  if (y1 <= double(firstRow + 1) && firstRow >= stripBegin_ && firstRow < stripEnd_) {
    // Within one row, as most edges of a finely flattened curve are: its
    // ends are the piece, and no crossing of a row boundary is worked out.
    int i0, i1;
    const int stripRow = firstRow - stripBegin_;
    addPieceCells(accum_.data() + size_t(stripRow) * size_t(stride_), std::clamp(x0, 0.0, w),
                  std::clamp(x1, 0.0, w), float(y1 - y0) * dir, i0, i1);
    markTouched(stripRow, i0, i1);
    if (watched_[size_t(firstRow >> kGroupShift)])
      recordPieces(x0, y0, x1, y1, dir, chain, firstRow, firstRow + 1);
    return;
  }
  double dxdy = (x1 - x0) / (y1 - y0);
  int rowBegin = std::max(stripBegin_, firstRow);
  int rowEnd = std::min(stripEnd_, ceilOf(y1));
  for (int row = rowBegin; row < rowEnd; ++row) {
    double bottom = std::max<double>(row, y0);
    double top = std::min<double>(row + 1, y1);
    double dy = top - bottom;
    if (dy <= 0) continue;
    double xa = std::clamp(x0 + (bottom - y0) * dxdy, 0.0, w);
    double xb = std::clamp(x0 + (top - y0) * dxdy, 0.0, w);
    int i0, i1;
    const int stripRow = row - stripBegin_;
    addPieceCells(accum_.data() + size_t(stripRow) * size_t(stride_), xa, xb, float(dy) * dir, i0,
                  i1);
    markTouched(stripRow, i0, i1);
  }
  const uint8_t* watched = watched_.data();
  for (int g = rowBegin >> kGroupShift; g <= (rowEnd - 1) >> kGroupShift; ++g) {
    if (watched[g]) {
      recordPieces(x0, y0, x1, y1, dir, chain, std::max(rowBegin, g << kGroupShift), rowEnd);
      break;
    }
  }
}

// The pieces of a rising edge in the watched rows among [rowBegin, rowEnd),
// found as addEdgeInBox finds them; apart, so as not to slow its loop.
void Rasterizer::recordPieces(double x0, double y0, double x1, double y1, float dir, uint32_t chain,
                              int rowBegin, int rowEnd) {
  const double w = width_;
  const double dxdy = (x1 - x0) / (y1 - y0);
  for (int row = rowBegin; row < rowEnd; ++row) {
    if (!watched_[size_t(row >> kGroupShift)]) continue;
    double bottom = std::max<double>(row, y0);
    double top = std::min<double>(row + 1, y1);
    if (!(top > bottom)) continue;
    double xa = std::clamp(x0 + (bottom - y0) * dxdy, 0.0, w);
    double xb = std::clamp(x0 + (top - y0) * dxdy, 0.0, w);
    // The pixels whose inside the piece crosses: [i0, i1 - 1], or i0 alone.
    const int i0 = int(std::min(xa, xb)), i1 = ceilOf(std::max(xa, xb));
    rowPieces_[row - stripBegin_].push_back(
        RowPiece{bottom, top, xa, xb, chain, int(dir), i0, std::max(i0, i1 - 1)});
  }
}

// Without antialiasing a pixel is in when its centre is: each edge adds its
// direction at the first pixel centre right of its crossing of each row's
// centre line.
void Rasterizer::addSampledEdge(double x0, double y0, double x1, double y1) {
  float dir = 1.0f;
  if (y0 > y1) {
    std::swap(x0, x1);
    std::swap(y0, y1);
    dir = -1.0f;
  }
  // Rows whose centre row + 0.5 lies in [y0, y1).
  int rowBegin = int(std::clamp(std::ceil(y0 - 0.5), double(stripBegin_), double(stripEnd_)));
  int rowEnd = int(std::clamp(std::ceil(y1 - 0.5), double(stripBegin_), double(stripEnd_)));
  for (int row = rowBegin; row < rowEnd; ++row) {
    double yc = row + 0.5;
    double x = x0 + (x1 - x0) * ((yc - y0) / (y1 - y0));
    double first = std::clamp(std::ceil(x - 0.5), 0.0, double(width_));
    accum_[size_t(row - stripBegin_) * size_t(stride_) + size_t(first)] += dir;
    markTouched(row - stripBegin_, int(first), int(first));
  }
}

namespace {

// Turns a run of accumulated winding integrals into 8-bit coverage and zeroes
// the accumulators. Branch-free and specialised so that it vectorises; the
// integrals are clamped first so that the truncation cannot overflow.
template <bool EvenOdd, bool Antialias>
void convertRun(float* __restrict cells, uint8_t* __restrict dst, int count) {
  for (int i = 0; i < count; ++i) {
    // Arithmetic and minima only, no conditional computation, so that the
    // compiler vectorises without relaxing floating-point rules.
    float a = std::min(std::fabs(cells[i]), 1.0e6f);
    cells[i] = 0.0f;
    float v;
    if constexpr (EvenOdd) {
      float folded = a - 2.0f * float(int(a * 0.5f));  // a mod 2, a >= 0
      v = 1.0f - std::fabs(1.0f - folded);             // folded or 2 - folded
    } else {
      v = std::min(a, 1.0f);
    }
    // Without antialiasing the windings are whole numbers: v is 0 or 1.
    if constexpr (!Antialias) v = float(int(v + 0.5f));
    dst[i] = uint8_t(int(v * 255.0f + 0.5f));
  }
}

// Turns cells into running sums starting from acc; returns the last sum.
// Four lanes at a time where SSE is there: the sums within a group of four
// take two shifted adds, so the dependency chain runs once a group rather
// than once a cell.
float prefixSum(float* cells, int count, float acc) {
  int i = 0;
#ifdef __SSE2__
  __m128 carry = _mm_set1_ps(acc);
  for (; i + 4 <= count; i += 4) {
    __m128 x = _mm_loadu_ps(cells + i);
    x = _mm_add_ps(x, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(x), 4)));
    x = _mm_add_ps(x, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(x), 8)));
    x = _mm_add_ps(x, carry);
    _mm_storeu_ps(cells + i, x);
    carry = _mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 3, 3));
  }
  acc = _mm_cvtss_f32(carry);
#endif
  for (; i < count; ++i) cells[i] = acc += cells[i];
  return acc;
}

#ifdef __SSE2__
// convertRun for sixteen cells at a time with antialiasing: the same
// arithmetic, with the packing to bytes done by two saturating packs
// rather than the compiler's lane shuffles. Returns how many were done.
template <bool EvenOdd>
int convertBlocks(float* __restrict cells, uint8_t* __restrict dst, int count) {
  const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
  const __m128 limit = _mm_set1_ps(1.0e6f), one = _mm_set1_ps(1.0f), half = _mm_set1_ps(0.5f);
  const __m128 two = _mm_set1_ps(2.0f), scale = _mm_set1_ps(255.0f), zero = _mm_setzero_ps();
  auto quarter = [&](float* p) {
    __m128 a = _mm_min_ps(_mm_and_ps(_mm_loadu_ps(p), absMask), limit);
    _mm_storeu_ps(p, zero);
    __m128 v;
    if constexpr (EvenOdd) {
      __m128 whole = _mm_cvtepi32_ps(_mm_cvttps_epi32(_mm_mul_ps(a, half)));
      __m128 folded = _mm_sub_ps(a, _mm_mul_ps(two, whole));
      v = _mm_sub_ps(one, _mm_and_ps(_mm_sub_ps(one, folded), absMask));
    } else {
      v = _mm_min_ps(a, one);
    }
    return _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(v, scale), half));
  };
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    __m128i lo = _mm_packs_epi32(quarter(cells + i), quarter(cells + i + 4));
    __m128i hi = _mm_packs_epi32(quarter(cells + i + 8), quarter(cells + i + 12));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(lo, hi));
  }
  return i;
}
#endif

void convertRow(float* cells, uint8_t* dst, int count, bool evenOdd, bool antialias) {
  if (antialias) {
    int done = 0;
#ifdef __SSE2__
    done =
        evenOdd ? convertBlocks<true>(cells, dst, count) : convertBlocks<false>(cells, dst, count);
#endif
    evenOdd ? convertRun<true, true>(cells + done, dst + done, count - done)
            : convertRun<false, true>(cells + done, dst + done, count - done);
    return;
  }
  evenOdd ? convertRun<true, false>(cells, dst, count)
          : convertRun<false, false>(cells, dst, count);
}

// The coverage byte of one winding integral, as convertRun gives it.
uint8_t coverageByte(float acc, bool evenOdd, bool antialias) {
  float one = acc;
  uint8_t value = 0;
  if (evenOdd)
    antialias ? convertRun<true, true>(&one, &value, 1) : convertRun<true, false>(&one, &value, 1);
  else
    antialias ? convertRun<false, true>(&one, &value, 1)
              : convertRun<false, false>(&one, &value, 1);
  return value;
}

// From i towards the row's start (walkLeft) or end (walkRight), the first
// place whose byte differs from value, stopping at bound; eight bytes at a
// time, the first differing one found from the bits that differ.
int walkLeft(const uint8_t* row, int i, int bound, uint8_t value) {
  if constexpr (std::endian::native == std::endian::little) {
    const uint64_t word = 0x0101010101010101ull * value;
    for (; i - 8 >= bound; i -= 8) {
      uint64_t w;
      std::memcpy(&w, row + i - 8, 8);
      if (uint64_t diff = w ^ word) return i - std::countl_zero(diff) / 8;
    }
  }
  while (i > bound && row[i - 1] == value) --i;
  return i;
}

int walkRight(const uint8_t* row, int i, int bound, uint8_t value) {
  if constexpr (std::endian::native == std::endian::little) {
    const uint64_t word = 0x0101010101010101ull * value;
    for (; i + 8 <= bound; i += 8) {
      uint64_t w;
      std::memcpy(&w, row + i, 8);
      if (uint64_t diff = w ^ word) return i + std::countr_zero(diff) / 8;
    }
  }
  while (i < bound && row[i] == value) ++i;
  return i;
}

}  // namespace

void Rasterizer::resolveRows(const RasterOptions& options, CoverageMask& out) {
  const bool evenOdd = options.fillRule == VG_EVEN_ODD;
  const int width = width_;
  const int chunks = (width + (1 << kChunkShift) - 1) >> kChunkShift;
  for (int row = stripBegin_; row < stripEnd_; ++row) {
    float* c = accum_.data() + size_t(row - stripBegin_) * size_t(stride_);
    uint8_t* dst = out.alpha.data() + size_t(row) * size_t(width);
    uint8_t* touched = touched_.data() + size_t(row - stripBegin_) * size_t(chunksPerRow_);
    float acc = 0.0f;
    int first = width, last = 0;
    // The longest fully covered stretch of chunks no edge touched, widened
    // pixel by pixel into its neighbours below.
    int fullFirst = 0, fullEnd = 0;
    for (int k = 0; k < chunks;) {
      // Chunks no edge touched keep the winding where it was: one fill.
      int gap = walkRight(touched, k, chunks, 0);
      if (gap > k) {
        int begin = k << kChunkShift, end = std::min(width, gap << kChunkShift);
        uint8_t value = coverageByte(acc, evenOdd, antialias_);
        std::memset(dst + begin, value, size_t(end - begin));
        // Parts of the outline past the box's right side leave the winding
        // set up to the row's end.
        if (value != 0) last = end;
        if (value == 255 && end - begin > fullEnd - fullFirst) {
          fullFirst = begin;
          fullEnd = end;
        }
        k = gap;
        if (k == chunks) break;
      }
      int run = k;
      while (run < chunks && touched[run]) touched[run++] = 0;
      int begin = k << kChunkShift, end = std::min(width, run << kChunkShift);
      first = std::min(first, begin);
      last = end;
      acc = prefixSum(c + begin, end - begin, acc);
      convertRow(c + begin, dst + begin, end - begin, evenOdd, antialias_);
      k = run;
    }
    if (!rowPieces_[row - stripBegin_].empty()) resolveClashes(row - stripBegin_, dst, evenOdd);
    if (fullFirst < fullEnd) {
      fullFirst = walkLeft(dst, fullFirst, 0, 255);
      fullEnd = walkRight(dst, fullEnd, width, 255);
    }
    // Left of the first run an edge touched the winding is 0 (edges left of
    // the box were moved onto its first column).
    if (first < last) {
      first = walkRight(dst, first, last, 0);
      last = walkLeft(dst, last, first, 0);
    }
    out.spans[size_t(row)] = {first, std::max(first, last), fullFirst, fullEnd};
    // The guard cells past the row's end, and the flags of their chunks.
    c[width] = 0.0f;
    c[width + 1] = 0.0f;
    for (int k = chunks; k < chunksPerRow_; ++k) touched[k] = 0;
  }
}

void Rasterizer::toCoverage(float* cells, uint8_t* dst, int count) {
  prefixSum(cells, count, 0.0f);
  convertRun<false, true>(cells, dst, count);
}

void Rasterizer::applyScissor(const RasterOptions& options, CoverageMask& out) {
  const IntRect& box = out.box;
  scissorMask_.assign(out.alpha.size(), 0);
  const std::vector<VGint>& rects = *options.scissorRects;
  for (size_t i = 0; i + 3 < rects.size(); i += 4) {
    IntRect r{rects[i], rects[i + 1], rects[i + 2], rects[i + 3]};
    if (r.empty()) continue;
    IntRect c = intersect(r, box);
    for (int y = c.y; y < c.y + c.height; ++y) {
      uint8_t* m =
          scissorMask_.data() + size_t(y - box.y) * size_t(box.width) + size_t(c.x - box.x);
      std::fill(m, m + c.width, uint8_t(1));
    }
  }
  for (size_t i = 0; i < out.alpha.size(); ++i) out.alpha[i] = scissorMask_[i] ? out.alpha[i] : 0;
  // The scissor may cut into the full runs; rather than search again, report none.
  for (CoverageMask::Span& s : out.spans) s.fullFirst = s.fullEnd = 0;
}

}  // namespace tq
