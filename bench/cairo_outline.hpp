// The morph's outline at an amount as cairo draws it, about a centre, y up
// like the window, so that cairo's rows go to OpenGL as they are.
#pragma once

#include <VG/openvg.h>
#include <cairo.h>

#include "outlines.h"

namespace bench {

inline void cairoMorphOutline(cairo_t* cr, float amount, double centre) {
  const VGfloat* a = APPLE_COORDS;
  const VGfloat* b = PEAR_COORDS;
  auto x = [&](int i) { return centre + double(a[i] + (b[i] - a[i]) * amount); };
  auto y = [&](int i) { return centre - double(a[i] + (b[i] - a[i]) * amount); };
  int c = 0;
  for (int s = 0; s < OUTLINE_SEGMENT_COUNT; ++s) {
    switch (OUTLINE_SEGMENTS[s]) {
      case VG_MOVE_TO_ABS:
        cairo_move_to(cr, x(c), y(c + 1));
        c += 2;
        break;
      case VG_CUBIC_TO_ABS:
        cairo_curve_to(cr, x(c), y(c + 1), x(c + 2), y(c + 3), x(c + 4), y(c + 5));
        c += 6;
        break;
      default:
        cairo_close_path(cr);
    }
  }
}

}  // namespace bench
