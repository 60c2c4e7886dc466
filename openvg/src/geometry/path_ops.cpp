#include "geometry/path_ops.hpp"

#include <cmath>
#include <numbers>

#include "geometry/curves.hpp"
#include "geometry/segments.hpp"

namespace tq {

namespace {

VGubyte mirroredArc(VGubyte type) {
  switch (type) {
    case VG_SCCWARC_TO:
      return VG_SCWARC_TO;
    case VG_SCWARC_TO:
      return VG_SCCWARC_TO;
    case VG_LCCWARC_TO:
      return VG_LCWARC_TO;
    default:
      return VG_LCCWARC_TO;
  }
}

// Coordinates a transformed segment takes: H/V lines grow to two.
size_t transformedCoords(VGubyte command) {
  const VGubyte type = command & 0x1e;
  if (type == VG_HLINE_TO || type == VG_VLINE_TO) return 2;
  return static_cast<size_t>(coordsPerCommand(command));
}

// A segment in the form interpolation compares: absolute moves, lines,
// cubics, arcs and closes.
struct Normalised {
  SegmentKind kind;  // Quad never appears: it is raised to Cubic
  VGubyte arcType;
  int count;
  double v[6];
};

// How many values a normalised segment of kind k has.
int normalisedCount(SegmentKind k) {
  switch (k) {
    case SegmentKind::Close:
      return 0;
    case SegmentKind::Move:
    case SegmentKind::Line:
      return 2;
    case SegmentKind::Arc:
      return 5;
    default:
      return 6;
  }
}

Normalised normalise(const Segment& seg) {
  Normalised n{seg.kind, 0, 0, {}};
  switch (seg.kind) {
    case SegmentKind::Close:
      break;
    case SegmentKind::Move:
    case SegmentKind::Line:
      n.v[0] = seg.end.x;
      n.v[1] = seg.end.y;
      break;
    case SegmentKind::Quad:
    case SegmentKind::Cubic: {
      Curve c;
      segmentCurve(seg, c);
      n.kind = SegmentKind::Cubic;
      const double v[6] = {c.p[1].x, c.p[1].y, c.p[2].x, c.p[2].y, c.p[3].x, c.p[3].y};
      for (int i = 0; i < 6; ++i) n.v[i] = v[i];
      break;
    }
    case SegmentKind::Arc: {
      n.arcType = seg.type();
      const double v[5] = {seg.rh, seg.rv, seg.rotation, seg.end.x, seg.end.y};
      for (int i = 0; i < 5; ++i) n.v[i] = v[i];
      break;
    }
  }
  n.count = normalisedCount(n.kind);
  return n;
}

// The kind normalise gives a stored command's segment, from the command alone.
SegmentKind normalisedKind(VGubyte command) {
  switch (command & 0x1e) {
    case VG_CLOSE_PATH:
      return SegmentKind::Close;
    case VG_MOVE_TO:
      return SegmentKind::Move;
    case VG_LINE_TO:
    case VG_HLINE_TO:
    case VG_VLINE_TO:
      return SegmentKind::Line;
    case VG_QUAD_TO:
    case VG_SQUAD_TO:
    case VG_CUBIC_TO:
    case VG_SCUBIC_TO:
      return SegmentKind::Cubic;
    default:
      return SegmentKind::Arc;
  }
}

VGubyte absoluteCommand(const Normalised& n) {
  switch (n.kind) {
    case SegmentKind::Close:
      return VG_CLOSE_PATH;
    case SegmentKind::Move:
      return VG_MOVE_TO_ABS;
    case SegmentKind::Line:
      return VG_LINE_TO_ABS;
    case SegmentKind::Arc:
      return n.arcType;
    default:
      return VG_CUBIC_TO_ABS;
  }
}

}  // namespace

VGErrorCode transformPath(Path& dst, const Path& src, const Matrix& matrix) {
  const size_t segs = src.commands.size();
  size_t coords = 0;
  for (size_t i = 0; i < segs; ++i) coords += transformedCoords(src.commands[i]);
  if (!reservePath(dst, segs, coords)) return VG_OUT_OF_MEMORY_ERROR;

  const Affine m = Affine::from(matrix);
  const bool mirrors = m.det() < 0.0;
  SegmentReader reader(src, segs);
  Segment seg;
  while (reader.next(seg)) {
    const bool relative = (seg.command & VG_RELATIVE) != 0;
    // A relative point is an offset from the previous end point, which the
    // linear part alone carries over.
    auto put = [&](Vec2 p) {
      const Vec2 q = relative ? m.applyLinear(p - seg.start) : m.apply(p);
      dst.pushCoord(q.x);
      dst.pushCoord(q.y);
    };
    VGubyte command = seg.command;
    switch (seg.type()) {
      case VG_CLOSE_PATH:
        break;
      case VG_MOVE_TO:
      case VG_LINE_TO:
      case VG_SQUAD_TO:
        put(seg.end);
        break;
      case VG_HLINE_TO:
      case VG_VLINE_TO:
        command = static_cast<VGubyte>(VG_LINE_TO | (seg.command & VG_RELATIVE));
        put(seg.end);
        break;
      case VG_QUAD_TO:
        put(seg.ctrl[0]);
        put(seg.end);
        break;
      case VG_CUBIC_TO:
        put(seg.ctrl[0]);
        put(seg.ctrl[1]);
        put(seg.end);
        break;
      case VG_SCUBIC_TO:
        put(seg.ctrl[1]);
        put(seg.end);
        break;
      default: {
        // The ellipse the arc lies on, mapped: its new axes replace the radii.
        const double theta = std::fmod(seg.rotation, 360.0) * (std::numbers::pi / 180.0);
        const double rh = std::fabs(seg.rh), rv = std::fabs(seg.rv);
        const double cs = std::cos(theta), sn = std::sin(theta);
        const Affine shape{m.a * cs * rh + m.c * sn * rh,
                           m.b * cs * rh + m.d * sn * rh,
                           -m.a * sn * rv + m.c * cs * rv,
                           -m.b * sn * rv + m.d * cs * rv,
                           0,
                           0};
        double nrh, nrv, nrot;
        ellipseAxes(shape, nrh, nrv, nrot);
        dst.pushCoord(nrh);
        dst.pushCoord(nrv);
        dst.pushCoord(nrot);
        put(seg.end);
        if (mirrors)
          command = static_cast<VGubyte>(mirroredArc(seg.type()) | (seg.command & VG_RELATIVE));
        break;
      }
    }
    dst.commands.push_back(command);
  }
  return VG_NO_ERROR;
}

VGErrorCode interpolatePath(Path& dst, const Path& start, const Path& end, float amount,
                            bool& compatible) {
  compatible = false;
  if (!std::isfinite(amount)) return VG_ILLEGAL_ARGUMENT_ERROR;
  const size_t segs = start.commands.size();
  if (end.commands.size() != segs) return VG_NO_ERROR;

  // First pass: the shapes must match before dst is touched.
  size_t coords = 0;
  for (size_t i = 0; i < segs; ++i) {
    const SegmentKind kind = normalisedKind(start.commands[i]);
    if (kind != normalisedKind(end.commands[i])) return VG_NO_ERROR;
    coords += static_cast<size_t>(normalisedCount(kind));
  }
  if (!reservePath(dst, segs, coords)) return VG_OUT_OF_MEMORY_ERROR;
  compatible = true;

  // Room is reserved and the readers' counts are fixed, so dst may be a source.
  SegmentReader a(start, segs), b(end, segs);
  Segment sa, sb;
  const double t = amount;
  while (a.next(sa) && b.next(sb)) {
    const Normalised na = normalise(sa), nb = normalise(sb);
    for (int i = 0; i < na.count; ++i) dst.pushCoord(na.v[i] + (nb.v[i] - na.v[i]) * t);
    dst.commands.push_back(absoluteCommand(amount < 0.5f ? na : nb));
  }
  return VG_NO_ERROR;
}

}  // namespace tq
