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

// The line through the values of rows first and last (at the rows' centres),
// moved just far enough that every used row's value lies on one side of it:
// the line is then a lower bound of the values, or an upper bound. Pixel
// centres sit half a pixel off the integer values, so rounding the result to
// float cannot move a centre across it.
template <class Value, class Used>
Line fit(int first, int last, const Value& value, const Used& used, bool lowerBound) {
  double y0 = first + 0.5, y1 = last + 0.5;
  double v0 = value(first), v1 = value(last);
  Line line;
  line.slope = last > first ? (v1 - v0) / (y1 - y0) : 0.0;
  line.base = v0 - line.slope * y0;
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

void add(std::vector<Quad>& quads, const Line& left, const Line& right, int bottom, int top) {
  quads.push_back(Quad{float(bottom), float(top), float(left.at(bottom)), float(right.at(bottom)),
                       float(left.at(top)), float(right.at(top))});
}

}  // namespace

void coverMask(const CoverageMask& mask, bool solidInterior, int minRows, int maxBands,
               QuadSet& out) {
  out.solid.clear();
  out.blended.clear();
  const int height = mask.box.height, width = mask.box.width;
  if (height <= 0 || width <= 0 || int(mask.spans.size()) < height) return;
  maxBands = std::max(1, maxBands);
  const int rowsPerBand = std::max(std::max(1, minRows), (height + maxBands - 1) / maxBands);
  const std::vector<CoverageMask::Span>& spans = mask.spans;
  auto span = [&](int r) -> const CoverageMask::Span& { return spans[size_t(r)]; };
  auto covered = [&](int r) { return span(r).first < span(r).end; };
  auto any = [](int) { return true; };

  auto hasFull = [&](int r) { return span(r).fullFirst < span(r).fullEnd; };
  int bands = 0;
  for (int row = 0, last = 0; row < height; row = last) {
    // A band ends where rows start or stop having full runs, so that no band
    // with a solid interior is lost to a few rows without one.
    last = std::min(height, row + rowsPerBand);
    if (++bands == maxBands) last = height;
    if (solidInterior) {
      for (int r = row + 1; r < last; ++r) {
        if (hasFull(r) != hasFull(row)) {
          last = r;
          break;
        }
      }
    }
    int firstUsed = -1, lastUsed = -1, minFirst = width, maxEnd = 0;
    bool full = solidInterior;
    for (int r = row; r < last; ++r) {
      const CoverageMask::Span& s = span(r);
      full = full && hasFull(r);
      if (s.first >= s.end) continue;
      if (firstUsed < 0) firstUsed = r;
      lastUsed = r;
      minFirst = std::min(minFirst, s.first);
      maxEnd = std::max(maxEnd, s.end);
    }
    if (firstUsed < 0) continue;

    // Between the outer sides lies every covered centre; they stay inside
    // the box, where the coverage is defined.
    Line left = fit(
        firstUsed, lastUsed, [&](int r) { return double(span(r).first); }, covered, true);
    Line right = fit(
        firstUsed, lastUsed, [&](int r) { return double(span(r).end); }, covered, false);
    const Line vertical[2] = {Line{double(minFirst), 0.0}, Line{double(maxEnd), 0.0}};
    if (std::min(left.at(row), left.at(last)) < 0.0) left = vertical[0];
    if (std::max(right.at(row), right.at(last)) > width) right = vertical[1];

    if (full) {
      // Between the inner sides only fully covered centres.
      Line innerLeft = fit(
          row, last - 1, [&](int r) { return double(span(r).fullFirst); }, any, false);
      Line innerRight = fit(
          row, last - 1, [&](int r) { return double(span(r).fullEnd); }, any, true);
      if (ordered(left, innerLeft, row, last) &&
          ordered(innerLeft, innerRight, row, last, kMinSolidWidth) &&
          ordered(innerRight, right, row, last)) {
        add(out.blended, left, innerLeft, row, last);
        add(out.solid, innerLeft, innerRight, row, last);
        add(out.blended, innerRight, right, row, last);
        continue;
      }
    }
    if (!ordered(left, right, row, last)) {
      left = vertical[0];
      right = vertical[1];
    }
    add(out.blended, left, right, row, last);
  }
}

}  // namespace tq
