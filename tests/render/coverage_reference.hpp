// Reference geometry and exact coverage for the pixel tests, computed
// independently of the library: curves are sampled finely and every pixel is
// sampled 16 x 16 times.
#pragma once

#include <VG/openvg.h>

#include <vector>

namespace tqtest {

struct Vec2 {
  double x;
  double y;
};

// x' = a x + c y + e, y' = b x + d y + f
struct Affine {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  Vec2 apply(Vec2 p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
  Affine then(const Affine& o) const;  // this first, then o
  static Affine translate(double x, double y);
  static Affine scale(double x, double y);
  static Affine rotateDegrees(double angle);
};

Affine inverse(const Affine& m);  // m must be invertible
// Loads m as the matrix of `mode`.
void loadMatrix(VGMatrixMode mode, const Affine& m);

using Contour = std::vector<Vec2>;

// Builds a path's segment and coordinate lists together with its reference
// outline (absolute commands only).
struct Shape {
  std::vector<VGubyte> segments;
  std::vector<VGfloat> coords;
  std::vector<Contour> contours;

  void moveTo(double x, double y);
  void lineTo(double x, double y);
  void cubicTo(double x1, double y1, double x2, double y2, double x, double y);
  // An axis-aligned elliptical arc of one of the four kinds
  // (VG_SCCWARC_TO_ABS and so on); radii too small are scaled up.
  void arcTo(VGubyte kind, double rx, double ry, double x, double y);
  void close();

  // A path with all capabilities holding this shape.
  VGPath makePath() const;

 private:
  Vec2 current_{0, 0};
};

// The outline given by absolute move, line, cubic and close commands.
Shape shapeFromCommands(const VGubyte* segments, int count, const VGfloat* coords);

// Exact coverage (16 x 16 samples a pixel) of the contours mapped by m, on a
// width x height surface, bottom row first.
std::vector<float> exactCoverage(const std::vector<Contour>& contours, const Affine& m,
                                 VGFillRule rule, int width, int height);

struct Comparison {
  double meanError = 0;  // over the outline's box
  double maxError = 0;
  double iou = 0;         // of the masks coverage > 0.5
  int partialPixels = 0;  // rendered pixels strictly between 0 and 1
};

// Compares over the box of the reference's non-zero pixels.
Comparison compareCoverage(const std::vector<float>& rendered, const std::vector<float>& reference,
                           int width, int height);

}  // namespace tqtest
