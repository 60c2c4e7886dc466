#include "geometry/measure.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "geometry/curves.hpp"

namespace tq {

namespace {

// Pieces for measuring; each is integrated by Gauss-Legendre quadrature,
// which is exact to rounding for smooth pieces this short.
int measurePieces(const Curve& c) {
  switch (c.kind) {
    case Curve::Line:
      return 1;
    case Curve::Cubic:
      return 32;
    default: {
      // At most 2 pi * 8; the comparison also turns a NaN sweep away.
      const double n = std::fabs(c.arc.sweep) * 8.0;
      return n < 64.0 ? static_cast<int>(n) + 1 : 64;
    }
  }
}

// Length of the curve between parameters t0 and t1.
double pieceLength(const Curve& c, double t0, double t1) {
  if (c.kind == Curve::Line) return (t1 - t0) * length(c.p[3] - c.p[0]);
  static constexpr double kNodes[5] = {0.0, -0.5384693101056831, 0.5384693101056831,
                                       -0.9061798459386640, 0.9061798459386640};
  static constexpr double kWeights[5] = {0.5688888888888889, 0.4786286704993665, 0.4786286704993665,
                                         0.2369268850561891, 0.2369268850561891};
  const double half = 0.5 * (t1 - t0), mid = 0.5 * (t0 + t1);
  double sum = 0.0;
  for (int i = 0; i < 5; ++i) sum += kWeights[i] * length(c.derivative(mid + half * kNodes[i]));
  return half * sum;
}

double curveLength(const Curve& c) {
  const int n = measurePieces(c);
  double total = 0.0;
  for (int i = 0; i < n; ++i) total += pieceLength(c, double(i) / n, double(i + 1) / n);
  return total;
}

// The unit tangent at t, falling back on nearby chords where the derivative
// vanishes (a cubic whose control point sits on its end point).
Vec2 unitTangent(const Curve& c, double t) {
  Vec2 d = c.derivative(t);
  double len = length(d);
  if (!(len > 1e-12)) {
    const double t0 = std::max(0.0, t - 1e-3), t1 = std::min(1.0, t + 1e-3);
    d = c.eval(t1) - c.eval(t0);
    len = length(d);
    if (!(len > 0.0)) {
      d = c.p[3] - c.p[0];
      len = length(d);
    }
  }
  return len > 0.0 ? (1.0 / len) * d : Vec2{1.0, 0.0};
}

// Skips to segment `first`, keeping the reference points of those before.
void skipTo(SegmentReader& reader, size_t first) {
  Segment seg;
  while (reader.index() < first && reader.next(seg)) {
  }
}

void include(Bounds& b, Vec2 p) {
  b.minX = std::min(b.minX, p.x);
  b.minY = std::min(b.minY, p.y);
  b.maxX = std::max(b.maxX, p.x);
  b.maxY = std::max(b.maxY, p.y);
}

// Parameters in (0, 1) where a t^2 + b t + c vanishes.
int quadraticRoots(double a, double b, double c, double roots[2]) {
  int n = 0;
  auto keep = [&](double t) {
    if (t > 0.0 && t < 1.0) roots[n++] = t;
  };
  const double scale = std::max({std::fabs(a), std::fabs(b), std::fabs(c)});
  if (scale == 0.0 || !std::isfinite(scale)) return 0;
  if (std::fabs(a) <= 1e-12 * scale) {
    if (b != 0.0) keep(-c / b);
    return n;
  }
  const double disc = b * b - 4.0 * a * c;
  if (disc < 0.0) return 0;
  // The stable pair of formulas: no cancellation in either root.
  const double q = -0.5 * (b + std::copysign(std::sqrt(disc), b));
  keep(q / a);
  if (q != 0.0) keep(c / q);
  return n;
}

void includeCurve(Bounds& b, const Curve& c) {
  include(b, c.p[0]);
  include(b, c.p[3]);
  if (c.kind == Curve::Cubic) {
    // The derivative of each coordinate, divided by 3, as a quadratic in t.
    const Vec2 a = c.p[3] - 3.0 * c.p[2] + 3.0 * c.p[1] - c.p[0];
    const Vec2 bb = 2.0 * (c.p[2] - 2.0 * c.p[1] + c.p[0]);
    const Vec2 cc = c.p[1] - c.p[0];
    double roots[2];
    for (int i = 0, n = quadraticRoots(a.x, bb.x, cc.x, roots); i < n; ++i)
      include(b, c.eval(roots[i]));
    for (int i = 0, n = quadraticRoots(a.y, bb.y, cc.y, roots); i < n; ++i)
      include(b, c.eval(roots[i]));
  } else if (c.kind == Curve::Arc) {
    // x = cx + a cos t + c sin t peaks at t = atan2(c, a) and half a turn on;
    // likewise y with b and d.
    const Affine& s = c.arc.shape;
    const double peaks[2] = {std::atan2(s.c, s.a), std::atan2(s.d, s.b)};
    const double twoPi = 2.0 * std::numbers::pi;
    for (double peak : peaks) {
      for (int k = 0; k < 2; ++k) {
        const double angle = peak + k * std::numbers::pi;
        // Position of the angle along the sweep, as a fraction of it.
        double along = std::fmod(angle - c.arc.t0, twoPi);
        if (c.arc.sweep < 0.0) along = -along;
        if (along < 0.0) along += twoPi;
        const double t = along / std::fabs(c.arc.sweep);
        if (t > 0.0 && t < 1.0) include(b, c.eval(t));
      }
    }
  }
}

}  // namespace

double pathLength(const Path& path, size_t first, size_t count) {
  SegmentReader reader(path, first + count);
  skipTo(reader, first);
  Segment seg;
  Curve curve;
  double total = 0.0;
  while (reader.next(seg))
    if (segmentCurve(seg, curve)) total += curveLength(curve);
  return total;
}

void pointAlongPath(const Path& path, size_t first, size_t count, double distance, Vec2& point,
                    Vec2& tangent) {
  const double total = pathLength(path, first, count);
  distance = std::isnan(distance) ? 0.0 : std::clamp(distance, 0.0, total);

  SegmentReader reader(path, first + count);
  skipTo(reader, first);
  Segment seg;
  Curve curve;
  double walked = 0.0;
  point = {};
  tangent = {1.0, 0.0};
  // The last curve with length: rounding in the sums may leave `distance`
  // just past the final piece.
  Curve last;
  bool haveLast = false;
  while (reader.next(seg)) {
    point = seg.end;
    if (!segmentCurve(seg, curve)) continue;
    const int n = measurePieces(curve);
    const double before = walked;
    for (int i = 1; i <= n; ++i) {
      const double piece = pieceLength(curve, double(i - 1) / n, double(i) / n);
      // Zero-length pieces are passed over so the tangent comes from a
      // segment that has a direction.
      if (piece > 0.0 && walked + piece >= distance) {
        // Within a piece, length is close to proportional to the parameter.
        const double f = std::clamp((distance - walked) / piece, 0.0, 1.0);
        const double at = (i - 1 + f) / n;
        point = at >= 1.0 ? curve.p[3] : curve.eval(at);
        tangent = unitTangent(curve, at);
        return;
      }
      walked += piece;
    }
    if (walked > before) {
      last = curve;
      haveLast = true;
    }
  }
  if (haveLast) {
    point = last.p[3];
    tangent = unitTangent(last, 1.0);
  }
}

bool pathBounds(const Path& path, const Matrix* m, Bounds& out) {
  out = {INFINITY, INFINITY, -INFINITY, -INFINITY};
  const Affine map = m ? Affine::from(*m) : Affine{};
  SegmentReader reader(path);
  Segment seg;
  Curve curve;
  bool any = false;
  while (reader.next(seg)) {
    if (!segmentCurve(seg, curve)) continue;
    if (m) curve.transform(map);
    includeCurve(out, curve);
    any = true;
  }
  return any;
}

}  // namespace tq
