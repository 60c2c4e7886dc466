// The apple and pear outlines: one segment list, two coordinate tables, in
// design units (pixels) with y pointing down.
#pragma once

#include <VG/openvg.h>

constexpr int OUTLINE_SEGMENT_COUNT = 16;
constexpr int OUTLINE_COORD_COUNT = 76;

extern const VGubyte OUTLINE_SEGMENTS[OUTLINE_SEGMENT_COUNT];
extern const VGfloat APPLE_COORDS[OUTLINE_COORD_COUNT];
extern const VGfloat PEAR_COORDS[OUTLINE_COORD_COUNT];
