#include "geometry/flatten.hpp"

#include <algorithm>
#include <cmath>

#include "geometry/curves.hpp"

namespace tq {

namespace {

// Pieces for a curve whose exact bound says `pieces` are needed; NaN and huge
// values are clamped here so the conversion to int is always defined.
int clampPieces(double pieces) {
  if (!(pieces < kMaxPiecesPerSegment)) return kMaxPiecesPerSegment;
  return pieces < 1.0 ? 1 : static_cast<int>(std::ceil(pieces));
}

// Pieces that keep a flattened curve within `tol` of the true curve.
int piecesFor(const Curve& c, double tol) {
  switch (c.kind) {
    case Curve::Line:
      return 1;
    case Curve::Cubic: {
      // Wang's bound for uniform parameter steps: the deviation is at most
      // 3 * 2 / 8 * max |second difference of the control points| / n^2.
      const double d1 = length(c.p[0] - 2.0 * c.p[1] + c.p[2]);
      const double d2 = length(c.p[1] - 2.0 * c.p[2] + c.p[3]);
      return clampPieces(std::sqrt(0.75 * std::max(d1, d2) / tol));
    }
    default: {
      // A chord spanning an angle phi of the unit-circle parameter leaves the
      // image circle by at most stretch * (1 - cos(phi / 2)), which is
      // 2 stretch sin^2(phi / 4); in this form a huge stretch keeps its
      // precision.
      const double stretch = c.arc.shape.maxStretch();
      const double s = std::sqrt(0.5 * tol / stretch);
      if (!(s < 1.0)) return clampPieces(std::fabs(c.arc.sweep) / std::numbers::pi);
      return clampPieces(std::fabs(c.arc.sweep) / (4.0 * std::asin(s)));
    }
  }
}

class ContourBuilder {
 public:
  explicit ContourBuilder(Polygon& out) : out_(out) {}

  bool isOpen() const { return open_; }

  void begin(Vec2 p) {
    finish();
    open_ = true;
    bad_ = false;
    first_ = static_cast<uint32_t>(out_.points.size());
    add(p);
  }

  void add(Vec2 p) {
    const Point q{static_cast<float>(p.x), static_cast<float>(p.y)};
    if (!std::isfinite(q.x) || !std::isfinite(q.y)) {
      // Keep nothing more of a contour that can no longer be drawn.
      bad_ = true;
      return;
    }
    if (bad_) return;
    if (out_.points.size() > first_) {
      const Point& last = out_.points.back();
      if (last.x == q.x && last.y == q.y) return;
    }
    out_.points.push_back(q);
  }

  void finish() {
    if (!open_) return;
    open_ = false;
    auto& pts = out_.points;
    if (pts.size() - first_ > 1) {
      const Point& a = pts[first_];
      const Point& b = pts.back();
      if (a.x == b.x && a.y == b.y) pts.pop_back();  // closing is implicit
    }
    if (bad_ || pts.size() - first_ < 3) {
      pts.resize(first_);
      return;
    }
    out_.contourEnds.push_back(static_cast<uint32_t>(pts.size()));
  }

 private:
  Polygon& out_;
  bool open_ = false;
  bool bad_ = false;
  uint32_t first_ = 0;
};

}  // namespace

void flattenPath(const Path& path, const Matrix& userToSurface, float tolerance, Polygon& out) {
  out.clear();
  if (!userToSurface.isFinite()) return;
  // Below this the float output cannot resolve the difference anyway.
  const double tol = tolerance >= 1e-4f ? double(tolerance) : 1e-4;
  const Affine m = Affine::from(userToSurface);

  ContourBuilder contour(out);
  SegmentReader reader(path);
  Segment seg;
  Curve curve;
  while (reader.next(seg)) {
    if (seg.kind == SegmentKind::Move) {
      contour.finish();
      continue;
    }
    if (!segmentCurve(seg, curve)) continue;
    curve.transform(m);
    if (!contour.isOpen()) contour.begin(curve.p[0]);
    const int pieces = out.points.size() < kMaxFlattenedPoints ? piecesFor(curve, tol) : 1;
    const double step = 1.0 / pieces;
    for (int i = 1; i < pieces; ++i) contour.add(curve.eval(i * step));
    contour.add(curve.p[3]);
    if (seg.kind == SegmentKind::Close) contour.finish();
  }
  contour.finish();
}

}  // namespace tq
