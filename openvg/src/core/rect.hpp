// Integer rectangles of the surface: clears, scissors and coverage boxes.
#pragma once

#include <algorithm>
#include <cstdint>

namespace tq {

struct IntRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
};

// The common part of two rectangles (empty when they do not overlap or one
// has no area), computed without overflow.
inline IntRect intersect(const IntRect& a, const IntRect& b) {
  int64_t x0 = a.x > b.x ? a.x : b.x;
  int64_t y0 = a.y > b.y ? a.y : b.y;
  int64_t x1 = std::min(int64_t(a.x) + a.width, int64_t(b.x) + b.width);
  int64_t y1 = std::min(int64_t(a.y) + a.height, int64_t(b.y) + b.height);
  if (a.empty() || b.empty() || x1 <= x0 || y1 <= y0) return IntRect{};
  return IntRect{int(x0), int(y0), int(x1 - x0), int(y1 - y0)};
}

}  // namespace tq
