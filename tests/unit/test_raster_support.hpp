// Shared helpers for the coverage tests: polygons from contours and options
// for a surface of a given size.
#pragma once

#include <vector>

#include "raster/coverage.hpp"

namespace tq::test {

using Contour = std::vector<Point>;

inline Polygon makePolygon(const std::vector<Contour>& contours) {
  Polygon poly;
  for (const Contour& c : contours) {
    poly.points.insert(poly.points.end(), c.begin(), c.end());
    poly.contourEnds.push_back(uint32_t(poly.points.size()));
  }
  return poly;
}

inline RasterOptions options(int w, int h, VGFillRule rule = VG_EVEN_ODD, bool aa = true) {
  RasterOptions o;
  o.fillRule = rule;
  o.antialias = aa;
  o.clip = IntRect{0, 0, w, h};
  return o;
}

}  // namespace tq::test
