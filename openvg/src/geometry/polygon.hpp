// Flattened outlines in surface pixels: what the geometry hands the rasteriser.
#pragma once

#include <cstdint>
#include <vector>

namespace tq {

struct Point {
  float x;
  float y;
};

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

}  // namespace tq
