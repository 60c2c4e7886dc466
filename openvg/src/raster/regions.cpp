// Pixels whose winding takes more than two values, or two that are not
// adjacent: their coverage is computed again with the fill rule applied to
// each region rather than to the pixel's summed winding.
//
// In a watched row the pieces are grouped into clusters of pixel columns
// that their column ranges link. A cluster reached by one run is exact
// already; so is one reached by two runs of opposite direction that do not
// cross in the row and end inside it only where they join (the winding
// there is w between them and w +- 1 elsewhere). Every other cluster is cut
// into slabs at every end of a piece and every crossing of two pieces.
// Inside a slab the pieces keep their left-to-right order, so the winding
// between two neighbours is constant; each piece then adds its part of the
// slab weighted by how much the fill rule's value changes across it, and the
// cluster's running sum gives the filled area exactly. The winding left of a
// cluster comes from the pieces left of it; no run crosses the cluster's
// sides, so it changes only where such a piece's run ends.
#include <algorithm>
#include <cmath>

#include "raster/coverage.hpp"

namespace tq {
namespace {

// Work on one cluster is bounded by about kSlabWork piece-slabs. Up to
// kExactPieces pieces whose crossings keep within it, the cuts are exact.
// Beyond, the cluster is cut into fixed slabs ordered at their middle, so a
// crossing is placed only to within a slab's height: as many slabs as the
// work allows, at least kFewestSlabs. Beyond kSlabbedPieces the pixels keep
// the winding integral, as hostile input deserves.
constexpr size_t kSlabWork = size_t(1) << 16;
constexpr size_t kExactPieces = 128;
constexpr size_t kSlabbedPieces = 4096;
constexpr size_t kFewestSlabs = 32;
constexpr size_t kMostSlabs = 256;

// Sorts a few elements in place; rows hold a handful of pieces, for which
// this beats std::sort.
template <typename T, typename Less>
void sortFew(std::vector<T>& v, Less less) {
  if (v.size() > 24) {
    std::sort(v.begin(), v.end(), less);
    return;
  }
  for (size_t i = 1; i < v.size(); ++i) {
    T t = v[i];
    size_t j = i;
    for (; j > 0 && less(t, v[j - 1]); --j) v[j] = v[j - 1];
    v[j] = t;
  }
}

}  // namespace

void Rasterizer::resolveClashes(int stripRow, uint8_t* dst, bool evenOdd) {
  std::vector<RowPiece>& row = rowPieces_[stripRow];
  const int y = stripBegin_ + stripRow;
  // Pieces past the right side show nothing.
  columns_.clear();
  for (const RowPiece& p : row)
    if (p.first < width_) columns_.push_back(Column{p.first, p.last, p.chain});
  sortFew(columns_, [](const Column& a, const Column& b) { return a.first < b.first; });
  bool resolved = false;
  // Each cluster reads the whole row: past this many pieces read, the row's
  // other clusters keep the summed result, so hostile rows of many clashes
  // stay bounded.
  constexpr size_t kRowWork = size_t(1) << 20;
  size_t work = 0;
  for (size_t i = 0; i < columns_.size();) {
    const int c0 = columns_[i].first;
    int reach = columns_[i].last;
    const uint32_t a = columns_[i].chain;
    uint32_t b = a;
    bool many = false;
    size_t j = i + 1;
    for (; j < columns_.size() && columns_[j].first <= reach; ++j) {
      reach = std::max(reach, columns_[j].last);
      const uint32_t c = columns_[j].chain;
      if (c == a || c == b) continue;
      many = b != a;
      b = c;
      if (many) {
        for (++j; j < columns_.size() && columns_[j].first <= reach; ++j)
          reach = std::max(reach, columns_[j].last);
        break;
      }
    }
    if (b != a && work < kRowWork && (many || !keepsTwoWindings(row, a, b, y))) {
      work += row.size();
      resolveCluster(stripRow, c0, reach, dst, evenOdd);
      resolved = true;
    }
    i = j;
  }
  regionRows_ += resolved;
  row.clear();
}

// Whether runs a and b, alone in some pixels of row y, leave the winding
// there two adjacent values: they run opposite ways, end inside the row
// only where they join each other, and do not cross in it.
bool Rasterizer::keepsTwoWindings(const std::vector<RowPiece>& row, uint32_t a, uint32_t b,
                                  int y) const {
  const Chain& ca = chains_[a];
  const Chain& cb = chains_[b];
  if (ca.dir == 0 || ca.dir != -cb.dir) return false;
  auto inside = [&](double v) { return v > y && v < y + 1; };
  const bool as = inside(ca.yStart), ae = inside(ca.yEnd);
  const bool bs = inside(cb.yStart), be = inside(cb.yEnd);
  if (as || ae || bs || be) {
    const bool aThenB = ca.next == b && ae && bs && !as && !be;
    const bool bThenA = cb.next == a && be && as && !bs && !ae;
    if (!aThenB && !bThenA) return false;
  }
  // Most often one lies left of the other (an apex opening sideways).
  constexpr double kTouch = 1e-9;
  double loA = INFINITY, hiA = -INFINITY, loB = INFINITY, hiB = -INFINITY;
  for (const RowPiece& p : row) {
    if (!(p.y1 > p.y0)) continue;
    const double lo = std::min(p.x0, p.x1), hi = std::max(p.x0, p.x1);
    if (p.chain == a) {
      loA = std::min(loA, lo);
      hiA = std::max(hiA, hi);
    } else if (p.chain == b) {
      loB = std::min(loB, lo);
      hiB = std::max(hiB, hi);
    }
  }
  if (hiA <= loB + kTouch || hiB <= loA + kTouch) return true;
  // Both are polylines in y; where they overlap, their difference in x is
  // linear between the ends of any two pieces, so its sign at those ends
  // tells whether they cross. Meeting at a shared end is not crossing.
  constexpr size_t kPairs = 256;
  size_t pairs = 0;
  int side = 0;
  auto xAt = [](const RowPiece& p, double v) {
    return v <= p.y0 ? p.x0
                     : (v >= p.y1 ? p.x1 : p.x0 + (v - p.y0) * ((p.x1 - p.x0) / (p.y1 - p.y0)));
  };
  for (const RowPiece& p : row) {
    if (p.chain != a || !(p.y1 > p.y0)) continue;
    for (const RowPiece& q : row) {
      if (q.chain != b || !(q.y1 > q.y0)) continue;
      const double lo = std::max(p.y0, q.y0), hi = std::min(p.y1, q.y1);
      if (lo > hi) continue;
      if (++pairs > kPairs) return false;
      for (double v : {lo, hi}) {
        const double d = xAt(p, v) - xAt(q, v);
        const int s = d > kTouch ? 1 : (d < -kTouch ? -1 : 0);
        if (s == 0) continue;
        if (side == -s) return false;
        side = s;
      }
    }
  }
  return true;
}

void Rasterizer::resolveCluster(int stripRow, int c0, int c1, uint8_t* dst, bool evenOdd) {
  const std::vector<RowPiece>& row = rowPieces_[stripRow];
  const double bottom = stripBegin_ + stripRow, top = bottom + 1;
  // The cluster's pieces measured from its first column, and the ends of
  // the pieces left of it, which change the winding there.
  pieces_.clear();
  events_.clear();
  for (const RowPiece& p : row) {
    if (!(p.y1 > p.y0) || p.first > c1) continue;
    if (p.last < c0) {
      events_.push_back(Event{p.y0, p.dir});
      events_.push_back(Event{p.y1, -p.dir});
      continue;
    }
    const double x0 = p.x0 - c0, x1 = p.x1 - c0;
    pieces_.push_back(Piece{p.y0, p.y1, x0, x1, (x1 - x0) / (p.y1 - p.y0), p.dir, 0, p.y0});
  }
  if (pieces_.size() > kSlabbedPieces) return;
  const int count = c1 - c0 + 1;
  // One cell more than the cluster's columns: a piece on its right side
  // (x == count) writes its next cell too.
  clusterCells_.assign(size_t(count) + 2, 0.0f);
  float* cells = clusterCells_.data();

  auto xAt = [](const Piece& p, double y) { return y >= p.y1 ? p.x1 : p.x0 + (y - p.y0) * p.dxdy; };
  // A piece's part since its weight last changed, up to y; kept inside the
  // cells against rounding.
  const double right = count;
  auto emit = [&](Piece& p, double y) {
    if (p.weight != 0 && y > p.from)
      addPiece(cells, std::clamp(xAt(p, p.from), 0.0, right), std::clamp(xAt(p, y), 0.0, right),
               float(y - p.from) * float(p.weight));
    p.from = y;
  };
  auto filled = [&](int w) { return evenOdd ? (w & 1) : int(w != 0); };
  // From the bottom up, so that a piece only meets those that overlap it.
  sortFew(pieces_, [](const Piece& a, const Piece& b) { return a.y0 < b.y0; });
  sortFew(events_, [](const Event& a, const Event& b) { return a.y < b.y; });
  breaks_.clear();
  const size_t n = pieces_.size();
  bool exact = n <= kExactPieces;
  if (exact) {
    for (const Piece& p : pieces_) {
      breaks_.push_back(p.y0);
      breaks_.push_back(p.y1);
    }
    const size_t limit = breaks_.size() + std::max<size_t>(512, kSlabWork / std::max<size_t>(n, 1));
    for (size_t a = 0; a < n && exact; ++a) {
      const Piece& p = pieces_[a];
      for (size_t b = a + 1; b < n && pieces_[b].y0 < p.y1; ++b) {
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
    breaks_.clear();
    const size_t slabs = std::clamp(kSlabWork / n, kFewestSlabs, kMostSlabs);
    for (size_t k = 0; k <= slabs; ++k) breaks_.push_back(bottom + double(k) / double(slabs));
  }
  // Where the winding left of the cluster changes: ends of pieces there
  // that no other piece's start or end cancels.
  for (size_t e = 0; e < events_.size();) {
    const double at = events_[e].y;
    int change = 0;
    for (; e < events_.size() && events_[e].y == at; ++e) change += events_[e].dir;
    if (change != 0 && at > bottom && at < top) breaks_.push_back(at);
  }
  breaks_.push_back(bottom);
  breaks_.push_back(top);
  std::sort(breaks_.begin(), breaks_.end());

  // The pieces across each slab, kept in their order at its middle; each
  // adds its part in one go for as long as its weight holds. The region
  // left of every piece adds its value to the whole cluster.
  ordered_.clear();
  size_t next = 0, nextEvent = 0;
  int left = 0;
  double base = 0;
  for (size_t k = 0; k + 1 < breaks_.size(); ++k) {
    const double ya = breaks_[k], yb = breaks_[k + 1];
    if (!(yb > ya)) continue;
    for (; nextEvent < events_.size() && events_[nextEvent].y <= ya; ++nextEvent)
      left += events_[nextEvent].dir;
    base += (yb - ya) * filled(left);
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
    for (; next < n && pieces_[next].y0 < yb; ++next) {
      if (pieces_[next].y1 > ya) ordered_.push_back(Ordered{0.0, uint32_t(next)});
    }
    for (size_t i = 0; i < ordered_.size(); ++i) {
      const Piece& p = pieces_[ordered_[i].piece];
      Ordered o{xAt(p, std::clamp(mid, p.y0, p.y1)), ordered_[i].piece};
      size_t j = i;
      for (; j > 0 && ordered_[j - 1].x > o.x; --j) ordered_[j] = ordered_[j - 1];
      ordered_[j] = o;
    }
    int winding = left;
    for (const Ordered& o : ordered_) {
      Piece& p = pieces_[o.piece];
      const int before = winding;
      winding += p.dir;
      const int weight = filled(winding) - filled(before);
      if (weight == p.weight) continue;
      emit(p, std::max(ya, p.y0));
      p.weight = weight;
    }
  }
  for (const Ordered& o : ordered_) emit(pieces_[o.piece], pieces_[o.piece].y1);
  cells[0] += float(base);
  toCoverage(cells, dst + c0, count);
}

}  // namespace tq
