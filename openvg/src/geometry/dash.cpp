#include "geometry/dash.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "geometry/segments.hpp"

namespace tq {

namespace {

// A pattern length as walked: NaN and negatives count as 0, infinities as the
// largest float, so sums stay finite in double.
double element(const DashPattern& p, size_t i) {
  const float v = p.lengths[i];
  return v > 0.0f ? std::min(double(v), double(FLT_MAX)) : 0.0;
}

// Where the walk stands in the pattern: element `index`, `remaining` of it left.
class PatternWalk {
 public:
  explicit PatternWalk(const DashPattern& p) : p_(p), count_(p.lengths.size() & ~size_t(1)) {
    for (size_t i = 0; i < count_; ++i) total_ += element(p_, i);
  }

  double total() const { return total_; }
  bool on() const { return (index_ & 1) == 0; }
  double& remaining() { return remaining_; }

  void restart() {
    double phase = p_.phase;
    if (std::isnan(phase)) phase = 0.0;
    phase = std::clamp(phase, -double(FLT_MAX), double(FLT_MAX));
    double at = std::fmod(phase, total_);
    if (at < 0.0) at += total_;
    if (!(at < total_)) at = 0.0;
    // A position on the boundary belongs to the element that starts there,
    // except that an element of zero length there (a dot) is not skipped.
    index_ = 0;
    for (size_t k = 0; k < count_; ++k) {
      const double e = element(p_, index_);
      if (!(at > e || (at == e && e > 0.0))) break;
      at -= e;
      index_ = (index_ + 1) % count_;
    }
    remaining_ = std::max(element(p_, index_) - at, 0.0);
  }

  void advance() {
    index_ = (index_ + 1) % count_;
    remaining_ = element(p_, index_);
  }

 private:
  const DashPattern& p_;
  size_t count_;
  double total_ = 0.0;
  size_t index_ = 0;
  double remaining_ = 0.0;
};

// Appends one dash at a time to a polyline, merging repeated points.
class DashWriter {
 public:
  bool isOpen() const { return target_ != nullptr; }

  void begin(Polyline& target, Point p, Point axis) {
    target_ = &target;
    first_ = target.points.size();
    axis_ = axis;
    target.points.push_back(p);
    target.corners.push_back(1);
  }

  void add(Point p, uint8_t corner) {
    Point& last = target_->points.back();
    if (last.x == p.x && last.y == p.y) {
      target_->corners.back() |= corner;
      return;
    }
    target_->points.push_back(p);
    target_->corners.push_back(corner);
  }

  // Ends the dash at q on a flattened curve whose tangent there is t (unit):
  // a short last piece along t gives its cap the curve's direction.
  void addAlong(Point q, Vec2 t) {
    const Point& last = target_->points.back();
    const double e = std::hypot(double(q.x) - last.x, double(q.y) - last.y) / 64;
    add(Point{float(q.x - e * t.x), float(q.y - e * t.y)}, 0);
    add(q, 0);
  }

  // Starts the dash's first piece along t, at most `room` long.
  void startAlong(Vec2 t, double room) {
    const Point q = target_->points.back();
    const double e = room / 64;
    add(Point{float(q.x + e * t.x), float(q.y + e * t.y)}, 0);
  }

  void end(bool closed = false) {
    target_->subpaths.push_back({uint32_t(target_->points.size()), closed, axis_});
    target_ = nullptr;
  }

  // Ends a dash that went all round a closed subpath as that subpath.
  void endAsLoop(uint8_t firstCorner) {
    auto& pts = target_->points;
    if (pts.size() - first_ > 1 && pts.back().x == pts[first_].x && pts.back().y == pts[first_].y) {
      pts.pop_back();
      target_->corners.pop_back();
    }
    target_->corners[first_] = firstCorner;
    end(true);
  }

 private:
  Polyline* target_ = nullptr;
  size_t first_ = 0;
  Point axis_{1, 0};
};

Vec2 unitOr(Vec2 v, Vec2 fallback) {
  const double len = length(v);
  return len > 0.0 && std::isfinite(len) ? (1.0 / len) * v : fallback;
}

// The tangent at point i of a subpath (from `first` to `last`), a curve point
// between two chords: that of a curve of even curvature through both, which
// divides their turn in the ratio of their lengths.
Vec2 curveTangent(const Polyline& in, uint32_t first, uint32_t last, uint32_t i, Vec2 fallback) {
  const uint32_t h = i > first ? i - 1 : last, j = i < last ? i + 1 : first;
  const Vec2 p{in.points[h].x, in.points[h].y}, v{in.points[i].x, in.points[i].y},
      n{in.points[j].x, in.points[j].y};
  return unitOr(length(n - v) * (v - p) + length(v - p) * (n - v), fallback);
}

void appendSubpath(const Polyline& from, size_t sub, size_t skip, Polyline& to) {
  const size_t begin = (sub ? from.subpaths[sub - 1].end : 0) + skip;
  const size_t end = from.subpaths[sub].end;
  to.points.insert(to.points.end(), from.points.begin() + begin, from.points.begin() + end);
  to.corners.insert(to.corners.end(), from.corners.begin() + begin, from.corners.begin() + end);
}

}  // namespace

bool dashes(const DashPattern& pattern) { return PatternWalk(pattern).total() > 0.0; }

void dashPolylines(const Polyline& in, const DashPattern& pattern, Polyline& out, Polyline& head) {
  out.clear();
  PatternWalk walk(pattern);
  walk.restart();
  DashWriter dash;
  size_t started = 0;
  // Counts a dash about to start; false once the path has had its share.
  auto mayStart = [&] {
    if (started == kMaxDashes) return false;
    ++started;
    return true;
  };

  uint32_t first = 0;
  for (size_t s = 0; s < in.subpaths.size() && started < kMaxDashes; ++s) {
    const Polyline::Subpath& sub = in.subpaths[s];
    const uint32_t last = sub.end - 1;
    if (s > 0 && pattern.phaseReset) walk.restart();
    if (sub.end - first == 1) {
      // A subpath that never leaves its start point: a dot where the pattern is on.
      if (walk.on() && mayStart()) {
        dash.begin(out, in.points[first], sub.dotAxis);
        dash.end();
      }
      first = sub.end;
      continue;
    }

    // On a closed subpath a dash running at the start may be continued by the
    // one running at the end, so it waits in `head`.
    head.clear();
    const bool headOpen = sub.closed && walk.on();
    bool switched = false, full = false;
    if (walk.on() && mayStart()) {
      const Point a = in.points[first], b = in.points[first + 1];
      dash.begin(headOpen ? head : out, a, {b.x - a.x, b.y - a.y});
    }
    const uint32_t segments = sub.closed ? sub.end - first : last - first;
    for (uint32_t k = first; k < first + segments && !full; ++k) {
      const Point a = in.points[k];
      const uint32_t j = k == last ? first : k + 1;
      const Point b = in.points[j];
      const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
      const double len = std::sqrt(dx * dx + dy * dy);
      if (!(len > 0.0)) continue;
      const Point axis{float(dx), float(dy)};
      // A chord between two curve points: a dash cut on it ends along the
      // curve's tangent there, not the chord's, so that its cap is square to
      // the curve. The tangent turns from one end's to the other's.
      const bool curved = in.corners[k] == 0 && in.corners[j] == 0;
      Vec2 ta{}, tb{};
      bool tangents = false;  // worked out at the chord's first cut
      double t = 0.0;
      while (walk.remaining() <= len - t) {
        if (curved && !tangents) {
          const Vec2 chord = (1.0 / len) * Vec2{dx, dy};
          ta = curveTangent(in, first, last, k, chord);
          tb = curveTangent(in, first, last, j, chord);
          tangents = true;
        }
        t += walk.remaining();
        const double u = t / len;
        const Point q = u >= 1.0 ? b : Point{float(a.x + u * dx), float(a.y + u * dy)};
        const Vec2 tq = curved ? unitOr((1.0 - u) * ta + u * tb, ta) : Vec2{};
        if (dash.isOpen()) {
          if (curved)
            dash.addAlong(q, tq);
          else
            dash.add(q, 0);
          dash.end();
          switched = true;
        }
        walk.advance();
        if (walk.on()) {
          if (!mayStart()) {
            full = true;
            break;
          }
          dash.begin(out, q, curved ? Point{float(tq.x), float(tq.y)} : axis);
          if (curved) dash.startAlong(tq, std::min(len - t, walk.remaining()));
        }
      }
      if (full) break;
      walk.remaining() -= len - t;
      if (dash.isOpen()) dash.add(b, in.corners[j]);
    }

    if (headOpen && !switched && dash.isOpen()) {
      // On all the way round: the subpath as it was, closed.
      dash.endAsLoop(in.corners[first]);
      appendSubpath(head, 0, 0, out);
      out.subpaths.push_back({uint32_t(out.points.size()), true, sub.dotAxis});
    } else if (headOpen && !head.subpaths.empty()) {
      const bool joins = dash.isOpen();
      // The dash running at the end goes on into the first one, whose first
      // point is where it stands.
      appendSubpath(head, 0, joins ? 1 : 0, out);
      if (joins)
        dash.end();
      else
        out.subpaths.push_back({uint32_t(out.points.size()), false, head.subpaths[0].dotAxis});
    } else if (dash.isOpen()) {
      dash.end();
    }
    first = sub.end;
  }
}

}  // namespace tq
