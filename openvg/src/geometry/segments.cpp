#include "geometry/segments.hpp"

#include <algorithm>

namespace tq {

SegmentReader::SegmentReader(const Path& path, size_t count)
    : path_(path), count_(std::min(count, path.commands.size())) {}

bool SegmentReader::next(Segment& seg) {
  if (index_ >= count_) return false;
  const VGubyte command = path_.commands[index_++];
  const bool relative = (command & VG_RELATIVE) != 0;
  const Vec2 offset = relative ? o_ : Vec2{};
  // Points are read in order; each call consumes the next two coordinates.
  auto point = [&] {
    const Vec2 v{path_.coord(coord_), path_.coord(coord_ + 1)};
    coord_ += 2;
    return v + offset;
  };

  seg.command = command;
  seg.start = o_;
  switch (command & 0x1e) {
    case VG_CLOSE_PATH:
      seg.kind = SegmentKind::Close;
      seg.end = s_;
      o_ = p_ = s_;
      break;
    case VG_MOVE_TO:
      seg.kind = SegmentKind::Move;
      seg.end = point();
      s_ = o_ = p_ = seg.end;
      break;
    case VG_LINE_TO:
      seg.kind = SegmentKind::Line;
      seg.end = point();
      o_ = p_ = seg.end;
      break;
    case VG_HLINE_TO:
      seg.kind = SegmentKind::Line;
      seg.end = {path_.coord(coord_++) + offset.x, o_.y};
      o_ = p_ = seg.end;
      break;
    case VG_VLINE_TO:
      seg.kind = SegmentKind::Line;
      seg.end = {o_.x, path_.coord(coord_++) + offset.y};
      o_ = p_ = seg.end;
      break;
    case VG_QUAD_TO:
      seg.kind = SegmentKind::Quad;
      seg.ctrl[0] = point();
      seg.end = point();
      p_ = seg.ctrl[0];
      o_ = seg.end;
      break;
    case VG_CUBIC_TO:
      seg.kind = SegmentKind::Cubic;
      seg.ctrl[0] = point();
      seg.ctrl[1] = point();
      seg.end = point();
      p_ = seg.ctrl[1];
      o_ = seg.end;
      break;
    case VG_SQUAD_TO:
      seg.kind = SegmentKind::Quad;
      seg.ctrl[0] = 2.0 * o_ - p_;
      seg.end = point();
      p_ = seg.ctrl[0];
      o_ = seg.end;
      break;
    case VG_SCUBIC_TO:
      seg.kind = SegmentKind::Cubic;
      seg.ctrl[0] = 2.0 * o_ - p_;
      seg.ctrl[1] = point();
      seg.end = point();
      p_ = seg.ctrl[1];
      o_ = seg.end;
      break;
    default:  // the four arcs; stored commands are validated on entry
      seg.kind = SegmentKind::Arc;
      seg.rh = path_.coord(coord_);
      seg.rv = path_.coord(coord_ + 1);
      seg.rotation = path_.coord(coord_ + 2);
      coord_ += 3;
      seg.end = point();
      o_ = p_ = seg.end;
      break;
  }
  return true;
}

}  // namespace tq
