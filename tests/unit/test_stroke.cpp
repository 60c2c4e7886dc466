// Stroking against the true stroked shape: segments' rectangles, joins' wedges,
// caps, curves' normal sweeps, dashes found by arc length, all built here from
// the geometry, compared at 16 x 16 samples a pixel with the non-zero winding
// of the stroker's contours.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "geometry/curves.hpp"
#include "geometry/dash.hpp"
#include "geometry/stroke.hpp"
#include "test_path_support.hpp"
#include "test_raster_support.hpp"

namespace tq::test {
namespace {

constexpr double kPi = std::numbers::pi;
double cross(Vec2 a, Vec2 b) { return a.x * b.y - a.y * b.x; }
Vec2 unit(Vec2 v) { return (1.0 / length(v)) * v; }
Vec2 leftOf(Vec2 d) { return {-d.y, d.x}; }

// A piece of centre line: a line, a cubic, or a circular arc.
struct RefSeg {
  enum { Line, Cubic, Arc } kind = Line;
  Vec2 p[4];                     // Line: p[0], p[3]; Cubic: all; Arc: p[0] centre
  double r = 0, a0 = 0, a1 = 0;  // Arc
  Vec2 at(double t) const {
    const double u = 1 - t;
    if (kind == Line) return p[0] + t * (p[3] - p[0]);
    if (kind == Arc) {
      const double a = a0 + t * (a1 - a0);
      return p[0] + r * Vec2{std::cos(a), std::sin(a)};
    }
    return (u * u * u) * p[0] + (3 * u * u * t) * p[1] + (3 * u * t * t) * p[2] +
           (t * t * t) * p[3];
  }
  Vec2 tangent(double t) const {
    const double u = 1 - t;
    if (kind == Line) return p[3] - p[0];
    if (kind == Arc) {
      const double a = a0 + t * (a1 - a0);
      return (a1 - a0) * Vec2{-std::sin(a), std::cos(a)};
    }
    return (3 * u * u) * (p[1] - p[0]) + (6 * u * t) * (p[2] - p[1]) + (3 * t * t) * (p[3] - p[2]);
  }
};
RefSeg line(Vec2 a, Vec2 b) { return {RefSeg::Line, {a, {}, {}, b}}; }

struct RefSub {
  std::vector<RefSeg> segs;  // empty: a dot at `dot`
  bool closed = false;
  Vec2 dot, axis{1, 0};
};

struct Style {
  VGCapStyle cap;
  VGJoinStyle join;
  float limit;
};

StrokeStyle strokeStyle(float width, const Style& s) {
  StrokeStyle style;
  style.width = width;
  style.cap = s.cap;
  style.join = s.join;
  style.miterLimit = s.limit;
  return style;
}

bool inConvex(Vec2 q, std::initializer_list<Vec2> poly) {
  const Vec2* v = poly.begin();
  const size_t n = poly.size();
  double sign = 0;
  for (size_t i = 0; i < n; ++i) {
    const double c = cross(v[(i + 1) % n] - v[i], q - v[i]);
    if (c * sign < 0) return false;
    if (c != 0) sign = c;
  }
  return true;
}

// The normal sweep of one segment: some foot of q on it within h.
bool inSweep(Vec2 q, const RefSeg& s, double h) {
  if (s.kind == RefSeg::Arc) {
    // The feet lie on the ray from the centre through q and on the one
    // opposite, the latter past the centre where r < h.
    const Vec2 r = q - s.p[0];
    const double rho = length(r), lo = std::min(s.a0, s.a1), hi = std::max(s.a0, s.a1);
    auto onArc = [&](double a) {
      return lo + std::fmod(std::fmod(a - lo, 2 * kPi) + 2 * kPi, 2 * kPi) <= hi;
    };
    const double a = std::atan2(r.y, r.x);
    return (std::fabs(rho - s.r) <= h && onArc(a)) || (rho + s.r <= h && onArc(a + kPi));
  }
  if (s.kind == RefSeg::Cubic) {
    // Far from the control points' box no foot is near.
    double x0 = 1e30, y0 = 1e30, x1 = -1e30, y1 = -1e30;
    for (const Vec2& c : s.p)
      x0 = std::min(x0, c.x), y0 = std::min(y0, c.y), x1 = std::max(x1, c.x),
      y1 = std::max(y1, c.y);
    if (q.x < x0 - h || q.x > x1 + h || q.y < y0 - h || q.y > y1 + h) return false;
  }
  auto g = [&](double t) { return dot(q - s.at(t), s.tangent(t)); };
  const int n = s.kind == RefSeg::Line ? 1 : 64;
  double t0 = 0, g0 = g(0);
  for (int i = 1; i <= n; ++i) {
    double t1 = double(i) / n, g1 = g(t1);
    if ((g0 >= 0) != (g1 >= 0) || g0 == 0) {
      double lo = t0, hi = t1;
      for (int k = 0; k < 40 && s.kind != RefSeg::Line; ++k) {
        const double mid = 0.5 * (lo + hi);
        ((g(mid) >= 0) == (g0 >= 0) ? lo : hi) = mid;
      }
      const double t = s.kind == RefSeg::Line ? dot(q - s.p[0], s.p[3] - s.p[0]) /
                                                    dot(s.p[3] - s.p[0], s.p[3] - s.p[0])
                                              : lo;
      if (length(q - s.at(t)) <= h) return true;
    }
    t0 = t1, g0 = g1;
  }
  return false;
}

bool inJoin(Vec2 q, Vec2 v, Vec2 d0, Vec2 d1, const Style& st, double h) {
  const double c = dot(d0, d1), s = cross(d0, d1);
  if (std::fabs(s) < 1e-12 && c > 0) return false;
  const Vec2 o0 = (s >= 0 ? -h : h) * leftOf(d0), o1 = (s >= 0 ? -h : h) * leftOf(d1);
  const Vec2 r = q - v;
  if (st.join == VG_JOIN_ROUND) {
    if (length(r) > h) return false;
    if (c < -1 + 1e-12) return dot(r, d0) >= 0;
    return s >= 0 ? cross(o0, r) >= 0 && cross(r, o1) >= 0 : cross(o0, r) <= 0 && cross(r, o1) <= 0;
  }
  const double ratio = 1 / std::sqrt(std::max((1 + c) / 2, 0.0));
  if (st.join == VG_JOIN_MITER && ratio <= std::max(st.limit, 1.0f))
    return inConvex(q, {v, v + o0, v + (1 / (1 + c)) * (o0 + o1), v + o1});
  return inConvex(q, {v, v + o0, v + o1});
}

bool inCap(Vec2 q, Vec2 p, Vec2 d, VGCapStyle cap, double h) {
  const Vec2 n = h * leftOf(d), r = q - p;
  if (cap == VG_CAP_ROUND) return length(r) <= h && dot(r, d) >= 0;
  if (cap == VG_CAP_SQUARE) return inConvex(q, {p - n, p - n + h * d, p + n + h * d, p + n});
  return false;
}

bool inStroke(Vec2 q, const std::vector<RefSub>& subs, const Style& st, double h) {
  for (const RefSub& sub : subs) {
    if (sub.segs.empty()) {
      const Vec2 r = q - sub.dot;
      if (st.cap == VG_CAP_ROUND && length(r) <= h) return true;
      if (st.cap == VG_CAP_SQUARE && std::fabs(dot(r, sub.axis)) <= h &&
          std::fabs(cross(sub.axis, r)) <= h)
        return true;
      continue;
    }
    const size_t n = sub.segs.size();
    for (size_t i = 0; i < n; ++i) {
      const RefSeg& s = sub.segs[i];
      if (inSweep(q, s, h)) return true;
      if (i + 1 < n || sub.closed) {
        const RefSeg& next = sub.segs[(i + 1) % n];
        if (inJoin(q, s.at(1), unit(s.tangent(1)), unit(next.tangent(0)), st, h)) return true;
      }
    }
    if (!sub.closed &&
        (inCap(q, sub.segs[0].at(0), -1.0 * unit(sub.segs[0].tangent(0)), st.cap, h) ||
         inCap(q, sub.segs[n - 1].at(1), unit(sub.segs[n - 1].tangent(1)), st.cap, h)))
      return true;
  }
  return false;
}

struct Comparison {
  double maxPixel = 0, meanPixel = 0, refArea = 0;
  int negative = 0;  // samples where the output winds clockwise
};

// Both shapes at 16 x 16 samples a pixel over the box of the output and of
// `hint` (surface points the true shape reaches).
Comparison compare(const Polygon& out, const std::vector<RefSub>& ref, const Style& st, double h,
                   const Matrix& m, std::vector<Vec2> hint) {
  for (const Point& p : out.points) hint.push_back({p.x, p.y});
  double x0 = 1e30, y0 = 1e30, x1 = -1e30, y1 = -1e30;
  for (Vec2 p : hint)
    x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
  const int px0 = int(std::floor(x0)) - 1, py0 = int(std::floor(y0)) - 1;
  const int w = int(std::ceil(x1)) + 1 - px0, ht = int(std::ceil(y1)) + 1 - py0;
  const Affine fwd = Affine::from(m);
  const double det = fwd.det();
  const Affine inv{fwd.d / det, -fwd.b / det, -fwd.c / det, fwd.a / det, 0, 0};
  constexpr int kS = 16;
  std::vector<double> err(size_t(w) * ht, 0.0);
  Comparison c;
  std::vector<std::pair<double, int>> xs;
  for (int row = 0; row < ht * kS; ++row) {
    const double y = py0 + (row + 0.5) / kS;
    xs.clear();
    for (size_t k = 0, begin = 0; k < out.contourEnds.size(); begin = out.contourEnds[k++]) {
      for (size_t i = begin; i < out.contourEnds[k]; ++i) {
        const Point a = out.points[i], b = out.points[i + 1 < out.contourEnds[k] ? i + 1 : begin];
        if ((a.y <= y) != (b.y <= y))
          xs.push_back({a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y), b.y > a.y ? 1 : -1});
      }
    }
    std::sort(xs.begin(), xs.end());
    int winding = 0;
    for (auto& e : xs) winding += e.second;  // of everything right of the row's start
    size_t next = 0;
    for (int col = 0; col < w * kS; ++col) {
      const double x = px0 + (col + 0.5) / kS;
      while (next < xs.size() && xs[next].first < x) winding -= xs[next++].second;
      c.negative += winding < 0;
      const Vec2 u = inv.applyLinear(Vec2{x - fwd.e, y - fwd.f});
      const bool r = inStroke(u, ref, st, h);
      c.refArea += r;
      err[size_t(row / kS) * w + col / kS] += double((winding != 0) - int(r)) / (kS * kS);
    }
  }
  for (double e : err) c.maxPixel = std::max(c.maxPixel, std::fabs(e)), c.meanPixel += std::fabs(e);
  c.meanPixel /= double(err.size());
  c.refArea /= kS * kS;
  return c;
}

std::vector<Vec2> surfaceHint(const std::vector<RefSub>& ref, const Matrix& m, double h) {
  std::vector<Vec2> pts;
  const Affine a = Affine::from(m);
  for (const RefSub& s : ref) {
    std::vector<Vec2> at;
    if (s.segs.empty()) at.push_back(s.dot);
    for (const RefSeg& g : s.segs) at.insert(at.end(), {g.at(0), g.at(0.5), g.at(1)});
    for (Vec2 p : at)
      for (Vec2 d : {Vec2{-2 * h, -2 * h}, Vec2{2 * h, 2 * h}}) pts.push_back(a.apply(p + d));
  }
  return pts;
}

void expectMatches(const Comparison& c) {
  EXPECT_EQ(c.negative, 0);
  EXPECT_LE(c.maxPixel, 0.04);
  EXPECT_LE(c.meanPixel, 0.001);
  EXPECT_GT(c.refArea, 1.0);
}

std::vector<RefSub> polylineRef(const std::vector<Vec2>& pts, bool closed) {
  RefSub s;
  s.closed = closed;
  for (size_t i = 0; i + 1 < pts.size(); ++i) s.segs.push_back(line(pts[i], pts[i + 1]));
  if (closed) s.segs.push_back(line(pts.back(), pts[0]));
  return {s};
}

// The dashes of subpaths of lines and arcs, found by arc length: on where the
// pattern position (arc length + phase) falls in an on interval; a dash that
// ends inside a segment ends on it, square to its true tangent.
double refLength(const RefSeg& s) {
  return s.kind == RefSeg::Arc ? s.r * std::fabs(s.a1 - s.a0) : length(s.p[3] - s.p[0]);
}
RefSeg refPart(const RefSeg& s, double t0, double t1) {
  if (s.kind == RefSeg::Line) return line(s.at(t0), s.at(t1));
  RefSeg a = s;
  a.a0 = s.a0 + t0 * (s.a1 - s.a0), a.a1 = s.a0 + t1 * (s.a1 - s.a0);
  return a;
}
std::vector<RefSub> dashRef(const std::vector<RefSub>& subs, const std::vector<double>& pattern,
                            double phase, bool reset) {
  double total = 0;
  for (double e : pattern) total += e;
  std::vector<RefSub> out;
  double offset = 0;
  for (const RefSub& s : subs) {
    std::vector<double> at{0};
    for (const RefSeg& g : s.segs) at.push_back(at.back() + refLength(g));
    const double len = at.back();
    const size_t n = s.segs.size();
    if (reset) offset = 0;
    // Intervals [a, b] of arc length, each a dash.
    std::vector<std::pair<double, double>> on;
    const double shift = offset + phase;
    for (double k = std::floor(shift / total) - 1; k * total - shift <= len; ++k) {
      double start = k * total - shift;
      for (size_t i = 0; i < pattern.size(); start += pattern[i++]) {
        if (i % 2) continue;
        const double a = std::max(start, 0.0), b = std::min(start + pattern[i], len);
        if (a <= b && !(a == len && b == len && s.closed)) on.push_back({a, b});
      }
    }
    if (s.closed && on.size() > 1 && on.front().first == 0 && on.back().second == len) {
      on.back().second = len + on.front().second;  // runs on into the first dash
      on.erase(on.begin());
    }
    for (auto [a, b] : on) {
      RefSub sub;
      // Segment i + n is segment i once round a closed subpath.
      for (size_t i = 0; i < (s.closed ? 2 * n : n); ++i) {
        const double from = at[i % n] + (i < n ? 0 : len), to = from + refLength(s.segs[i % n]);
        if (a == b && a >= from && a <= to) {
          sub.dot = s.segs[i % n].at((a - from) / (to - from));
          sub.axis = unit(s.segs[i % n].tangent((a - from) / (to - from)));
          break;
        }
        if (a < b && to > a && from < b)
          sub.segs.push_back(refPart(s.segs[i % n], (std::max(a, from) - from) / (to - from),
                                     (std::min(b, to) - from) / (to - from)));
      }
      out.push_back(sub);
    }
    offset += len;
  }
  return out;
}

using Stroke = PathTest;

TEST_F(Stroke, PolylinesMatchTheTrueShapeForEveryCapJoinAndMiterLimit) {
  // Turns whose miter ratios are about 1.04, 2.6 and 11, a piece shorter than
  // the half width, and a near reversal.
  const std::vector<Vec2> pts{{4, 4}, {34, 6}, {42, 24}, {28, 8.5}, {27, 11}, {20, 30}, {34, 31}};
  const Style styles[] = {
      {VG_CAP_BUTT, VG_JOIN_BEVEL, 4},      {VG_CAP_ROUND, VG_JOIN_ROUND, 4},
      {VG_CAP_SQUARE, VG_JOIN_MITER, 0.5f}, {VG_CAP_BUTT, VG_JOIN_MITER, 2},
      {VG_CAP_ROUND, VG_JOIN_MITER, 4},     {VG_CAP_SQUARE, VG_JOIN_MITER, 100}};
  Matrix m;
  m.m[6] = 3.25f, m.m[7] = 5.5f;
  StrokeScratch scratch;
  Polygon out;
  for (bool closed : {false, true}) {
    const VGPath p = makePath();
    std::vector<VGubyte> cmds{VG_MOVE_TO_ABS};
    std::vector<float> data{float(pts[0].x), float(pts[0].y)};
    for (size_t i = 1; i < pts.size(); ++i) {
      cmds.push_back(VG_LINE_TO_ABS);
      data.insert(data.end(), {float(pts[i].x), float(pts[i].y)});
    }
    if (closed) cmds.push_back(VG_CLOSE_PATH);
    append(p, cmds, data);
    const auto ref = polylineRef(pts, closed);
    for (const Style& st : styles) {
      SCOPED_TRACE(testing::Message() << "closed " << closed << " cap " << st.cap << " join "
                                      << st.join << " limit " << st.limit);
      const StrokeStyle style = strokeStyle(5, st);
      strokePath(internal(p), style, m, 0.02f, scratch, out);
      expectMatches(compare(out, ref, st, 2.5, m, surfaceHint(ref, m, 2.5 * 3)));
    }
  }
  // Steady state: a second stroke of the same path refills the same storage.
  const Point* storage = out.points.data();
  const Point* lines = scratch.lines.points.data();
  const VGPath p = makePath();
  append(p, {VG_MOVE_TO_ABS, VG_LINE_TO_ABS}, {0, 0, 5, 5});
  StrokeStyle style;
  strokePath(internal(p), style, m, 0.02f, scratch, out);
  EXPECT_EQ(out.points.data(), storage);
  EXPECT_EQ(scratch.lines.points.data(), lines);
}

TEST_F(Stroke, CurvesZeroLengthSegmentsAndDotsUnderAnEllipticalPen) {
  // Stretched 1.6 x 0.7, sheared and turned: circles become ellipses.
  vgSeti(VG_MATRIX_MODE, VG_MATRIX_PATH_USER_TO_SURFACE);
  vgTranslate(30, 20);
  vgRotate(20);
  vgScale(1.6f, 0.7f);
  vgShear(0.5f, 0);
  const Matrix m = pathUserToSurface(*ctx);

  struct Case {
    const char* name;
    std::vector<VGubyte> cmds;
    std::vector<float> data;
    std::vector<RefSub> ref;
    Style style;
    float width = 6;
    std::vector<float> dashes = {};
  };
  RefSub cubic{{{RefSeg::Cubic, {{0, 0}, {40, 30}, {-10, 30}, {20, 0}}}}, false, {}};
  RefSub arc{{{RefSeg::Arc, {{5, 5}}, 12, 0, 1.5 * kPi}}, false, {}};
  // Its flattened pieces reverse at the cusp: the inner offsets there fold
  // far outside the stroke.
  RefSub cusp{{{RefSeg::Cubic, {{0, 0}, {30, 30}, {0, 30}, {30, 0}}}}, false, {}};
  const Case cases[] = {
      // Its loop turns tighter than the half width.
      {"tight cubic",
       {VG_MOVE_TO_ABS, VG_CUBIC_TO_ABS},
       {0, 0, 40, 30, -10, 30, 20, 0},
       {cubic},
       {VG_CAP_BUTT, VG_JOIN_MITER, 4}},
      {"tight cubic, round",
       {VG_MOVE_TO_ABS, VG_CUBIC_TO_ABS},
       {0, 0, 40, 30, -10, 30, 20, 0},
       {cubic},
       {VG_CAP_ROUND, VG_JOIN_BEVEL, 4}},
      {"three-quarter arc",
       {VG_MOVE_TO_ABS, VG_LCCWARC_TO_ABS},
       {17, 5, 12, 12, 0, 5, -7},
       {arc},
       {VG_CAP_SQUARE, VG_JOIN_MITER, 4}},
      {"cusp",
       {VG_MOVE_TO_ABS, VG_CUBIC_TO_ABS},
       {0, 0, 30, 30, 0, 30, 30, 0},
       {cusp},
       {VG_CAP_SQUARE, VG_JOIN_BEVEL, 4}},
      // The inner offsets would meet 3 back along pieces 2.5 long, past the
      // butt ends.
      {"corner of pieces shorter than its inner cut",
       {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS},
       {0, 0, 2.5f, 0, 2.5f, 2.5f},
       polylineRef({{0, 0}, {2.5, 0}, {2.5, 2.5}}, false),
       {VG_CAP_BUTT, VG_JOIN_MITER, 4}},
      // Zero-length pieces at the start, the corner and the end change nothing.
      {"zero-length segments",
       {VG_MOVE_TO_ABS, VG_LINE_TO_REL, VG_LINE_TO_ABS, VG_CUBIC_TO_ABS, VG_LINE_TO_ABS,
        VG_LINE_TO_ABS},
       {0, 0, 0, 0, 20, 0, 20, 0, 20, 0, 20, 0, 0, 15, 0, 15},
       polylineRef({{0, 0}, {20, 0}, {0, 15}}, false),
       {VG_CAP_SQUARE, VG_JOIN_MITER, 10}},
      {"round dots",
       {VG_MOVE_TO_ABS, VG_CLOSE_PATH, VG_MOVE_TO_ABS, VG_LINE_TO_REL},
       {0, 0, 20, 5, 0, 0},
       {RefSub{{}, false, {0, 0}}, RefSub{{}, false, {20, 5}}},
       {VG_CAP_ROUND, VG_JOIN_MITER, 4}},
      // Square dots lie along the user x axis.
      {"square dots",
       {VG_MOVE_TO_ABS, VG_CLOSE_PATH, VG_MOVE_TO_ABS, VG_LINE_TO_REL},
       {0, 0, 20, 5, 0, 0},
       {RefSub{{}, false, {0, 0}}, RefSub{{}, false, {20, 5}}},
       {VG_CAP_SQUARE, VG_JOIN_MITER, 4}},
      // Each arc's end tangent reverses the other's: the miter is infinite, so
      // a bevel of no width, and both chords next to the vertex must end on
      // the arcs' normal there.
      {"reversal between arcs",
       {VG_MOVE_TO_ABS, VG_SCCWARC_TO_ABS, VG_LCWARC_TO_ABS},
       {150, 100, 50, 50, 0, 100, 150, 25, 25, 0, 75, 125},
       {RefSub{{{RefSeg::Arc, {{100, 100}}, 50, 0, 0.5 * kPi},
                {RefSeg::Arc, {{100, 125}}, 25, 0.5 * kPi, -kPi}},
               false,
               {}}},
       {VG_CAP_BUTT, VG_JOIN_MITER, 4},
       9},
      // Cut inside chords: the square caps turn to the circle's tangent there.
      {"dashed circle",
       {VG_MOVE_TO_ABS, VG_SCCWARC_TO_ABS, VG_SCCWARC_TO_ABS, VG_CLOSE_PATH},
       {108, 100, 8, 8, 0, 92, 100, 8, 8, 0, 108, 100},
       {RefSub{
           {{RefSeg::Arc, {{100, 100}}, 8, 0, kPi}, {RefSeg::Arc, {{100, 100}}, 8, kPi, 2 * kPi}},
           true,
           {}}},
       {VG_CAP_SQUARE, VG_JOIN_MITER, 4},
       12,
       {6, 2}},
      // Radius a little above the half width: the inner side ends on the butt line.
      {"butt ends of an arc of radius 1.1 h",
       {VG_MOVE_TO_ABS, VG_SCCWARC_TO_ABS},
       {6, 0, 6, 6, 0, 0, 6},
       {RefSub{{{RefSeg::Arc, {{0, 0}}, 6, 0, 0.5 * kPi}}, false, {}}},
       {VG_CAP_BUTT, VG_JOIN_MITER, 4},
       11},
      // Radius below the half width: past the centre the normals sweep a disc
      // sector of radius h - r, which ends on the butt lines' far halves.
      {"butt ends of an arc of radius 0.6 h",
       {VG_MOVE_TO_ABS, VG_SCCWARC_TO_ABS},
       {6, 0, 6, 6, 0, 0, 6},
       {RefSub{{{RefSeg::Arc, {{0, 0}}, 6, 0, 0.5 * kPi}}, false, {}}},
       {VG_CAP_BUTT, VG_JOIN_MITER, 4},
       20},
  };
  StrokeScratch scratch;
  Polygon out;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const VGPath p = makePath();
    append(p, c.cmds, c.data);
    StrokeStyle style = strokeStyle(c.width, c.style);
    style.dashes = c.dashes;
    const double h = 0.5 * c.width;
    const auto ref =
        c.dashes.empty() ? c.ref : dashRef(c.ref, {c.dashes.begin(), c.dashes.end()}, 0, false);
    strokePath(internal(p), style, m, 0.02f, scratch, out);
    expectMatches(compare(out, ref, c.style, h, m, surfaceHint(ref, m, h)));
    // Butt dots draw nothing.
    if (c.ref[0].segs.empty()) {
      style.cap = VG_CAP_BUTT;
      strokePath(internal(p), style, m, 0.02f, scratch, out);
      EXPECT_TRUE(out.points.empty());
    }
  }
}

TEST_F(Stroke, DashesFollowThePatternPhaseAndReset) {
  // An open zigzag, then a closed rectangle.
  const std::vector<std::vector<Vec2>> subs{{{0, 0}, {18, 0}, {18, 12}, {4, 20}},
                                            {{30, 0}, {50, 0}, {50, 16}, {30, 16}}};
  const VGPath p = makePath();
  append(p,
         {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS, VG_MOVE_TO_ABS,
          VG_LINE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS, VG_CLOSE_PATH},
         {0, 0, 18, 0, 18, 12, 4, 20, 30, 0, 50, 0, 50, 16, 30, 16});
  struct Case {
    std::vector<float> pattern;
    float phase;
    bool reset;
    Style style;
  };
  const Case cases[] = {
      // Dashes across corners keep their joins.
      {{7, 3}, 0, false, {VG_CAP_BUTT, VG_JOIN_MITER, 4}},
      {{7, 3}, 0, true, {VG_CAP_SQUARE, VG_JOIN_BEVEL, 4}},
      // Zero-length dashes are dots: discs, or squares along the path.
      {{5, 4, 0, 3}, -23, false, {VG_CAP_ROUND, VG_JOIN_ROUND, 4}},
      {{5, 4, 0, 3}, 2.5, true, {VG_CAP_SQUARE, VG_JOIN_MITER, 4}},
      // The rectangle's perimeter is 72: on at its start and end, the dashes
      // there join round its first corner.
      {{10, 4, 6, 4}, 5, true, {VG_CAP_BUTT, VG_JOIN_MITER, 4}},
  };
  StrokeScratch scratch;
  Polygon out;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "phase " << c.phase << " reset " << c.reset);
    StrokeStyle style = strokeStyle(3, c.style);
    style.dashes = c.pattern;
    style.dashPhase = c.phase;
    style.dashPhaseReset = c.reset;
    strokePath(internal(p), style, Matrix{}, 0.02f, scratch, out);
    const auto ref = dashRef({polylineRef(subs[0], false)[0], polylineRef(subs[1], true)[0]},
                             {c.pattern.begin(), c.pattern.end()}, c.phase, c.reset);
    expectMatches(compare(out, ref, c.style, 1.5, Matrix{}, surfaceHint(ref, Matrix{}, 1.5)));
  }
  // A pattern of zero total length cannot be walked: the stroke is solid.
  const std::vector<float> zero{0, 0};
  StrokeStyle style;
  style.width = 3;
  style.dashes = zero;
  strokePath(internal(p), style, Matrix{}, 0.02f, scratch, out);
  std::vector<RefSub> solid = polylineRef(subs[0], false);
  solid.push_back(polylineRef(subs[1], true)[0]);
  const Style st{VG_CAP_BUTT, VG_JOIN_MITER, 4};
  expectMatches(compare(out, solid, st, 1.5, Matrix{}, surfaceHint(solid, Matrix{}, 1.5)));
}

// A stroke's pieces overlap many times in one row where a curve turns (more
// than the rasteriser resolves exactly pairwise): its coverage must still
// match the union's sampled winding, with no winding left over to the right.
TEST_F(Stroke, OverlappingPiecesOfStrokedCurvesRasteriseExactly) {
  const VGPath p = makePath();
  append(p, {VG_MOVE_TO_ABS, VG_CUBIC_TO_ABS, VG_QUAD_TO_ABS, VG_MOVE_TO_ABS, VG_SCCWARC_TO_ABS},
         {10, 40, 60, 140, 130, -60, 180, 50, 230, 140, 270, 50, 290, 60, 50, 50, 0, 380, 60});
  for (const VGJoinStyle join : {VG_JOIN_MITER, VG_JOIN_ROUND}) {
    StrokeStyle style;
    style.width = 10;
    style.join = join;
    StrokeScratch scratch;
    Polygon poly;
    strokePath(internal(p), style, Matrix{}, 0.02f, scratch, poly);
    Rasterizer rasterizer;
    CoverageMask mask;
    ASSERT_TRUE(rasterizer.rasterize(poly, options(400, 120, VG_NON_ZERO), mask));
    std::vector<Contour> contours;
    uint32_t begin = 0;
    for (uint32_t end : poly.contourEnds) {
      contours.emplace_back(poly.points.begin() + begin, poly.points.begin() + end);
      begin = end;
    }
    const std::vector<double> reference = sampledCoverage(contours, VG_NON_ZERO, 400, 120);
    double worst = 0, total = 0;
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 400; ++x) {
        const bool inBox = x >= mask.box.x && x < mask.box.x + mask.box.width && y >= mask.box.y &&
                           y < mask.box.y + mask.box.height;
        const double got = inBox ? mask.alpha[size_t(y - mask.box.y) * size_t(mask.box.width) +
                                              size_t(x - mask.box.x)] /
                                       255.0
                                 : 0.0;
        const double error = std::fabs(got - reference[size_t(y) * 400 + size_t(x)]);
        worst = std::max(worst, error);
        total += error;
      }
    }
    EXPECT_LT(worst, 0.04) << join;
    EXPECT_LT(total / (400 * 120), 0.001) << join;
  }
}

// A quarter circle drawn as 4,000 lines of a two-hundredth of a pixel, whose
// float points make each one turn at random, between a line along its
// tangent and a sharp corner: stroked as a few chords, not as overlapping
// slivers, and still the true shape, the corner's join and the caps
// included.
TEST_F(Stroke, PiecesFarBelowTheToleranceStrokeAsChordsOfTheTrueShape) {
  constexpr int kPieces = 4000;
  const Vec2 centre{20, 20};
  std::vector<VGubyte> cmds{VG_MOVE_TO_ABS, VG_LINE_TO_ABS};
  std::vector<float> data{32, 8, 32, 20};
  for (int i = 1; i <= kPieces; ++i) {
    const double a = 0.5 * kPi * i / kPieces;
    cmds.push_back(VG_LINE_TO_ABS);
    data.insert(data.end(),
                {float(centre.x + 12 * std::cos(a)), float(centre.y + 12 * std::sin(a))});
  }
  cmds.push_back(VG_LINE_TO_ABS);
  data.insert(data.end(), {30, 40});
  const VGPath p = makePath();
  append(p, cmds, data);
  const std::vector<RefSub> ref{{{line({32, 8}, {32, 20}),
                                  {RefSeg::Arc, {centre}, 12, 0, 0.5 * kPi},
                                  line({20, 32}, {30, 40})},
                                 false,
                                 {}}};
  const Style styles[] = {{VG_CAP_BUTT, VG_JOIN_MITER, 10},
                          {VG_CAP_SQUARE, VG_JOIN_BEVEL, 4},
                          {VG_CAP_ROUND, VG_JOIN_ROUND, 4}};
  StrokeScratch scratch;
  Polygon out;
  for (const Style& st : styles) {
    SCOPED_TRACE(testing::Message() << "cap " << st.cap << " join " << st.join);
    const StrokeStyle style = strokeStyle(4, st);
    strokePath(internal(p), style, Matrix{}, 0.02f, scratch, out);
    EXPECT_LT(out.points.size(), size_t(kPieces / 4));
    expectMatches(compare(out, ref, st, 2, Matrix{}, surfaceHint(ref, Matrix{}, 2 * 3)));
  }
}

TEST_F(Stroke, HostileInputEndsWithBoundedFiniteOutput) {
  const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
  const VGPath p = makePath();
  std::vector<VGubyte> cmds{VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_CUBIC_TO_ABS, VG_LINE_TO_ABS};
  append(p, cmds, {0, 0, 1e6f, 0, 1e6f, 1e6f, 0, 1e6f, -1e6f, 0, 0, 0.1f});
  const VGPath bad = makePath();
  append(bad, {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS}, {0, 0, nan, 1, inf, 2});
  const std::vector<float> tiny{1e-3f, 1e-3f}, hostile{nan, -1, inf, 2};
  struct Case {
    float width, limit;
    std::span<const float> dashes;
    VGCapStyle cap;
  };
  const Case cases[] = {{2, 4, tiny, VG_CAP_ROUND},    {1e30f, 1e30f, {}, VG_CAP_ROUND},
                        {3e38f, 4, {}, VG_CAP_SQUARE}, {2, inf, hostile, VG_CAP_SQUARE},
                        {nan, 4, {}, VG_CAP_ROUND},    {-1, 4, {}, VG_CAP_ROUND},
                        {inf, 4, {}, VG_CAP_ROUND}};
  StrokeScratch scratch;
  Polygon out;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    StrokeStyle style;
    style.width = c.width;
    style.miterLimit = c.limit;
    style.cap = c.cap;
    style.join = VG_JOIN_ROUND;
    style.dashes = c.dashes;
    for (VGPath path : {p, bad}) {
      strokePath(internal(path), style, Matrix{}, 0.02f, scratch, out);
      EXPECT_LE(out.points.size(), kMaxStrokePoints);
      EXPECT_LE(scratch.dashed.subpaths.size(), kMaxDashes);
      for (const Point& q : out.points) ASSERT_TRUE(std::isfinite(q.x) && std::isfinite(q.y));
      if (!(c.width > 0) || c.width == inf) {
        EXPECT_TRUE(out.points.empty());
      }
    }
  }
  // The tiny pattern wants a billion dashes: it stops at the cap.
  StrokeStyle style;
  style.dashes = tiny;
  strokePath(internal(p), style, Matrix{}, 0.02f, scratch, out);
  EXPECT_EQ(scratch.dashed.subpaths.size(), kMaxDashes);
  // A matrix that collapses everything, or is not finite, draws nothing.
  Matrix flat;
  flat.m[0] = flat.m[4] = 0;
  Matrix nonFinite;
  nonFinite.m[3] = nan;
  for (const Matrix& m : {flat, nonFinite}) {
    strokePath(internal(p), StrokeStyle{}, m, 0.02f, scratch, out);
    EXPECT_TRUE(out.points.empty());
  }
}

}  // namespace
}  // namespace tq::test
