// Flattened outlines: closed contours in surface pixels for the rasteriser, and
// open or closed polylines for the stroker.
#pragma once

#include <cstdint>
#include <vector>

#include "core/matrix.hpp"

namespace tq {

// Closed contours: contour i runs from points[contourEnds[i-1]] (or 0) to
// points[contourEnds[i] - 1] and closes back to its first point. Cleared and
// refilled every draw, so its storage is reused.
struct Polygon {
  std::vector<Point> points;
  std::vector<uint32_t> contourEnds;

  void clear() {
    points.clear();
    contourEnds.clear();
  }
};

// Flattened subpaths as the stroker reads them, in whatever space they were
// flattened in. Subpath i holds points[subpaths[i-1].end] (or 0) up to
// points[subpaths[i].end - 1]; consecutive points differ, and a closed one
// does not repeat its first point at its end. A subpath of one point never
// left its start point: it draws a dot, turned to `dotAxis` (any length).
struct Polyline {
  struct Subpath {
    uint32_t end;
    bool closed;
    Point dotAxis;
  };
  std::vector<Point> points;
  // Per point: 1 where two segments meet (a join goes there), 0 inside a
  // flattened curve (the pen turns smoothly there). Meaningless at the ends of
  // an open subpath.
  std::vector<uint8_t> corners;
  std::vector<Subpath> subpaths;

  void clear() {
    points.clear();
    corners.clear();
    subpaths.clear();
  }
};

}  // namespace tq
