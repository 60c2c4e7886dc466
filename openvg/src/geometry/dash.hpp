// Dashing: cuts flattened subpaths into the dashes of an on/off pattern, as a
// polyline-to-polyline step before stroking.
#pragma once

#include <cstddef>
#include <span>

#include "geometry/polygon.hpp"

namespace tq {

// A path that would need more dashes than this draws its first kMaxDashes
// dashes and nothing after them: a tiny pattern on a long path cannot make
// the work or the output grow without bound.
inline constexpr size_t kMaxDashes = 100000;

struct DashPattern {
  // On and off lengths in turn, in the polylines' units. An odd trailing entry
  // is ignored; negative or NaN lengths count as 0.
  std::span<const float> lengths;
  float phase = 0.0f;       // where in the pattern the first subpath starts; may be negative
  bool phaseReset = false;  // each subpath starts at the phase, else it continues the last
};

// Whether `pattern` cuts anything: false for an empty pattern and for one
// whose lengths add up to 0, which cannot be walked and strokes solid.
bool dashes(const DashPattern& pattern);

// Clears `out`, then appends each dash of `in` as an open subpath that keeps
// the corners and curve points it crosses, so joins inside a dash stay. A
// dash of zero length is one point turned along the path. A dash cut inside
// a flattened curve (on a chord between two curve points) ends in a short
// piece along the curve's tangent there, estimated from the chords around,
// so that its cap is square to the curve; a dot there is turned to it. On a
// closed subpath whose pattern is on at both its start and its end the last
// dash runs on into the first; one never switched off stays closed. `head`
// is scratch. Requires dashes(pattern).
void dashPolylines(const Polyline& in, const DashPattern& pattern, Polyline& out, Polyline& head);

}  // namespace tq
