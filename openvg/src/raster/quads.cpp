#include "raster/quads.hpp"

#include <algorithm>

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

Quad between(const Line& left, const Line& right, int bottom, int top) {
  return Quad{float(bottom),           float(top),          float(left.at(bottom)),
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
  Planner(const CoverageMask& mask, bool solidInterior, QuadSet& out)
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
    QuadSet::Band chosen;
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
    for (const QuadSet::Band& b : out_.bands) {
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
  double band(int row, int last, QuadSet::Band& cover, int& firstUsed, int& lastUsed) {
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
  QuadSet& out_;
};

}  // namespace

void coverMask(const CoverageMask& mask, bool solidInterior, QuadSet& out, int minRows) {
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



void coverMaskWithBlocks(const CoverageMask& mask, QuadSet& out, int maxLevel) {
  out.solid.clear();
  out.blended.clear();
  out.bands.clear();
  out.blocks.clear();
  out.squares.clear();
  const IntRect& box = mask.box;
  if (box.empty() || int(mask.spans.size()) < box.height) return;
  const int col0 = blockOf(box.x), row0 = blockOf(box.y);
  const int cols = blockOf(box.x + box.width - 1) - col0 + 1;
  const int rows = blockOf(box.y + box.height - 1) - row0 + 1;
  // Per block: empty, blended or full.
  out.grid.assign(size_t(cols) * size_t(rows), 0);
  enum : uint8_t { EMPTY = 0, BLENDED = 1, FULL = 2 };
  for (int row = 0; row < rows; ++row) {
    // The rows of the box this row of blocks holds.
    const int r0 = std::max(0, (row0 + row) * 4 - box.y);
    const int r1 = std::min(box.height, (row0 + row) * 4 + 4 - box.y);
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
    uint8_t* g = out.grid.data() + size_t(row) * size_t(cols);
    // Blocks wholly inside every row's full run are full.
    int fullFirst = fullLo < fullHi ? blockOf(box.x + fullLo + 3) - col0 : 0;
    int fullEnd = fullLo < fullHi ? blockOf(box.x + fullHi) - col0 : 0;
    for (int c = fullFirst; c < fullEnd; ++c) g[c] = FULL;
    // The others with a covered pixel are blended; rows with holes leave
    // uncovered stretches inside their spans, so each block is looked at.
    for (int c = lo < hi ? blockOf(box.x + lo) - col0 : 0,
             c1 = lo < hi ? blockOf(box.x + hi - 1) - col0 : -1;
         c <= c1; ++c) {
      if (g[c] == FULL) {
        c = fullEnd - 1;
        continue;
      }
      const int x0 = std::max(0, (col0 + c) * 4 - box.x),
                x1 = std::min(box.width, (col0 + c) * 4 + 4 - box.x);
      for (int r = r0; r < r1 && g[c] == EMPTY; ++r) {
        const uint8_t* a = mask.alpha.data() + size_t(r) * size_t(box.width);
        for (int x = x0; x < x1; ++x) {
          if (a[x]) {
            g[c] = BLENDED;
            break;
          }
        }
      }
    }
  }
  for (int row = 0; row < rows; ++row) {
    const uint8_t* g = out.grid.data() + size_t(row) * size_t(cols);
    for (int c = 0; c < cols; ++c) {
      if (g[c] == BLENDED)
        out.blocks.push_back(Block{(col0 + c) * 4 - box.x, (row0 + row) * 4 - box.y, 0});
    }
  }
  // Full blocks merge into squares aligned on the surface's grid. Level k
  // holds, per square of 2^k x 2^k blocks, whether all of it is full, built
  // from level k - 1; a square goes out at the highest level at which it is.
  struct Level {
    int col0, row0, cols, rows;
    size_t offset;
  };
  Level levels[8];
  const int top = std::clamp(maxLevel, 0, 7);
  levels[0] = {col0, row0, cols, rows, 0};
  size_t size = size_t(cols) * size_t(rows);
  for (int k = 1; k <= top; ++k) {
    const Level& below = levels[k - 1];
    Level& l = levels[k];
    l.col0 = below.col0 >> 1;
    l.row0 = below.row0 >> 1;
    l.cols = ((below.col0 + below.cols - 1) >> 1) - l.col0 + 1;
    l.rows = ((below.row0 + below.rows - 1) >> 1) - l.row0 + 1;
    l.offset = size;
    size += size_t(l.cols) * size_t(l.rows);
  }
  out.grid.resize(size);
  auto cell = [&](int k, int col, int row) -> uint8_t& {
    const Level& l = levels[k];
    return out.grid[l.offset + size_t(row - l.row0) * size_t(l.cols) + size_t(col - l.col0)];
  };
  auto fullAt = [&](int k, int col, int row) {
    const Level& l = levels[k];
    return col >= l.col0 && col < l.col0 + l.cols && row >= l.row0 && row < l.row0 + l.rows &&
           cell(k, col, row) == FULL;
  };
  for (int k = 1; k <= top; ++k) {
    const Level& l = levels[k];
    for (int row = l.row0; row < l.row0 + l.rows; ++row) {
      for (int col = l.col0; col < l.col0 + l.cols; ++col) {
        bool full = fullAt(k - 1, 2 * col, 2 * row) && fullAt(k - 1, 2 * col + 1, 2 * row) &&
                    fullAt(k - 1, 2 * col, 2 * row + 1) && fullAt(k - 1, 2 * col + 1, 2 * row + 1);
        cell(k, col, row) = full ? FULL : EMPTY;
      }
    }
  }
  for (int k = top; k >= 0; --k) {
    const Level& l = levels[k];
    for (int row = l.row0; row < l.row0 + l.rows; ++row) {
      for (int col = l.col0; col < l.col0 + l.cols; ++col) {
        if (cell(k, col, row) != FULL || (k < top && fullAt(k + 1, col >> 1, row >> 1))) continue;
        out.squares.push_back(Block{(col << k) * 4 - box.x, (row << k) * 4 - box.y, k});
      }
    }
  }
}

}  // namespace tq
