#include "gl/pieces.hpp"

#include <algorithm>
#include <cstring>

namespace tq {
namespace {

// x = base + slope * y, y counted in rows from the box's bottom.
struct Line {
  double base = 0;
  double slope = 0;
  double at(double y) const { return base + slope * y; }
};

// A solid interior narrower than this goes with the blended pixels: its own
// trapezoid would cost more than it saves.
constexpr double kMinSolidWidth = 4.0;

// The line through the values of rows first and last (at the rows' centres)
// and, from fit(), that line moved just far enough that every used row's
// value lies on one side of it: the line is then a lower bound of the
// values, or an upper bound. Pixel centres sit half a pixel off the integer
// values, so rounding the result to float cannot move a centre across it.
Line through(int first, int last, double v0, double v1) {
  double y0 = first + 0.5, y1 = last + 0.5;
  Line line;
  line.slope = last > first ? (v1 - v0) / (y1 - y0) : 0.0;
  line.base = v0 - line.slope * y0;
  return line;
}

template <class Value, class Used>
Line fit(int first, int last, const Value& value, const Used& used, bool lowerBound) {
  Line line = through(first, last, value(first), value(last));
  double shift = 0.0;
  for (int r = first; r <= last; ++r) {
    if (!used(r)) continue;
    double excess = line.at(r + 0.5) - value(r);
    shift = lowerBound ? std::max(shift, excess) : std::min(shift, excess);
  }
  line.base -= shift;
  return line;
}

bool ordered(const Line& a, const Line& b, double y0, double y1, double gap = 0.0) {
  return a.at(y0) + gap <= b.at(y0) && a.at(y1) + gap <= b.at(y1);
}

Trapezoid between(const Line& left, const Line& right, int bottom, int top) {
  return Trapezoid{float(bottom),           float(top),          float(left.at(bottom)),
                   float(right.at(bottom)), float(left.at(top)), float(right.at(top))};
}

double area(const Line& left, const Line& right, int bottom, int top) {
  return 0.5 * double(top - bottom) *
         (right.at(bottom) - left.at(bottom) + right.at(top) - left.at(top));
}

// What compositing costs on a software rasteriser, in shared units: a
// blended pixel (coverage read and blend), a solid one, and a trapezoid's
// own setup and the blocks its edges cut. Measured on llvmpipe; only the
// ratios matter.
constexpr double kBlendedPixelCost = 10.0;
constexpr double kSolidPixelCost = 4.0;
constexpr double kQuadCost = 2000.0;
// Floor division by 4 that holds for negative values too.
int blockOf(int v) { return v >> 2; }

class Planner {
 public:
  Planner(const CoverageMask& mask, bool solidInterior, CoverPieces& out)
      : spans_(mask.spans), width_(mask.box.width), solidInterior_(solidInterior), out_(out) {
    // Per row, the least any cover can cost: its partial pixels blended and
    // its full run solid. Summed from the bottom so that a band's bound is
    // one subtraction.
    std::vector<double>& bound = out_.rowBound;
    bound.resize(spans_.size() + 1);
    bound[0] = 0.0;
    for (size_t r = 0; r < spans_.size(); ++r) {
      const CoverageMask::Span& s = spans_[r];
      double covered = std::max(0, s.end - s.first);
      double full = solidInterior_ ? std::max(0, s.fullEnd - s.fullFirst) : 0.0;
      bound[r + 1] = bound[r] + kBlendedPixelCost * (covered - full) + kSolidPixelCost * full;
    }
  }

  // Rows [row, last) lie in one block of `size` rows that starts at a
  // multiple of size counted from `origin` rows below the box. Chooses one
  // band for them or, where cheaper, the best cover of each half, and
  // appends the choice to the band list. Returns its cost.
  double plan(int row, int last, int origin, int size, int finest) {
    size_t mark = out_.bands.size();
    CoverPieces::Band chosen;
    int firstUsed, lastUsed;
    double whole = band(row, last, chosen, firstUsed, lastUsed);
    int half = size / 2;
    int mid = (origin + row) / size * size + half - origin;
    // A split costs at least its rows' bound and a trapezoid for each half
    // that has covered rows: when the whole band costs no more, no split
    // can beat it.
    int pieces = firstUsed < mid && lastUsed >= mid ? 2 : 1;
    double bound = out_.rowBound[size_t(last)] - out_.rowBound[size_t(row)] + pieces * kQuadCost;
    if (size > finest && whole > bound) {
      double split = mid <= row || mid >= last ? plan(row, last, origin, half, finest)
                                               : plan(row, mid, origin, half, finest) +
                                                     plan(mid, last, origin, half, finest);
      if (split < whole) return split;
      out_.bands.resize(mark);
    }
    if (whole > 0.0) out_.bands.push_back(chosen);
    return whole;
  }

  void emit() {
    for (const CoverPieces::Band& b : out_.bands) {
      out_.blended.push_back(b.pieces[0]);
      if (b.count == 3) {
        out_.solid.push_back(b.pieces[1]);
        out_.blended.push_back(b.pieces[2]);
      }
    }
  }

 private:
  const CoverageMask::Span& span(int r) const { return spans_[size_t(r)]; }

  // Covers rows [row, last) with at most three trapezoids whose sides follow
  // the rows' spans: one over the full runs when they are wide enough, and
  // the coverage on either side of it, into cover, and the first and last
  // covered rows into firstUsed and lastUsed (-1 when none). Returns their
  // cost, 0 when no row is covered.
  double band(int row, int last, CoverPieces::Band& cover, int& firstUsed, int& lastUsed) {
    auto covered = [&](int r) { return span(r).first < span(r).end; };
    firstUsed = lastUsed = -1;
    int minFirst = width_, maxEnd = 0;
    bool full = solidInterior_;
    for (int r = row; r < last; ++r) {
      const CoverageMask::Span& s = span(r);
      full = full && s.fullFirst < s.fullEnd;
      if (s.first >= s.end) continue;
      if (firstUsed < 0) firstUsed = r;
      lastUsed = r;
      minFirst = std::min(minFirst, s.first);
      maxEnd = std::max(maxEnd, s.end);
    }
    if (firstUsed < 0) return 0.0;

    // Between the outer sides lies every covered centre, between the inner
    // sides only fully covered ones. When every row has a full run all four
    // sides are fitted in one pass over the rows.
    Line left, right, innerLeft, innerRight;
    if (full) {
      const CoverageMask::Span &a = span(row), &b = span(last - 1);
      left = through(row, last - 1, a.first, b.first);
      right = through(row, last - 1, a.end, b.end);
      innerLeft = through(row, last - 1, a.fullFirst, b.fullFirst);
      innerRight = through(row, last - 1, a.fullEnd, b.fullEnd);
      double shift[4] = {0.0, 0.0, 0.0, 0.0};
      for (int r = row; r < last; ++r) {
        const CoverageMask::Span& s = span(r);
        double y = r + 0.5;
        shift[0] = std::max(shift[0], left.at(y) - s.first);
        shift[1] = std::min(shift[1], right.at(y) - s.end);
        shift[2] = std::min(shift[2], innerLeft.at(y) - s.fullFirst);
        shift[3] = std::max(shift[3], innerRight.at(y) - s.fullEnd);
      }
      left.base -= shift[0];
      right.base -= shift[1];
      innerLeft.base -= shift[2];
      innerRight.base -= shift[3];
    } else {
      left = fit(
          firstUsed, lastUsed, [&](int r) { return double(span(r).first); }, covered, true);
      right = fit(
          firstUsed, lastUsed, [&](int r) { return double(span(r).end); }, covered, false);
    }
    // The outer sides stay inside the box, where the coverage is defined.
    const Line vertical[2] = {Line{double(minFirst), 0.0}, Line{double(maxEnd), 0.0}};
    if (std::min(left.at(row), left.at(last)) < 0.0) left = vertical[0];
    if (std::max(right.at(row), right.at(last)) > width_) right = vertical[1];

    if (full) {
      if (ordered(left, innerLeft, row, last) &&
          ordered(innerLeft, innerRight, row, last, kMinSolidWidth) &&
          ordered(innerRight, right, row, last)) {
        cover = {{between(left, innerLeft, row, last), between(innerLeft, innerRight, row, last),
                  between(innerRight, right, row, last)},
                 3};
        return kBlendedPixelCost *
                   (area(left, innerLeft, row, last) + area(innerRight, right, row, last)) +
               kSolidPixelCost * area(innerLeft, innerRight, row, last) + 3.0 * kQuadCost;
      }
    }
    if (!ordered(left, right, row, last)) {
      left = vertical[0];
      right = vertical[1];
    }
    cover.pieces[0] = between(left, right, row, last);
    cover.count = 1;
    return kBlendedPixelCost * area(left, right, row, last) + kQuadCost;
  }

  const std::vector<CoverageMask::Span>& spans_;
  int width_;
  bool solidInterior_;
  CoverPieces& out_;
};

}  // namespace

void coverMask(const CoverageMask& mask, bool solidInterior, CoverPieces& out, int minRows) {
  out.solid.clear();
  out.blended.clear();
  out.bands.clear();
  out.blocks.clear();
  out.squares.clear();
  const int height = mask.box.height, width = mask.box.width;
  if (height <= 0 || width <= 0 || int(mask.spans.size()) < height) return;
  // Band heights are powers of two, and bands start at surface rows that are
  // multiples of their height, so that their edges fall between the
  // rasteriser's blocks of rows rather than through them.
  int finest = 1;
  while (finest < std::max(1, minRows) && finest < (1 << 20)) finest *= 2;
  int coarsest = std::max(64, finest);
  while (height / coarsest > 32) coarsest *= 2;
  const int origin = ((mask.box.y % coarsest) + coarsest) % coarsest;
  Planner planner(mask, solidInterior, out);
  for (int row = 0; row < height;) {
    int last = std::min(height, (origin + row) / coarsest * coarsest + coarsest - origin);
    planner.plan(row, last, origin, coarsest, finest);
    row = last;
  }
  planner.emit();
}

void coverMaskWithBlocks(const CoverageMask& mask, CoverPieces& out, int maxLevel) {
  out.solid.clear();
  out.blended.clear();
  out.bands.clear();
  out.blocks.clear();
  out.squares.clear();
  const IntRect& box = mask.box;
  if (box.empty() || int(mask.spans.size()) < box.height) return;
  enum : uint8_t { EMPTY = 0, FULL = 1 };
  // Level k holds, per square of 2^k x 2^k blocks on the surface's grid,
  // whether all of it is full; each level has a border of empty cells, so
  // that the children and the parent of any cell inside can be read without
  // checks.
  struct Level {
    int col0, row0, cols, rows;  // the first cell inside, and the size with the border
    uint8_t* cells;
    uint8_t* at(int col, int row) const {
      return cells + size_t(row - row0 + 1) * size_t(cols) + size_t(col - col0 + 1);
    }
  };
  const int top = std::clamp(maxLevel, 0, 7);
  Level levels[8];
  size_t offsets[8], size = 0;
  for (int k = 0; k <= top; ++k) {
    Level& l = levels[k];
    int first = blockOf(box.x) >> k, last = blockOf(box.x + box.width - 1) >> k;
    int bottom = blockOf(box.y) >> k, topRow = blockOf(box.y + box.height - 1) >> k;
    l = {first, bottom, last - first + 3, topRow - bottom + 3, nullptr};
    offsets[k] = size;
    size += size_t(l.cols) * size_t(l.rows);
  }
  out.grid.assign(size, EMPTY);
  for (int k = 0; k <= top; ++k) levels[k].cells = out.grid.data() + offsets[k];

  const Level& base = levels[0];
  for (int row = base.row0; row < base.row0 + base.rows - 2; ++row) {
    // The rows of the box this row of blocks holds.
    const int r0 = std::max(0, row * 4 - box.y), r1 = std::min(box.height, row * 4 + 4 - box.y);
    int lo = box.width, hi = 0, fullLo = 0, fullHi = r1 - r0 == 4 ? box.width : 0;
    for (int r = r0; r < r1; ++r) {
      const CoverageMask::Span& s = mask.spans[size_t(r)];
      if (s.first < s.end) {
        lo = std::min(lo, s.first);
        hi = std::max(hi, s.end);
      }
      fullLo = std::max(fullLo, s.fullFirst);
      fullHi = std::min(fullHi, s.fullEnd);
    }
    if (lo >= hi) continue;
    // Blocks wholly inside every row's full run are full.
    int fullFirst = 0, fullEnd = 0;
    if (fullLo < fullHi) {
      fullFirst = blockOf(box.x + fullLo + 3);
      fullEnd = std::max(fullFirst, blockOf(box.x + fullHi));
    }
    uint8_t* g = base.at(base.col0, row);
    for (int c = fullFirst; c < fullEnd; ++c) g[c - base.col0] = FULL;
    // The others with a covered pixel are blended; rows with holes leave
    // uncovered stretches inside their spans, so each block is looked at.
    for (int c = blockOf(box.x + lo), c1 = blockOf(box.x + hi - 1); c <= c1; ++c) {
      if (c == fullFirst && fullFirst < fullEnd) {
        c = fullEnd - 1;
        continue;
      }
      const int x0 = std::max(0, c * 4 - box.x), x1 = std::min(box.width, c * 4 + 4 - box.x);
      for (int r = r0; r < r1; ++r) {
        const uint8_t* a = mask.alpha.data() + size_t(r) * size_t(box.width);
        uint32_t word = 0;
        if (x1 - x0 == 4) {
          std::memcpy(&word, a + x0, 4);
        } else {
          for (int x = x0; x < x1; ++x) word |= a[x];
        }
        if (word) {
          out.blocks.push_back(Square{c * 4 - box.x, row * 4 - box.y, 0});
          break;
        }
      }
    }
  }
  // Full blocks merge into squares: a square goes out at the highest level
  // at which it is full.
  for (int k = 1; k <= top; ++k) {
    const Level &l = levels[k], &below = levels[k - 1];
    for (int row = l.row0; row < l.row0 + l.rows - 2; ++row) {
      uint8_t* g = l.at(l.col0, row);
      // The children's first column; the border covers the one before.
      const uint8_t* c0 = below.at(2 * l.col0, 2 * row);
      const uint8_t* c1 = below.at(2 * l.col0, 2 * row + 1);
      for (int i = 0; i < l.cols - 2; ++i)
        g[i] = c0[2 * i] & c0[2 * i + 1] & c1[2 * i] & c1[2 * i + 1];
    }
  }
  for (int k = top; k >= 0; --k) {
    const Level& l = levels[k];
    for (int row = l.row0; row < l.row0 + l.rows - 2; ++row) {
      const uint8_t* g = l.at(l.col0, row);
      const Level* up = k < top ? &levels[k + 1] : nullptr;
      for (int col = l.col0; col < l.col0 + l.cols - 2; ++col) {
        if (!g[col - l.col0] || (up && *up->at(col >> 1, row >> 1))) continue;
        out.squares.push_back(Square{(col << k) * 4 - box.x, (row << k) * 4 - box.y, k});
      }
    }
  }
}

}  // namespace tq
