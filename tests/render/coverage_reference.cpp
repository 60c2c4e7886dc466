#include "coverage_reference.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tqtest {

Affine Affine::then(const Affine& o) const {
  Affine r;
  r.a = o.a * a + o.c * b;
  r.b = o.b * a + o.d * b;
  r.c = o.a * c + o.c * d;
  r.d = o.b * c + o.d * d;
  r.e = o.a * e + o.c * f + o.e;
  r.f = o.b * e + o.d * f + o.f;
  return r;
}
Affine inverse(const Affine& m) {
  const double det = m.a * m.d - m.b * m.c;
  Affine r{m.d / det, -m.b / det, -m.c / det, m.a / det, 0, 0};
  r.e = -(r.a * m.e + r.c * m.f);
  r.f = -(r.b * m.e + r.d * m.f);
  return r;
}

void loadMatrix(VGMatrixMode mode, const Affine& m) {
  vgSeti(VG_MATRIX_MODE, mode);
  const VGfloat v[9] = {float(m.a), float(m.b), 0,          float(m.c), float(m.d),
                        0,          float(m.e), float(m.f), 1};
  vgLoadMatrix(v);
}

Affine Affine::translate(double x, double y) { return Affine{1, 0, 0, 1, x, y}; }
Affine Affine::scale(double x, double y) { return Affine{x, 0, 0, y, 0, 0}; }
Affine Affine::rotateDegrees(double angle) {
  double r = angle * std::numbers::pi / 180.0;
  return Affine{std::cos(r), std::sin(r), -std::sin(r), std::cos(r), 0, 0};
}

void Shape::moveTo(double x, double y) {
  segments.push_back(VG_MOVE_TO_ABS);
  coords.insert(coords.end(), {float(x), float(y)});
  contours.push_back({{x, y}});
  current_ = {x, y};
}

void Shape::lineTo(double x, double y) {
  segments.push_back(VG_LINE_TO_ABS);
  coords.insert(coords.end(), {float(x), float(y)});
  contours.back().push_back({x, y});
  current_ = {x, y};
}

void Shape::cubicTo(double x1, double y1, double x2, double y2, double x, double y) {
  segments.push_back(VG_CUBIC_TO_ABS);
  coords.insert(coords.end(), {float(x1), float(y1), float(x2), float(y2), float(x), float(y)});
  Vec2 p0 = current_;
  constexpr int steps = 512;
  for (int i = 1; i <= steps; ++i) {
    double t = double(i) / steps, u = 1 - t;
    double w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
    contours.back().push_back(
        {w0 * p0.x + w1 * x1 + w2 * x2 + w3 * x, w0 * p0.y + w1 * y1 + w2 * y2 + w3 * y});
  }
  current_ = {x, y};
}

void Shape::arcTo(VGubyte kind, double rx, double ry, double x, double y) {
  segments.push_back(kind);
  coords.insert(coords.end(), {float(rx), float(ry), 0.0f, float(x), float(y)});
  // Work on the unit circle: the ellipse is axis-aligned.
  Vec2 p0{current_.x / rx, current_.y / ry}, p1{x / rx, y / ry};
  double dx = p1.x - p0.x, dy = p1.y - p0.y;
  double half = std::hypot(dx, dy) / 2;
  double scale = std::max(1.0, half);
  p0 = {p0.x / scale, p0.y / scale};
  p1 = {p1.x / scale, p1.y / scale};
  half /= scale;
  double h = std::sqrt(std::max(0.0, 1 - half * half));
  Vec2 mid{(p0.x + p1.x) / 2, (p0.y + p1.y) / 2};
  double len = 2 * half;
  Vec2 left{-(p1.y - p0.y) / len, (p1.x - p0.x) / len};  // left of the chord, y up
  bool ccw = kind == VG_SCCWARC_TO_ABS || kind == VG_LCCWARC_TO_ABS;
  bool large = kind == VG_LCCWARC_TO_ABS || kind == VG_LCWARC_TO_ABS;
  // The small counter-clockwise arc turns about a centre on its left.
  double side = (ccw != large) ? 1.0 : -1.0;
  Vec2 c{mid.x + side * h * left.x, mid.y + side * h * left.y};
  double a0 = std::atan2(p0.y - c.y, p0.x - c.x), a1 = std::atan2(p1.y - c.y, p1.x - c.x);
  double sweep = a1 - a0;
  if (ccw && sweep < 0) sweep += 2 * std::numbers::pi;
  if (!ccw && sweep > 0) sweep -= 2 * std::numbers::pi;
  constexpr int steps = 1024;
  for (int i = 1; i <= steps; ++i) {
    double a = a0 + sweep * i / steps;
    contours.back().push_back({(c.x + std::cos(a)) * scale * rx, (c.y + std::sin(a)) * scale * ry});
  }
  contours.back().back() = {x, y};
  current_ = {x, y};
}

void Shape::close() {
  segments.push_back(VG_CLOSE_PATH);
  if (!contours.empty()) current_ = contours.back().front();
}

VGPath Shape::makePath() const {
  VGPath p = vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1.0f, 0.0f, 0, 0,
                          VG_PATH_CAPABILITY_ALL);
  vgAppendPathData(p, VGint(segments.size()), segments.data(), coords.data());
  return p;
}

Shape shapeFromCommands(const VGubyte* segments, int count, const VGfloat* coords) {
  Shape s;
  for (int i = 0; i < count; ++i) {
    switch (segments[i]) {
      case VG_MOVE_TO_ABS:
        s.moveTo(coords[0], coords[1]);
        coords += 2;
        break;
      case VG_LINE_TO_ABS:
        s.lineTo(coords[0], coords[1]);
        coords += 2;
        break;
      case VG_CUBIC_TO_ABS:
        s.cubicTo(coords[0], coords[1], coords[2], coords[3], coords[4], coords[5]);
        coords += 6;
        break;
      default:
        s.close();
        break;
    }
  }
  return s;
}

std::vector<float> exactCoverage(const std::vector<Contour>& contours, const Affine& m,
                                 VGFillRule rule, int width, int height) {
  constexpr int n = 16;
  struct Edge {
    Vec2 a, b;
    int dir;
  };
  std::vector<Edge> edges;
  for (const Contour& c : contours) {
    for (size_t i = 0; i < c.size(); ++i) {
      Vec2 a = m.apply(c[i]), b = m.apply(c[(i + 1) % c.size()]);
      if (a.y == b.y) continue;
      edges.push_back(a.y < b.y ? Edge{a, b, 1} : Edge{b, a, -1});
    }
  }
  std::vector<int> counts(size_t(width) * size_t(height), 0);
  std::vector<std::pair<double, int>> crossings;
  for (int row = 0; row < height * n; ++row) {
    double ys = (row + 0.5) / n;
    crossings.clear();
    for (const Edge& e : edges) {
      if (ys < e.a.y || ys >= e.b.y) continue;
      double t = (ys - e.a.y) / (e.b.y - e.a.y);
      crossings.emplace_back(e.a.x + t * (e.b.x - e.a.x), e.dir);
    }
    if (crossings.empty()) continue;
    std::sort(crossings.begin(), crossings.end());
    int winding = 0;
    size_t next = 0;
    int* line = counts.data() + size_t(row / n) * size_t(width);
    for (int col = 0; col < width * n; ++col) {
      double xs = (col + 0.5) / n;
      while (next < crossings.size() && crossings[next].first < xs)
        winding += crossings[next++].second;
      bool inside = rule == VG_EVEN_ODD ? (winding & 1) != 0 : winding != 0;
      if (inside) ++line[col / n];
    }
  }
  std::vector<float> out(counts.size());
  for (size_t i = 0; i < out.size(); ++i) out[i] = float(counts[i]) / (n * n);
  return out;
}

Comparison compareCoverage(const std::vector<float>& rendered, const std::vector<float>& reference,
                           int width, int height) {
  int x0 = width, y0 = height, x1 = -1, y1 = -1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (reference[size_t(y) * width + x] > 0) {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
      }
  Comparison c;
  double sum = 0;
  long both = 0, either = 0, count = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      size_t i = size_t(y) * width + x;
      double r = rendered[i], e = reference[i];
      bool inBox = x >= x0 && x <= x1 && y >= y0 && y <= y1;
      double err = std::fabs(r - e);
      c.maxError = std::max(c.maxError, err);
      if (inBox) {
        sum += err;
        ++count;
      }
      both += (r > 0.5 && e > 0.5);
      either += (r > 0.5 || e > 0.5);
      if (r > 0.0 && r < 1.0) ++c.partialPixels;
    }
  }
  c.meanError = count ? sum / double(count) : 0.0;
  c.iou = either ? double(both) / double(either) : 1.0;
  return c;
}

}  // namespace tqtest
