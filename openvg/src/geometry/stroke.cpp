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

// Writes one stroke outline at a time (one or more contours), mapped to the
// surface and turned counter-clockwise there; an outline with no area or a
// non-finite point is dropped, and so is the one that would pass the output
// cap, after which nothing more is written.
class PieceWriter {
 public:
  PieceWriter(Polygon& out, const Affine& m) : out_(out), m_(m) {}

  bool full() const { return full_; }

  void begin() {
    start_ = out_.points.size();
    firstContour_ = out_.contourEnds.size();
    bad_ = full_;
  }

  void add(Vec2 p) {
    if (bad_) return;
    if (out_.points.size() >= kMaxStrokePoints) {
      full_ = bad_ = true;
      return;
    }
    const Vec2 q = m_.apply(p);
    // Beyond the float range the conversion is undefined: such an outline is dropped.
    if (!(std::fabs(q.x) <= FLT_MAX && std::fabs(q.y) <= FLT_MAX)) {
      bad_ = true;
      return;
    }
    out_.points.push_back(Point{float(q.x), float(q.y)});
  }

  // Closes the current contour; the next point starts another of the outline.
  void next() {
    const uint32_t at = uint32_t(out_.points.size());
    if (!bad_ && at > (out_.contourEnds.size() > firstContour_ ? out_.contourEnds.back() : start_))
      out_.contourEnds.push_back(at);
  }

  void end() {
    next();
    auto& pts = out_.points;
    auto& ends = out_.contourEnds;
    // An outline winds one way all along, overlaps included, so the sign
    // of its whole area is the sign of its winding.
    double area = 0.0;
    for (size_t k = firstContour_, b = start_; k < ends.size() && !bad_; b = ends[k++]) {
      const size_t n = ends[k] - b;
      for (size_t i = 0; i < n; ++i) {
        const Point& p = pts[b + i];
        const Point& q = pts[b + (i + 1 < n ? i + 1 : 0)];
        area += double(p.x) * q.y - double(q.x) * p.y;
      }
    }
    if (bad_ || !(std::fabs(area) > 0.0) || !std::isfinite(area)) {
      pts.resize(start_);
      ends.resize(firstContour_);
      return;
    }
    if (area < 0.0) {
      for (size_t k = firstContour_, b = start_; k < ends.size(); b = ends[k++])
        std::reverse(pts.begin() + ptrdiff_t(b), pts.begin() + ptrdiff_t(ends[k]));
    }
  }

 private:
  Polygon& out_;
  Affine m_;
  size_t start_ = 0;
  size_t firstContour_ = 0;
  bool full_ = false;
  bool bad_ = false;
};

class Stroker {
 public:
  Stroker(PieceWriter& w, std::vector<StrokePiece>& pieces, std::vector<Vec2>& wedges,
          const StrokeStyle& style, double tolerance)
      : w_(w),
        pieces_(pieces),
        wedges_(wedges),
        h_(0.5 * double(style.width)),
        cap_(style.cap),
        join_(style.join) {
    miterLimit_ = style.miterLimit > 1.0f ? double(style.miterLimit) : 1.0;
    // A chord spanning angle a of a circle of radius h leaves it by at most
    // h (1 - cos(a / 2)); at least four chords a circle keep dots round-ish.
    const double x = 1.0 - tolerance / h_;
    arcStep_ = x > -1.0 ? std::min(2.0 * std::acos(x), kPi / 2) : kPi / 2;
    if (!(arcStep_ > 0.0)) arcStep_ = kPi / kMaxArcPieces;
    cosStep_ = std::cos(arcStep_);
    // A miter of half turn a reaches h / cos(a) from the vertex.
    cosHalfMiter_ = h_ / (h_ + tolerance);
    // Merging runs of pieces (see tryMerge) may move the outline by a
    // tenth of the tolerance: a skipped vertex lies that close to its chord,
    // and a kept one whose join or cap depends on the pieces' directions
    // sees them turn by at most mergeTurn_ (a miter's tip moves by up to
    // h (1 + limit^2) a radian).
    mergeSpread_ = 0.1 * tolerance;
    const double smooth = h_ / (h_ + mergeSpread_);
    smoothCos2_ = 2.0 * smooth * smooth;
    mergeTurn_ = mergeSpread_ / (h_ * (1.0 + miterLimit_ * miterLimit_));
  }

  void subpath(const Polyline& in, uint32_t first, const Polyline::Subpath& sub) {
    const uint32_t n = sub.end - first;
    const Point* p = in.points.data() + first;
    const uint8_t* corners = in.corners.data() + first;
    const uint32_t segments = sub.closed ? n : n - 1;
    auto& ps = pieces_;
    ps.clear();
    merged_ = 0;
    for (uint32_t i = 0; i < segments; ++i) {
      StrokePiece piece;
      if (!pieceAt(p, corners, n, i, piece) || tryMerge(piece, i)) continue;
      endRun(p, corners, n, &piece);
      ps.push_back(piece);
      runFirst_ = i;
    }
    endRun(p, corners, n, sub.closed && !ps.empty() ? &ps[0] : nullptr);
    if (ps.empty()) {
      const Vec2 axis = toVec(sub.dotAxis);
      const double len = length(axis);
      dotAt(toVec(p[0]), len > 0.0 && std::isfinite(len) ? (1.0 / len) * axis : Vec2{1, 0});
      return;
    }
    const size_t m = ps.size();
    const bool closed = sub.closed;
    // The turn at each piece's start and how far back along both pieces the
    // inner offsets meet there: h tan(turn / 2).
    for (size_t k = 0; k < m; ++k) {
      StrokePiece& q = ps[k];
      q.inner = 0;
      q.retreat = 0.0;
      if (k == 0 && !closed) continue;
      const Vec2 d0 = ps[k > 0 ? k - 1 : m - 1].d;
      const double c = dot(d0, q.d), s = cross(d0, q.d);
      if (s == 0.0 && c > 0.0) continue;
      q.inner = s < 0.0 ? -1 : 1;
      q.retreat = 1.0 + c > 1e-9 ? h_ * std::fabs(s) / (1.0 + c) : HUGE_VAL;
    }
    // The inner offsets may be cut back to where they meet only where each
    // piece, cut back at both ends, still runs forward: where the path turns
    // tighter than the half width they would fold into a swallowtail outside
    // the stroke.
    for (size_t k = 0; k < m; ++k) {
      StrokePiece& q = ps[k];
      const StrokePiece* next = k + 1 < m ? &ps[k + 1] : (closed ? &ps[0] : nullptr);
      double cut[2] = {0.0, 0.0};  // right side, left side
      if (q.inner != 0) cut[q.inner > 0] += q.retreat;
      if (next && next->inner != 0) cut[next->inner > 0] += next->retreat;
      q.good = cut[0] <= q.len && cut[1] <= q.len;
    }
    for (size_t k = 0; k < m; ++k) {
      const StrokePiece& prev = ps[k > 0 ? k - 1 : m - 1];
      ps[k].joined = (k > 0 || closed) && prev.good && ps[k].good;
      // An open subpath's ends count as corners.
      const bool startCorner = ps[k].corner || (k == 0 && !closed);
      const bool endCorner = k + 1 < m ? ps[k + 1].corner : !closed || ps[0].corner;
      ps[k].endTangent = !startCorner && endCorner;
      ps[k].startTangent = startCorner && !endCorner;
    }
    for (size_t k = 0; k < m; ++k) ps[k].shared = curveNormal(k, ps[k].normal);
    for (size_t k = 0; k < m; ++k)
      for (int i = 0; i < 2; ++i) ps[k].crossed[i] = findCrossing(k, i ? 1.0 : -1.0, ps[k].x[i]);
    wedges_.clear();

    // The left offset forward and the right offset backward: an open subpath
    // as one contour round its caps, a closed one as two loops.
    const StrokePiece& p0 = ps[0];
    const StrokePiece& p1 = ps[m - 1];
    w_.begin();
    if (closed) {
      for (size_t k = 0; k < m; ++k) {
        side(k, 1.0, true);
        through(k, 1.0, true);
      }
      w_.next();
      for (size_t k = m; k > 0; --k) {
        side(k - 1, -1.0, false);
        through(prevIndex(k - 1), -1.0, false);
      }
    } else {
      const Vec2 n0 = h_ * left(p0.d), n1 = h_ * left(p1.d);
      w_.add(p0.a + n0);
      for (size_t k = 1; k < m; ++k) {
        through(k - 1, 1.0, true);
        side(k, 1.0, true);
      }
      through(m - 1, 1.0, true);
      w_.add(p1.b + n1);
      capBetween(p1.b, p1.d);
      w_.add(p1.b - n1);
      for (size_t k = m - 1; k > 0; --k) {
        through(k, -1.0, false);
        side(k, -1.0, false);
      }
      through(0, -1.0, false);
      w_.add(p0.a - n0);
      capBetween(p0.a, -1.0 * p0.d);
    }
    farSides();
    w_.end();
  }

 private:
  // The offset on side `sign` (1 left, -1 right) at piece k's start vertex,
  // walking forward or backward. Inside the turn the two offsets meet where
  // they cross; outside it the join's outline bridges them.
  void side(size_t k, double sign, bool forward) {
    const StrokePiece& q = pieces_[k];
    const Vec2 d0 = pieces_[prevIndex(k)].d, d1 = q.d;
    const Vec2 v = q.a;
    if (q.inner == 0) {
      w_.add(v + (sign * h_) * left(d1));
      return;
    }
    const double c = dot(d0, d1);
    const Vec2 meet = v + (sign * h_ / (1.0 + c)) * (left(d0) + left(d1));
    const Vec2 o0 = (sign * h_) * left(d0), o1 = (sign * h_) * left(d1);
    if (q.inner == int(sign)) {
      if (q.joined) {
        w_.add(meet);
      } else if (q.shared) {
        // Inside both pieces' crossings the point is a spike between them.
        if (!crossing(prevIndex(k), sign) || !crossing(k, sign)) w_.add(v + (sign * h_) * q.normal);
      } else {
        // Through the vertex: both pieces keep their whole rectangles, which
        // overlap there and wind the same way.
        w_.add(v + (forward ? o0 : o1));
        w_.add(v);
        w_.add(v + (forward ? o1 : o0));
      }
      return;
    }
    // The offset lines on either side of `meet` run through the offset
    // points, so a miter, or a round join whose miter leaves the arc by no
    // more than the tolerance, is that one point.
    const VGJoinStyle style = q.corner ? join_ : VG_JOIN_ROUND;
    const double cosHalf = std::sqrt(std::max(0.5 * (1.0 + c), 0.0));
    if ((style == VG_JOIN_MITER && cosHalf * miterLimit_ >= 1.0) ||
        (style == VG_JOIN_ROUND && cosHalf >= cosHalfMiter_)) {
      w_.add(meet);
      return;
    }
    w_.add(v + (forward ? o0 : o1));
    if (style == VG_JOIN_ROUND && c < cosStep_) {
      const double s = cross(d0, d1);
      const double turn = std::fabs(std::atan2(s, c));
      const double angle = (s < 0.0) == forward ? -turn : turn;
      arc(v, forward ? o0 : o1, angle, pieces(turn));
    }
    w_.add(v + (forward ? o1 : o0));
  }

  size_t prevIndex(size_t k) const { return k > 0 ? k - 1 : pieces_.size() - 1; }
  size_t nextIndex(size_t k) const { return k + 1 < pieces_.size() ? k + 1 : 0; }

  // Where the inner offsets at piece k's start vertex, a curve point, go
  // through the vertex on side `sign`, the curve's normal n they share
  // there. Rectangles of the chords would stand off the curve's true normals
  // by half the chord's turn: h sin(turn / 2) past a cap, a reversal or a
  // dash's end, and on the far side of a curve of radius below h, by half a
  // chord past its end normal. Next to a tangent piece (short, along the
  // true tangent) n is that piece's normal; elsewhere that of the tangent
  // of a curve of even curvature through both chords, which divides their
  // turn in the ratio of their lengths.
  bool curveNormal(size_t k, Vec2& n) const {
    const StrokePiece& q = pieces_[k];
    const StrokePiece& p = pieces_[prevIndex(k)];
    if (q.inner == 0 || q.joined || q.corner) return false;
    if (q.endTangent != p.startTangent) {
      n = left(q.endTangent ? q.d : p.d);
    } else {
      const Vec2 t = q.len * p.d + p.len * q.d;
      const double len = length(t);
      if (!(len > 0.0)) return false;
      n = left((1.0 / len) * t);
    }
    return true;
  }
  Vec2 startNormal(size_t k, double sign) const {
    const StrokePiece& q = pieces_[k];
    return q.shared && q.inner == int(sign) ? q.normal : left(q.d);
  }
  Vec2 endNormal(size_t k, double sign) const {
    const StrokePiece& n = pieces_[nextIndex(k)];
    return n.shared && n.inner == int(sign) ? n.normal : left(pieces_[k].d);
  }

  // Whether piece k's normals at its two ends on side `sign` cross within h
  // (the curve's radius is below the half width there), and where: x.
  bool findCrossing(size_t k, double sign, Vec2& x) const {
    const StrokePiece& q = pieces_[k];
    const Vec2 n0 = startNormal(k, sign), n1 = endNormal(k, sign);
    if (n0 == n1) return false;
    const Vec2 r = (sign * h_) * n0, s = (sign * h_) * n1;
    const double den = cross(r, s);
    if (!(std::fabs(den) > 0.0)) return false;
    const Vec2 ab = q.b - q.a;
    const double t = cross(ab, s) / den, u = cross(ab, r) / den;
    if (!(t > 0.0 && t < 1.0 && u > 0.0 && u < 1.0)) return false;
    x = q.a + t * r;
    return true;
  }
  bool crossing(size_t k, double sign) const { return pieces_[k].crossed[sign > 0.0]; }

  // Piece k's side `sign` between its end vertices: where its normals cross,
  // through the crossing x. Its piece is then the triangle on the near side
  // of x, the normals making spikes, and the triangle beyond x between its
  // normals' far ends, which is kept for a contour of its own (farSides).
  void through(size_t k, double sign, bool forward) {
    const StrokePiece& q = pieces_[k];
    if (!q.crossed[sign > 0.0]) return;
    const Vec2 x = q.x[sign > 0.0];
    w_.add(x);
    const Vec2 f0 = q.a + (sign * h_) * startNormal(k, sign);
    const Vec2 f1 = q.b + (sign * h_) * endNormal(k, sign);
    if (forward)
      wedges_.insert(wedges_.end(), {x, f0, f1});
    else
      wedges_.insert(wedges_.end(), {x, f1, f0});
  }

  // The far triangles, each run of them that shares far ends in turn as one
  // contour: their far ends in order, then their crossings back (the
  // crossings of consecutive triangles lie on the normal they share, so
  // nothing more is covered). Wound as the rest of the outline, clockwise in
  // user space.
  void farSides() {
    const size_t n = wedges_.size() / 3;
    for (size_t i = 0; i < n;) {
      size_t j = i + 1;
      while (j < n && wedges_[3 * j + 1] == wedges_[3 * j - 1]) ++j;
      double area = 0.0;
      Vec2 last = wedges_[3 * i];
      auto emit = [&](Vec2 p) {
        area += cross(last, p);
        last = p;
      };
      emit(wedges_[3 * i + 1]);
      for (size_t k = i; k < j; ++k) emit(wedges_[3 * k + 2]);
      for (size_t k = j; k > i; --k) emit(wedges_[3 * (k - 1)]);
      const bool reverse = area > 0.0;
      w_.next();
      if (!reverse) {
        w_.add(wedges_[3 * i + 1]);
        for (size_t k = i; k < j; ++k) w_.add(wedges_[3 * k + 2]);
        for (size_t k = j; k > i; --k) w_.add(wedges_[3 * (k - 1)]);
      } else {
        for (size_t k = i; k < j; ++k) w_.add(wedges_[3 * k]);
        for (size_t k = j; k > i; --k) w_.add(wedges_[3 * (k - 1) + 2]);
        w_.add(wedges_[3 * i + 1]);
      }
      i = j;
    }
  }

  // The outline of the cap at end point p, whose direction there, pointing
  // out of the stroke, is d: the points between p + n and p - n.
  void capBetween(Vec2 p, Vec2 d) {
    const Vec2 n = h_ * left(d);
    if (cap_ == VG_CAP_SQUARE) {
      w_.add(p + n + h_ * d);
      w_.add(p - n + h_ * d);
    } else if (cap_ == VG_CAP_ROUND) {
      arc(p, n, -kPi, pieces(kPi));
    }
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
  std::vector<StrokePiece>& pieces_;
  std::vector<Vec2>& wedges_;
  double h_;
  VGCapStyle cap_;
  VGJoinStyle join_;
  double miterLimit_ = 1.0;
  // Piece i of the subpath's n points; false where it has no length (no
  // direction: no join, no turn).
  static bool pieceAt(const Point* p, const uint8_t* corners, uint32_t n, uint32_t i,
                      StrokePiece& piece) {
    const uint32_t j = i + 1 < n ? i + 1 : 0;
    const Vec2 a = toVec(p[i]), b = toVec(p[j]);
    const double len = length(b - a);
    if (!(len > 0.0) || !std::isfinite(len)) return false;
    piece.a = a;
    piece.b = b;
    piece.d = (1.0 / len) * (b - a);
    piece.len = len;
    piece.corner = corners[i] != 0;
    return true;
  }

  // Whether a join of the stroke's style between directions u and w reaches
  // past (a miter) or falls short of (a bevel) the disc round the vertex by
  // more than mergeSpread_. Round joins are the disc: the stroke of pieces
  // with round joins is every point within h of them, which moves by no
  // more than the pieces do.
  bool turnsSharply(Vec2 u, Vec2 w) const {
    return join_ != VG_JOIN_ROUND && 1.0 + dot(u, w) < smoothCos2_;
  }
  bool turnsLittle(Vec2 u, Vec2 w) const {
    return dot(u, w) > 0.0 && std::fabs(cross(u, w)) <= mergeTurn_;
  }

  // Extends the last piece over piece q (piece i of the subpath) where the
  // vertex between them, and every vertex skipped before in this run, lies
  // within mergeSpread_ of the longer chord and has no join that matters:
  // a path of pieces far below the tolerance (a million curves round a
  // circle, whose float points make every tiny piece turn at random) is
  // stroked as chords rather than as slivers overlapping in every row. The
  // first piece is never extended, so every run has a piece before it.
  bool tryMerge(const StrokePiece& q, uint32_t i) {
    if (pieces_.size() < 2 || merged_ == kMergeRun) return false;
    StrokePiece& last = pieces_.back();
    if (q.corner && turnsSharply(merged_ ? lastDirection_ : last.d, q.d)) return false;
    const Vec2 chord = q.b - last.a;
    const double len = length(chord);
    if (!(len > 0.0)) return false;
    const Vec2 d = (1.0 / len) * chord;
    skipped_[merged_] = q.a;
    for (int k = 0; k <= merged_; ++k) {
      const Vec2 r = skipped_[k] - last.a;
      const double t = std::clamp(dot(r, d), 0.0, len);
      const Vec2 off = r - t * d;
      if (!(dot(off, off) <= mergeSpread_ * mergeSpread_)) return false;
    }
    if (merged_ == 0) firstDirection_ = last.d;
    last.b = q.b;
    last.d = d;
    last.len = len;
    lastDirection_ = q.d;
    runLast_ = i;
    ++merged_;
    return true;
  }

  // Ends the run in the last piece, before `next` (null at an open end).
  // Where the join or cap at either end of the chord depends on the
  // directions and the chord turns from the pieces it replaces by more
  // than mergeTurn_, the run's pieces are put back as they were.
  void endRun(const Point* p, const uint8_t* corners, uint32_t n, const StrokePiece* next) {
    if (merged_ == 0) return;
    auto& ps = pieces_;
    const StrokePiece& chord = ps.back();
    const Vec2 before = ps[ps.size() - 2].d;
    const bool startMatters =
        chord.corner && (turnsSharply(before, firstDirection_) || turnsSharply(before, chord.d));
    const bool endMatters = next ? next->corner && (turnsSharply(lastDirection_, next->d) ||
                                                    turnsSharply(chord.d, next->d))
                                 : cap_ != VG_CAP_ROUND;
    const bool keep = (!startMatters || turnsLittle(firstDirection_, chord.d)) &&
                      (!endMatters || turnsLittle(lastDirection_, chord.d));
    merged_ = 0;
    if (keep) return;
    ps.pop_back();
    for (uint32_t i = runFirst_; i <= runLast_; ++i) {
      StrokePiece piece;
      if (pieceAt(p, corners, n, i, piece)) ps.push_back(piece);
    }
  }

  static constexpr int kMergeRun = 16;  // pieces a chord takes in at most
  double mergeSpread_ = 0.0;
  double mergeTurn_ = 0.0;
  double smoothCos2_ = 2.0;
  int merged_ = 0;                       // pieces the last one has taken in
  uint32_t runFirst_ = 0, runLast_ = 0;  // the subpath's pieces in the last one
  Vec2 firstDirection_, lastDirection_;  // of the first and last of them
  Vec2 skipped_[kMergeRun];              // the vertices between them
  double arcStep_ = kPi / 2;
  double cosStep_ = 0.0;
  double cosHalfMiter_ = 1.0;
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
  Stroker stroker(writer, scratch.pieces, scratch.wedges, style, 0.5 * tol);
  uint32_t first = 0;
  for (const Polyline::Subpath& sub : lines->subpaths) {
    if (writer.full()) break;
    stroker.subpath(*lines, first, sub);
    first = sub.end;
  }
}

}  // namespace tq
