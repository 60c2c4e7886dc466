// Drawable geometry of one segment: a line, a cubic (quadratics are raised to
// cubics, which is exact) or an elliptical arc given by its centre and the
// affine map of the unit circle onto the ellipse. An affine matrix maps each
// kind onto the same kind, which lets flattening and bounds work in surface
// space.
#pragma once

#include "core/matrix.hpp"
#include "geometry/segments.hpp"

namespace tq {

// An affine map in double precision: (a x + c y + e, b x + d y + f).
struct Affine {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

  static Affine from(const Matrix& m) { return {m.m[0], m.m[1], m.m[3], m.m[4], m.m[6], m.m[7]}; }
  Vec2 apply(Vec2 p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
  Vec2 applyLinear(Vec2 v) const { return {a * v.x + c * v.y, b * v.x + d * v.y}; }
  double det() const { return a * d - b * c; }
  // The largest factor by which the map stretches a vector.
  double maxStretch() const;
};

// The arc's ellipse as centre + M (cos t, sin t) for t from t0 to t0 + sweep
// (sweep > 0 runs counter-clockwise in the ellipse's own frame).
struct EllipseArc {
  Vec2 centre;
  Affine shape;  // linear part only; e and f stay zero
  double t0 = 0.0;
  double sweep = 0.0;
};

enum class ArcShape { Empty, Line, Ellipse };

// Applies the endpoint rules to an arc from p0 to p1 of the given type
// (VG_SCCWARC_TO .. VG_LCWARC_TO): radii taken as absolute values and scaled
// up uniformly when too small to reach p1. Coincident end points draw nothing;
// a zero (or non-finite) radius or rotation makes a straight line.
ArcShape resolveArc(Vec2 p0, Vec2 p1, double rh, double rv, double rotationDeg, VGubyte type,
                    EllipseArc& out);

// The radii and rotation (degrees) of the ellipse `m` maps the unit circle to.
void ellipseAxes(const Affine& m, double& rh, double& rv, double& rotationDeg);

struct Curve {
  enum Kind { Line, Cubic, Arc } kind = Line;
  // Line: p[0], p[3]. Cubic: p[0..3]. Arc: exact end points p[0], p[3].
  Vec2 p[4];
  EllipseArc arc;

  // t in [0, 1] over the whole curve.
  Vec2 eval(double t) const;
  Vec2 derivative(double t) const;
  void transform(const Affine& m);
};

// The geometry `seg` draws; false for a move or for nothing to draw.
bool segmentCurve(const Segment& seg, Curve& out);

}  // namespace tq
