// Rows whose pixels hold more than two windings: accumulated again with the
// fill rule applied to each region rather than to the pixel's sum.
//
// The row is cut into slabs at every end of an edge piece and every crossing
// of two pieces. Inside a slab the pieces keep their left-to-right order, so
// the winding between two neighbours is constant; each piece then adds its
// part of the slab weighted by how much the fill rule's value changes across
// it, and the row's prefix sum gives the filled area exactly.
#include <algorithm>

#include "raster/coverage.hpp"

namespace tq {
namespace {

// Up to this many pieces in a row, with up to this many crossings, the cuts
// are exact; the pairwise crossing test bounds the work.
constexpr size_t kExactPieces = 64;
constexpr size_t kExactCrossings = 512;
// Up to this many, the row is cut into fixed slabs ordered at their middle,
// so a crossing is placed only to within a slab's height. Beyond it the row
// keeps the winding integral, as hostile input deserves.
constexpr size_t kSlabbedPieces = 4096;
constexpr int kFixedSlabs = 32;

}  // namespace

void Rasterizer::accumulateRegions(int stripRow, int strip, bool evenOdd) {
  const int row = stripBegin_ + stripRow;
  const double w = width_;
  // The row's pieces, found the way addEdgeInBox finds them, so that their
  // ends meet as they did there.
  pieces_.clear();
  auto take = [&](uint32_t i) {
    const Edge& e = edges_[i];
    if (row < e.firstRow || row >= e.lastRow) return;
    double x0 = e.x0, y0 = e.y0, x1 = e.x1, y1 = e.y1;
    int dir = 1;
    if (y0 > y1) {
      std::swap(x0, x1);
      std::swap(y0, y1);
      dir = -1;
    }
    double bottom = std::max<double>(row, y0), top = std::min<double>(row + 1, y1);
    if (!(top > bottom)) return;
    double dxdy = (x1 - x0) / (y1 - y0);
    double xb = std::clamp(x0 + (bottom - y0) * dxdy, 0.0, w);
    double xt = std::clamp(x0 + (top - y0) * dxdy, 0.0, w);
    pieces_.push_back(Piece{bottom, top, xb, xt, (xt - xb) / (top - bottom), dir, 0, bottom});
  };
  for (uint32_t i : active_) take(i);
  for (uint32_t j = stripStart_[size_t(strip)]; j < stripStart_[size_t(strip) + 1]; ++j)
    take(order_[j]);
  if (pieces_.size() > kSlabbedPieces) return;
  ++regionRows_;
  float* cell = accum_.data() + size_t(stripRow) * size_t(stride_);
  std::fill(cell, cell + stride_, 0.0f);

  auto xAt = [](const Piece& p, double y) { return y >= p.y1 ? p.x1 : p.x0 + (y - p.y0) * p.dxdy; };
  // A piece's part since its weight last changed, up to y.
  auto emit = [&](Piece& p, double y) {
    if (p.weight != 0 && y > p.from)
      addRowPiece(stripRow, xAt(p, p.from), xAt(p, y), float(y - p.from) * float(p.weight));
    p.from = y;
  };
  // From the bottom up, so that a piece only meets those that overlap it.
  std::sort(pieces_.begin(), pieces_.end(),
            [](const Piece& a, const Piece& b) { return a.y0 < b.y0; });
  breaks_.clear();
  bool exact = pieces_.size() <= kExactPieces;
  if (exact) {
    for (const Piece& p : pieces_) {
      breaks_.push_back(p.y0);
      breaks_.push_back(p.y1);
    }
    const size_t limit = breaks_.size() + kExactCrossings;
    for (size_t a = 0; a < pieces_.size() && exact; ++a) {
      const Piece& p = pieces_[a];
      for (size_t b = a + 1; b < pieces_.size() && pieces_[b].y0 < p.y1; ++b) {
        const Piece& q = pieces_[b];
        double lo = q.y0, hi = std::min(p.y1, q.y1);
        double d0 = xAt(p, lo) - q.x0, d1 = xAt(p, hi) - xAt(q, hi);
        if (!((d0 < 0 && d1 > 0) || (d0 > 0 && d1 < 0))) continue;
        if (breaks_.size() == limit) {
          exact = false;
          break;
        }
        breaks_.push_back(lo + (hi - lo) * (d0 / (d0 - d1)));
      }
    }
  }
  if (!exact) {
    // Every piece still spans whole slabs, so at every height of a slab the
    // same pieces carry the same weights and the winding they pass on to the
    // right of the row cancels; only where pieces cross inside a slab is the
    // order, and so the coverage, approximate.
    breaks_.clear();
    for (const Piece& p : pieces_) {
      breaks_.push_back(p.y0);
      breaks_.push_back(p.y1);
    }
    for (int k = 0; k <= kFixedSlabs; ++k) breaks_.push_back(row + double(k) / kFixedSlabs);
  }
  breaks_.push_back(row);
  breaks_.push_back(row + 1);
  std::sort(breaks_.begin(), breaks_.end());

  // The pieces across each slab, kept in their order at its middle; each
  // adds its part in one go for as long as its weight holds.
  ordered_.clear();
  size_t next = 0;
  for (size_t k = 0; k + 1 < breaks_.size(); ++k) {
    const double ya = breaks_[k], yb = breaks_[k + 1];
    if (!(yb > ya)) continue;
    const double mid = 0.5 * (ya + yb);
    size_t kept = 0;
    for (const Ordered& o : ordered_) {
      Piece& p = pieces_[o.piece];
      if (p.y1 > ya)
        ordered_[kept++] = o;
      else
        emit(p, p.y1);
    }
    ordered_.resize(kept);
    for (; next < pieces_.size() && pieces_[next].y0 < yb; ++next) {
      if (pieces_[next].y1 > ya) ordered_.push_back(Ordered{0.0, uint32_t(next)});
    }
    for (size_t i = 0; i < ordered_.size(); ++i) {
      const Piece& p = pieces_[ordered_[i].piece];
      Ordered o{xAt(p, std::clamp(mid, p.y0, p.y1)), ordered_[i].piece};
      size_t j = i;
      for (; j > 0 && ordered_[j - 1].x > o.x; --j) ordered_[j] = ordered_[j - 1];
      ordered_[j] = o;
    }
    int winding = 0;
    for (const Ordered& o : ordered_) {
      Piece& p = pieces_[o.piece];
      const int before = winding;
      winding += p.dir;
      const int weight = evenOdd ? (winding & 1) - (before & 1) : (winding != 0) - (before != 0);
      if (weight == p.weight) continue;
      emit(p, std::max(ya, p.y0));
      p.weight = weight;
    }
  }
  for (const Ordered& o : ordered_) emit(pieces_[o.piece], pieces_[o.piece].y1);
}

}  // namespace tq
