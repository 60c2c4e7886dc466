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
      // From the squared differences: one root, none where one piece will
      // do (most curves of a path of many tiny ones).
      const Vec2 e1 = c.p[0] - 2.0 * c.p[1] + c.p[2], e2 = c.p[1] - 2.0 * c.p[2] + c.p[3];
      const double d2 = std::max(dot(e1, e1), dot(e2, e2));
      const double one = tol / 0.75;
      if (d2 <= one * one) return 1;
      return clampPieces(std::sqrt(0.75 * std::sqrt(d2) / tol));
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

// Fills: every contour closed, those without area dropped.
class ContourBuilder {
 public:
  static constexpr bool kEndTangents = false;

  explicit ContourBuilder(Polygon& out) : out_(out) {}

  bool isOpen() const { return open_; }

  void begin(Vec2 p) {
    finish();
    open_ = true;
    bad_ = false;
    first_ = static_cast<uint32_t>(out_.points.size());
    add(p);
  }

  size_t size() const { return out_.points.size(); }

  void add(Vec2 p, bool /*corner*/ = true) {
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

  void finish(bool /*closed*/ = true) {
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

// Strokes: open and closed subpaths kept as they are, single points included.
class PolylineBuilder {
 public:
  // Caps and joins at a curve's ends take their direction from its first and
  // last pieces: a point near each end turns those to the true tangent.
  static constexpr bool kEndTangents = true;

  PolylineBuilder(Polyline& out, Point dotAxis) : out_(out), dotAxis_(dotAxis) {}

  bool isOpen() const { return open_; }
  size_t size() const { return out_.points.size(); }

  void begin(Vec2 p) {
    finish(false);
    open_ = true;
    bad_ = false;
    first_ = static_cast<uint32_t>(out_.points.size());
    add(p, true);
  }

  void add(Vec2 p, bool corner) {
    const Point q{static_cast<float>(p.x), static_cast<float>(p.y)};
    if (!std::isfinite(q.x) || !std::isfinite(q.y)) bad_ = true;
    if (bad_) return;
    if (out_.points.size() > first_) {
      const Point& last = out_.points.back();
      // A zero-length piece: no direction, so no join of its own.
      if (last.x == q.x && last.y == q.y) {
        out_.corners.back() |= uint8_t(corner);
        return;
      }
    }
    out_.points.push_back(q);
    out_.corners.push_back(uint8_t(corner));
  }

  void finish(bool closed) {
    if (!open_) return;
    open_ = false;
    auto& pts = out_.points;
    if (bad_) {
      pts.resize(first_);
      out_.corners.resize(first_);
      return;
    }
    if (closed) {
      if (pts.size() - first_ > 1) {
        const Point& a = pts[first_];
        const Point& b = pts.back();
        if (a.x == b.x && a.y == b.y) {
          pts.pop_back();
          out_.corners.pop_back();
        }
      }
      out_.corners[first_] = 1;  // the join between the last and first segment
    }
    out_.subpaths.push_back({static_cast<uint32_t>(pts.size()), closed, dotAxis_});
  }

 private:
  Polyline& out_;
  Point dotAxis_;
  bool open_ = false;
  bool bad_ = false;
  uint32_t first_ = 0;
};

// The cubic's points at t = i / pieces for 0 < i < pieces, by forward
// differences: three additions a coordinate and step where evaluating the
// polynomial takes a dozen products. In double precision the sums drift by
// far less than a float's step over any number of pieces a segment gets.
template <class Sink>
void addCubicSteps(const Curve& c, int pieces, Sink& sink) {
  const double h = 1.0 / pieces, h2 = h * h, h3 = h2 * h;
  const Vec2 a = -1.0 * c.p[0] + 3.0 * c.p[1] - 3.0 * c.p[2] + c.p[3];
  const Vec2 b = 3.0 * c.p[0] - 6.0 * c.p[1] + 3.0 * c.p[2];
  const Vec2 d = 3.0 * (c.p[1] - c.p[0]);
  Vec2 f = c.p[0];
  Vec2 df = h3 * a + h2 * b + h * d;
  Vec2 ddf = 6.0 * h3 * a + 2.0 * h2 * b;
  const Vec2 dddf = 6.0 * h3 * a;
  for (int i = 1; i < pieces; ++i) {
    f = f + df;
    df = df + ddf;
    ddf = ddf + dddf;
    sink.add(f, false);
  }
}

// Flattens every segment of `path` mapped by `m` into `sink`.
template <class Sink>
void flattenInto(const Path& path, const Affine& m, double tol, Sink& sink) {
  SegmentReader reader(path);
  Segment seg;
  Curve curve;
  while (reader.next(seg)) {
    if (seg.kind == SegmentKind::Move) {
      sink.finish(false);
      continue;
    }
    if (!segmentCurve(seg, curve)) {
      // An arc between coincident points: a segment that goes nowhere.
      if (!sink.isOpen()) sink.begin(m.apply(seg.start));
      continue;
    }
    curve.transform(m);
    if (!sink.isOpen()) sink.begin(curve.p[0]);
    const int pieces = sink.size() < kMaxFlattenedPoints ? piecesFor(curve, tol) : 1;
    const double step = 1.0 / pieces;
    if (Sink::kEndTangents && pieces > 1) sink.add(curve.eval(step / 64), false);
    if (curve.kind == Curve::Cubic && pieces > 2) {
      addCubicSteps(curve, pieces, sink);
    } else {
      for (int i = 1; i < pieces; ++i) sink.add(curve.eval(i * step), false);
    }
    if (Sink::kEndTangents && pieces > 1) sink.add(curve.eval(1.0 - step / 64), false);
    sink.add(curve.p[3], true);
    if (seg.kind == SegmentKind::Close) sink.finish(true);
  }
  sink.finish(false);
}

}  // namespace

void flattenPath(const Path& path, const Matrix& userToSurface, float tolerance, Polygon& out) {
  out.clear();
  if (!userToSurface.isFinite()) return;
  // Below this the float output cannot resolve the difference anyway.
  const double tol = tolerance >= 1e-4f ? double(tolerance) : 1e-4;
  ContourBuilder contour(out);
  flattenInto(path, Affine::from(userToSurface), tol, contour);
}

void flattenPolylines(const Path& path, const Matrix& m, double tolerance, Polyline& out) {
  out.clear();
  if (!m.isFinite()) return;
  const double tol = tolerance > 0.0 ? tolerance : 1e-4;
  PolylineBuilder lines(out, {m.m[0], m.m[1]});
  flattenInto(path, Affine::from(m), tol, lines);
}

double userTolerance(const Matrix& userToSurface, float surfaceTolerance) {
  if (!userToSurface.isFinite()) return 0.0;
  const double stretch = Affine::from(userToSurface).maxStretch();
  const double tol = surfaceTolerance >= 1e-4f ? std::min(double(surfaceTolerance), 1e6) : 1e-4;
  const double user = tol / stretch;
  return user > 0.0 && std::isfinite(user) ? user : 0.0;
}

}  // namespace tq
