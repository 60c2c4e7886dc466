#include "geometry/stroke.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>

#include "geometry/curves.hpp"
#include "geometry/dash.hpp"
#include "geometry/flatten.hpp"

namespace tq {

namespace {

constexpr double kPi = std::numbers::pi;

Vec2 left(Vec2 d) { return {-d.y, d.x}; }
double cross(Vec2 a, Vec2 b) { return a.x * b.y - a.y * b.x; }
Vec2 toVec(Point p) { return {p.x, p.y}; }

// Writes one convex piece at a time, mapped to the surface and turned
// counter-clockwise there; pieces with no area or a non-finite point are
// dropped, and none are started once the output cap is near.
class PieceWriter {
 public:
  PieceWriter(Polygon& out, const Affine& m) : out_(out), m_(m) {}

  bool full() const { return full_; }

  void begin() {
    start_ = out_.points.size();
    bad_ = false;
    if (start_ > kMaxStrokePoints - kMaxArcPieces - 8) full_ = true;
  }

  void add(Vec2 p) {
    const Vec2 q = m_.apply(p);
    // Beyond the float range the conversion is undefined: such a piece is dropped.
    if (!(std::fabs(q.x) <= FLT_MAX && std::fabs(q.y) <= FLT_MAX)) bad_ = true;
    out_.points.push_back(bad_ ? Point{0, 0} : Point{float(q.x), float(q.y)});
  }

  void end() {
    auto& pts = out_.points;
    if (full_ || bad_) {
      pts.resize(start_);
      return;
    }
    const size_t n = pts.size() - start_;
    double area = 0.0;
    for (size_t i = 0; i < n; ++i) {
      const Point& a = pts[start_ + i];
      const Point& b = pts[start_ + (i + 1 < n ? i + 1 : 0)];
      area += double(a.x) * b.y - double(b.x) * a.y;
    }
    if (!(std::fabs(area) > 0.0) || !std::isfinite(area)) {
      pts.resize(start_);
      return;
    }
    if (area < 0.0) std::reverse(pts.begin() + ptrdiff_t(start_), pts.end());
    out_.contourEnds.push_back(uint32_t(pts.size()));
  }

 private:
  Polygon& out_;
  Affine m_;
  size_t start_ = 0;
  bool full_ = false;
  bool bad_ = false;
};

class Stroker {
 public:
  Stroker(PieceWriter& w, const StrokeStyle& style, double tolerance)
      : w_(w), h_(0.5 * double(style.width)), cap_(style.cap), join_(style.join) {
    miterLimit_ = style.miterLimit > 1.0f ? double(style.miterLimit) : 1.0;
    // A chord spanning angle a of a circle of radius h leaves it by at most
    // h (1 - cos(a / 2)); at least four chords a circle keep dots round-ish.
    const double x = 1.0 - tolerance / h_;
    arcStep_ = x > -1.0 ? std::min(2.0 * std::acos(x), kPi / 2) : kPi / 2;
    if (!(arcStep_ > 0.0)) arcStep_ = kPi / kMaxArcPieces;
    cosStep_ = std::cos(arcStep_);
  }

  void subpath(const Polyline& in, uint32_t first, const Polyline::Subpath& sub) {
    const uint32_t n = sub.end - first;
    const Point* p = in.points.data() + first;
    const uint8_t* corners = in.corners.data() + first;
    const uint32_t segments = sub.closed ? n : n - 1;
    Vec2 d0{}, prev{};
    uint32_t last = 0;  // the end vertex of the last segment drawn
    bool any = false;
    for (uint32_t i = 0; i < segments && !w_.full(); ++i) {
      const uint32_t j = i + 1 < n ? i + 1 : 0;
      const Vec2 a = toVec(p[i]), b = toVec(p[j]);
      const double len = length(b - a);
      if (!(len > 0.0) || !std::isfinite(len)) continue;  // no direction: no join, no turn
      const Vec2 d = (1.0 / len) * (b - a);
      if (any) {
        join(a, prev, d, corners[i] != 0);
      } else {
        d0 = d;
      }
      segment(a, b, d);
      prev = d;
      last = j;
      any = true;
    }
    if (!any) {
      const Vec2 axis = toVec(sub.dotAxis);
      const double len = length(axis);
      dotAt(toVec(p[0]), len > 0.0 && std::isfinite(len) ? (1.0 / len) * axis : Vec2{1, 0});
    } else if (sub.closed) {
      join(toVec(p[0]), prev, d0, corners[0] != 0);
    } else {
      cap(toVec(p[0]), -1.0 * d0);
      cap(toVec(p[last]), prev);
    }
  }

 private:
  void segment(Vec2 a, Vec2 b, Vec2 d) {
    const Vec2 n = h_ * left(d);
    w_.begin();
    w_.add(a - n);
    w_.add(b - n);
    w_.add(b + n);
    w_.add(a + n);
    w_.end();
  }

  // The wedge on the outer side of the turn from d0 to d1 at v. Inside a
  // flattened curve it is always round: the offset turns with the curve.
  void join(Vec2 v, Vec2 d0, Vec2 d1, bool corner) {
    const double c = dot(d0, d1), s = cross(d0, d1);
    if (s == 0.0 && c > 0.0) return;
    // Outer normals: right of the path for a left turn. A full reversal
    // counts as a left turn, its round join the half disc ahead.
    const bool turnsLeft = !(s < 0.0);
    const Vec2 o0 = turnsLeft ? -1.0 * left(d0) : left(d0);
    const Vec2 o1 = turnsLeft ? -1.0 * left(d1) : left(d1);
    const VGJoinStyle style = corner ? join_ : VG_JOIN_ROUND;
    w_.begin();
    w_.add(v);
    w_.add(v + h_ * o0);
    if (style == VG_JOIN_MITER) {
      // Miter length over line width is 1 / sin(half the angle between the
      // segments), which is 1 / cos(half the turn).
      const double cosHalf = std::sqrt(std::max(0.5 * (1.0 + c), 0.0));
      if (cosHalf * miterLimit_ >= 1.0) w_.add(v + (h_ / (1.0 + c)) * (o0 + o1));
    } else if (style == VG_JOIN_ROUND && c < cosStep_) {
      const double turn = std::fabs(std::atan2(s, c));
      arc(v, h_ * o0, turnsLeft ? turn : -turn, pieces(turn));
    }
    w_.add(v + h_ * o1);
    w_.end();
  }

  // The cap at end point p of a subpath whose direction there, pointing out
  // of the stroke, is d.
  void cap(Vec2 p, Vec2 d) {
    if (cap_ == VG_CAP_BUTT || w_.full()) return;
    const Vec2 n = h_ * left(d);
    w_.begin();
    w_.add(p + n);
    if (cap_ == VG_CAP_SQUARE) {
      w_.add(p + n + h_ * d);
      w_.add(p - n + h_ * d);
    } else {
      arc(p, n, -kPi, pieces(kPi));
    }
    w_.add(p - n);
    w_.end();
  }

  // A subpath that never left p: the cap's shape, square ones turned to axis.
  void dotAt(Vec2 p, Vec2 axis) {
    if (cap_ == VG_CAP_BUTT || w_.full()) return;
    const Vec2 u = h_ * axis, v = h_ * left(axis);
    w_.begin();
    if (cap_ == VG_CAP_SQUARE) {
      w_.add(p - u - v);
      w_.add(p + u - v);
      w_.add(p + u + v);
      w_.add(p - u + v);
    } else {
      w_.add(p + u);
      arc(p, u, 2.0 * kPi, std::max(pieces(2.0 * kPi), 4));
    }
    w_.end();
  }

  int pieces(double angle) const {
    const double k = std::ceil(angle / arcStep_);
    return k < kMaxArcPieces ? std::max(int(k), 1) : kMaxArcPieces;
  }

  // The points strictly inside an arc round c from c + r, turning by `angle`
  // in `count` chords.
  void arc(Vec2 c, Vec2 r, double angle, int count) {
    const double step = angle / count, cs = std::cos(step), sn = std::sin(step);
    for (int i = 1; i < count; ++i) {
      r = {cs * r.x - sn * r.y, sn * r.x + cs * r.y};
      w_.add(c + r);
    }
  }

  PieceWriter& w_;
  double h_;
  VGCapStyle cap_;
  VGJoinStyle join_;
  double miterLimit_ = 1.0;
  double arcStep_ = kPi / 2;
  double cosStep_ = 0.0;
};

}  // namespace

void strokePath(const Path& path, const StrokeStyle& style, const Matrix& userToSurface,
                float surfaceTolerance, StrokeScratch& scratch, Polygon& out) {
  out.clear();
  if (!(style.width > 0.0f) || !std::isfinite(style.width)) return;
  const double tol = userTolerance(userToSurface, surfaceTolerance);
  if (!(tol > 0.0)) return;

  // Half the tolerance for the centre line, half for the round parts: where a
  // curve's offset is rounded by its pieces' joins both errors add up.
  flattenPolylines(path, Matrix::identity(), 0.5 * tol, scratch.lines);
  const Polyline* lines = &scratch.lines;
  const DashPattern pattern{style.dashes, style.dashPhase, style.dashPhaseReset};
  if (dashes(pattern)) {
    dashPolylines(scratch.lines, pattern, scratch.dashed, scratch.head);
    lines = &scratch.dashed;
  }

  PieceWriter writer(out, Affine::from(userToSurface));
  Stroker stroker(writer, style, 0.5 * tol);
  uint32_t first = 0;
  for (const Polyline::Subpath& sub : lines->subpaths) {
    if (writer.full()) break;
    stroker.subpath(*lines, first, sub);
    first = sub.end;
  }
}

}  // namespace tq
