// 3 x 3 matrices in the order vgLoadMatrix takes them (column by column):
// { sx, shy, w0, shx, sy, w1, tx, ty, w2 }, mapping (x, y, 1) to
// (sx*x + shx*y + tx, shy*x + sy*y + ty, w0*x + w1*y + w2).
#pragma once

#include <cmath>

namespace tq {

// A point or direction of the surface or user space.
struct Point {
  float x;
  float y;
};

struct Matrix {
  float m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

  static Matrix identity() { return Matrix{}; }

  float sx() const { return m[0]; }
  float shy() const { return m[1]; }
  float shx() const { return m[3]; }
  float sy() const { return m[4]; }
  float tx() const { return m[6]; }
  float ty() const { return m[7]; }

  bool isAffine() const { return m[2] == 0.0f && m[5] == 0.0f && m[8] == 1.0f; }
  void forceAffine() {
    m[2] = 0.0f;
    m[5] = 0.0f;
    m[8] = 1.0f;
  }

  // Affine part only: path matrices are affine by construction.
  Point apply(Point p) const {
    return {m[0] * p.x + m[3] * p.y + m[6], m[1] * p.x + m[4] * p.y + m[7]};
  }
  // The linear part, for directions and radii.
  Point applyLinear(Point v) const { return {m[0] * v.x + m[3] * v.y, m[1] * v.x + m[4] * v.y}; }

  double determinant2x2() const { return double(m[0]) * m[4] - double(m[3]) * m[1]; }

  // this * other: other is applied first.
  Matrix operator*(const Matrix& o) const {
    Matrix r;
    for (int col = 0; col < 3; ++col) {
      for (int row = 0; row < 3; ++row) {
        double s = 0.0;
        for (int k = 0; k < 3; ++k) s += double(m[k * 3 + row]) * o.m[col * 3 + k];
        r.m[col * 3 + row] = float(s);
      }
    }
    return r;
  }

  bool isFinite() const {
    for (float v : m)
      if (!std::isfinite(v)) return false;
    return true;
  }
};

}  // namespace tq
