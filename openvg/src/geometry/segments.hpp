// Reads a path's commands into absolute segments with the reference points
// resolved: relative coordinates made absolute, H/V lines made lines, smooth
// control points reflected. Reads by index, so a caller may append to the very
// path it is reading (the count is fixed when reading starts).
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "core/path.hpp"

namespace tq {

struct Vec2 {
  double x = 0.0;
  double y = 0.0;
};

inline Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
inline Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
inline Vec2 operator*(double s, Vec2 a) { return {s * a.x, s * a.y}; }
inline bool operator==(Vec2 a, Vec2 b) { return a.x == b.x && a.y == b.y; }
inline double dot(Vec2 a, Vec2 b) { return a.x * b.x + a.y * b.y; }
inline double length(Vec2 a) { return std::sqrt(a.x * a.x + a.y * a.y); }

enum class SegmentKind : uint8_t { Move, Line, Quad, Cubic, Arc, Close };

struct Segment {
  SegmentKind kind = SegmentKind::Move;
  VGubyte command = 0;  // as stored, VG_RELATIVE bit included
  Vec2 start;           // the last end point before this segment
  Vec2 ctrl[2];         // Quad: ctrl[0]; Cubic: both
  Vec2 end;             // Close: the subpath's start point
  // Arcs, as stored (signs and rotation in degrees untouched).
  double rh = 0.0, rv = 0.0, rotation = 0.0;

  // The segment kind without the relative bit, e.g. VG_SCCWARC_TO.
  VGubyte type() const { return command & 0x1e; }
};

class SegmentReader {
 public:
  // Reads the first `count` segments (all of them by default).
  explicit SegmentReader(const Path& path, size_t count = SIZE_MAX);

  // Fills `seg` with the next segment; false after the last.
  bool next(Segment& seg);

  // Index of the segment the next call returns.
  size_t index() const { return index_; }

 private:
  const Path& path_;
  size_t count_;
  size_t index_ = 0;
  size_t coord_ = 0;
  Vec2 s_, o_, p_;
};

}  // namespace tq
