#include "geometry/curves.hpp"

#include <cmath>
#include <numbers>

namespace tq {

double Affine::maxStretch() const {
  const double p = a * a + c * c, q = b * b + d * d, r = a * b + c * d;
  const double half = 0.5 * (p - q);
  return std::sqrt(0.5 * (p + q) + std::sqrt(half * half + r * r));
}

void ellipseAxes(const Affine& m, double& rh, double& rv, double& rotationDeg) {
  // Eigen-decomposition of m m^T: its eigenvalues are the squared radii and
  // its major eigenvector the direction of the first axis.
  const double p = m.a * m.a + m.c * m.c, q = m.b * m.b + m.d * m.d, r = m.a * m.b + m.c * m.d;
  const double half = 0.5 * (p - q);
  const double major = 0.5 * (p + q) + std::sqrt(half * half + r * r);
  rh = std::sqrt(major);
  // det^2 = product of the eigenvalues; avoids cancellation for thin ellipses.
  rv = major > 0.0 ? std::fabs(m.det()) / rh : 0.0;
  rotationDeg = 0.5 * std::atan2(2.0 * r, p - q) * (180.0 / std::numbers::pi);
}

ArcShape resolveArc(Vec2 p0, Vec2 p1, double rh, double rv, double rotationDeg, VGubyte type,
                    EllipseArc& out) {
  if (p0 == p1) return ArcShape::Empty;
  rh = std::fabs(rh);
  rv = std::fabs(rv);
  if (!(rh > 0.0 && rv > 0.0) || !std::isfinite(rh) || !std::isfinite(rv) ||
      !std::isfinite(rotationDeg))
    return ArcShape::Line;
  const double theta = std::fmod(rotationDeg, 360.0) * (std::numbers::pi / 180.0);
  const double cs = std::cos(theta), sn = std::sin(theta);

  // The chord in the frame where the ellipse is the unit circle.
  const Vec2 chord = p1 - p0;
  Vec2 d{(cs * chord.x + sn * chord.y) / rh, (-sn * chord.x + cs * chord.y) / rv};
  Vec2 mid = 0.5 * d;
  double half2 = dot(mid, mid);
  if (!std::isfinite(half2) || half2 == 0.0) return ArcShape::Line;
  double offset = 0.0;
  if (half2 >= 1.0) {
    const double k = std::sqrt(half2);
    rh *= k;
    rv *= k;
    d = (1.0 / k) * d;
    mid = 0.5 * d;
    half2 = 1.0;
  } else {
    offset = std::sqrt((1.0 - half2) / half2);
  }
  // The centre left of the chord gives the small counter-clockwise arc and the
  // large clockwise one.
  const bool ccw = type == VG_SCCWARC_TO || type == VG_LCCWARC_TO;
  const bool large = type == VG_LCCWARC_TO || type == VG_LCWARC_TO;
  const double side = (ccw != large) ? 1.0 : -1.0;
  const Vec2 cu{mid.x - side * offset * mid.y, mid.y + side * offset * mid.x};

  // The sweep follows from the half chord h in the unit frame: 2 asin(h) for
  // the small arc. A difference of the end points' angles would cancel away
  // for radii that dwarf the chord, where the sweep is tiny.
  const double a0 = std::atan2(-cu.y, -cu.x);
  const double small = 2.0 * std::asin(std::min(std::sqrt(half2), 1.0));
  const double magnitude = large ? 2.0 * std::numbers::pi - small : small;
  const double sweep = ccw ? magnitude : -magnitude;

  out.shape = {cs * rh, sn * rh, -sn * rv, cs * rv, 0.0, 0.0};
  out.centre = p0 + out.shape.applyLinear(cu);
  out.t0 = a0;
  out.sweep = sweep;
  return ArcShape::Ellipse;
}

Vec2 Curve::eval(double t) const {
  switch (kind) {
    case Line:
      return p[0] + t * (p[3] - p[0]);
    case Cubic: {
      const double u = 1.0 - t;
      const double b0 = u * u * u, b1 = 3.0 * u * u * t, b2 = 3.0 * u * t * t, b3 = t * t * t;
      return {b0 * p[0].x + b1 * p[1].x + b2 * p[2].x + b3 * p[3].x,
              b0 * p[0].y + b1 * p[1].y + b2 * p[2].y + b3 * p[3].y};
    }
    default: {
      if (t <= 0.0) return p[0];
      if (t >= 1.0) return p[3];
      // Relative to the start point, with the difference of the cosines and
      // sines as products: the centre may lie far beyond float range of the
      // points (a huge radius), and centre + radius would lose them.
      const double s = t * arc.sweep;
      const double a = arc.t0 + 0.5 * s;
      const double k = 2.0 * std::sin(0.5 * s);
      return p[0] + arc.shape.applyLinear({-k * std::sin(a), k * std::cos(a)});
    }
  }
}

Vec2 Curve::derivative(double t) const {
  switch (kind) {
    case Line:
      return p[3] - p[0];
    case Cubic: {
      const double u = 1.0 - t;
      return 3.0 * (u * u) * (p[1] - p[0]) + 6.0 * (u * t) * (p[2] - p[1]) +
             3.0 * (t * t) * (p[3] - p[2]);
    }
    default: {
      const double a = arc.t0 + t * arc.sweep;
      return arc.sweep * arc.shape.applyLinear({-std::sin(a), std::cos(a)});
    }
  }
}

void Curve::transform(const Affine& m) {
  for (Vec2& q : p) q = m.apply(q);
  if (kind == Arc) {
    arc.centre = m.apply(arc.centre);
    const Affine s = arc.shape;
    arc.shape = {m.a * s.a + m.c * s.b,
                 m.b * s.a + m.d * s.b,
                 m.a * s.c + m.c * s.d,
                 m.b * s.c + m.d * s.d,
                 0.0,
                 0.0};
  }
}

bool segmentCurve(const Segment& seg, Curve& out) {
  out.p[0] = seg.start;
  out.p[3] = seg.end;
  switch (seg.kind) {
    case SegmentKind::Move:
      return false;
    case SegmentKind::Line:
    case SegmentKind::Close:
      out.kind = Curve::Line;
      return true;
    case SegmentKind::Quad:
      out.kind = Curve::Cubic;
      out.p[1] = seg.start + (2.0 / 3.0) * (seg.ctrl[0] - seg.start);
      out.p[2] = seg.end + (2.0 / 3.0) * (seg.ctrl[0] - seg.end);
      return true;
    case SegmentKind::Cubic:
      out.kind = Curve::Cubic;
      out.p[1] = seg.ctrl[0];
      out.p[2] = seg.ctrl[1];
      return true;
    case SegmentKind::Arc:
      switch (resolveArc(seg.start, seg.end, seg.rh, seg.rv, seg.rotation, seg.type(), out.arc)) {
        case ArcShape::Empty:
          return false;
        case ArcShape::Line:
          out.kind = Curve::Line;
          return true;
        case ArcShape::Ellipse:
          out.kind = Curve::Arc;
          return true;
      }
  }
  return false;
}

}  // namespace tq
