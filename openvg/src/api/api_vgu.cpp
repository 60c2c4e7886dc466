// The utility calls: handle, capability and argument checks, and the mapping
// to VGU error codes. They report through their return values only: the
// context's error stays as it was.
#include <VG/vgu.h>

#include <cmath>
#include <initializer_list>
#include <new>
#include <stdexcept>

#include "api/entry.hpp"
#include "core/context.hpp"
#include "core/path.hpp"
#include "geometry/shapes.hpp"

namespace {

bool allFinite(std::initializer_list<VGfloat> values) {
  for (VGfloat v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

VGUErrorCode toVgu(VGErrorCode err) {
  switch (err) {
    case VG_NO_ERROR:
      return VGU_NO_ERROR;
    case VG_OUT_OF_MEMORY_ERROR:
      return VGU_OUT_OF_MEMORY_ERROR;
    default:
      return VGU_ILLEGAL_ARGUMENT_ERROR;
  }
}

// Checks the path, then lets `build` check its arguments (false: an illegal
// argument) and fill in the shape, and appends it.
template <typename Build>
VGUErrorCode appendShapeTo(VGPath handle, Build&& build) {
  tq::Context* ctx = tq::currentContext();
  tq::Path* path = ctx ? tq::lookupPath(*ctx, handle) : nullptr;
  if (!path) return VGU_BAD_HANDLE_ERROR;
  if (!(path->capabilities & VG_PATH_CAPABILITY_APPEND_TO)) return VGU_PATH_CAPABILITY_ERROR;
  try {
    tq::Shape shape;
    if (!build(shape)) return VGU_ILLEGAL_ARGUMENT_ERROR;
    return toVgu(tq::appendShape(*path, shape));
  } catch (const std::bad_alloc&) {
    return VGU_OUT_OF_MEMORY_ERROR;
  } catch (const std::length_error&) {
    return VGU_OUT_OF_MEMORY_ERROR;
  }
}

bool validBox(VGfloat x, VGfloat y, VGfloat width, VGfloat height) {
  return allFinite({x, y, width, height}) && width > 0 && height > 0;
}

// Writes `warp` when it was found; the matrix is untouched otherwise.
VGUErrorCode writeWarp(bool found, const tq::Warp& warp, VGfloat* matrix) {
  if (!found) return VGU_BAD_WARP_ERROR;
  VGfloat m[9];
  for (int i = 0; i < 9; ++i) {
    m[i] = static_cast<VGfloat>(warp[size_t(i)]);
    if (!std::isfinite(m[i])) return VGU_BAD_WARP_ERROR;
  }
  for (int i = 0; i < 9; ++i) matrix[i] = m[i];
  return VGU_NO_ERROR;
}

bool toQuad(std::initializer_list<VGfloat> values, double quad[8]) {
  int i = 0;
  for (VGfloat v : values) quad[i++] = v;
  return allFinite(values);
}

}  // namespace

extern "C" {

VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguLine(VGPath path, VGfloat x0, VGfloat y0, VGfloat x1,
                                                VGfloat y1) VGU_API_EXIT {
  return appendShapeTo(path, [&](tq::Shape& s) {
    if (!allFinite({x0, y0, x1, y1})) return false;
    tq::lineShape(x0, y0, x1, y1, s);
    return true;
  });
}

VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguPolygon(VGPath path, const VGfloat* points, VGint count,
                                                   VGboolean closed) VGU_API_EXIT {
  return appendShapeTo(path, [&](tq::Shape& s) {
    if (count < 1 || !tq::isAlignedPointer<VGfloat>(points)) return false;
    for (int64_t i = 0; i < 2 * int64_t(count); ++i)
      if (!std::isfinite(points[i])) return false;
    tq::polygonShape(points, size_t(count), closed != VG_FALSE, s);
    return true;
  });
}

VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguRect(VGPath path, VGfloat x, VGfloat y, VGfloat width,
                                                VGfloat height) VGU_API_EXIT {
  return appendShapeTo(path, [&](tq::Shape& s) {
    if (!validBox(x, y, width, height)) return false;
    tq::rectShape(x, y, width, height, s);
    return true;
  });
}

VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguRoundRect(VGPath path, VGfloat x, VGfloat y,
                                                     VGfloat width, VGfloat height,
                                                     VGfloat arcWidth,
                                                     VGfloat arcHeight) VGU_API_EXIT {
  return appendShapeTo(path, [&](tq::Shape& s) {
    if (!validBox(x, y, width, height) || !allFinite({arcWidth, arcHeight})) return false;
    tq::roundRectShape(x, y, width, height, arcWidth, arcHeight, s);
    return true;
  });
}

VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguEllipse(VGPath path, VGfloat cx, VGfloat cy,
                                                   VGfloat width, VGfloat height) VGU_API_EXIT {
  return appendShapeTo(path, [&](tq::Shape& s) {
    if (!validBox(cx, cy, width, height)) return false;
    tq::ellipseShape(cx, cy, width, height, s);
    return true;
  });
}

VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguArc(VGPath path, VGfloat x, VGfloat y, VGfloat width,
                                               VGfloat height, VGfloat startAngle,
                                               VGfloat angleExtent,
                                               VGUArcType arcType) VGU_API_EXIT {
  return appendShapeTo(path, [&](tq::Shape& s) {
    if (!validBox(x, y, width, height) || !allFinite({startAngle, angleExtent}) ||
        std::fabs(angleExtent) > tq::kMaxArcTurns * 360.0)
      return false;
    tq::ArcClosure closure;
    switch (arcType) {
      case VGU_ARC_OPEN:
        closure = tq::ArcClosure::Open;
        break;
      case VGU_ARC_CHORD:
        closure = tq::ArcClosure::Chord;
        break;
      case VGU_ARC_PIE:
        closure = tq::ArcClosure::Pie;
        break;
      default:
        return false;
    }
    tq::arcShape(x, y, width, height, startAngle, angleExtent, closure, s);
    return true;
  });
}

VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguComputeWarpQuadToSquare(VGfloat sx0, VGfloat sy0,
                                                                   VGfloat sx1, VGfloat sy1,
                                                                   VGfloat sx2, VGfloat sy2,
                                                                   VGfloat sx3, VGfloat sy3,
                                                                   VGfloat* matrix) VGU_API_EXIT {
  double src[8];
  if (!tq::isAlignedPointer<VGfloat>(matrix) ||
      !toQuad({sx0, sy0, sx1, sy1, sx2, sy2, sx3, sy3}, src))
    return VGU_ILLEGAL_ARGUMENT_ERROR;
  tq::Warp w;
  const bool found = tq::warpQuadToSquare(src, w);
  return writeWarp(found, w, matrix);
}

VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguComputeWarpSquareToQuad(VGfloat dx0, VGfloat dy0,
                                                                   VGfloat dx1, VGfloat dy1,
                                                                   VGfloat dx2, VGfloat dy2,
                                                                   VGfloat dx3, VGfloat dy3,
                                                                   VGfloat* matrix) VGU_API_EXIT {
  double dst[8];
  if (!tq::isAlignedPointer<VGfloat>(matrix) ||
      !toQuad({dx0, dy0, dx1, dy1, dx2, dy2, dx3, dy3}, dst))
    return VGU_ILLEGAL_ARGUMENT_ERROR;
  tq::Warp w;
  const bool found = tq::warpSquareToQuad(dst, w);
  return writeWarp(found, w, matrix);
}

VGU_API_CALL VGUErrorCode VGU_API_ENTRY vguComputeWarpQuadToQuad(
    VGfloat dx0, VGfloat dy0, VGfloat dx1, VGfloat dy1, VGfloat dx2, VGfloat dy2, VGfloat dx3,
    VGfloat dy3, VGfloat sx0, VGfloat sy0, VGfloat sx1, VGfloat sy1, VGfloat sx2, VGfloat sy2,
    VGfloat sx3, VGfloat sy3, VGfloat* matrix) VGU_API_EXIT {
  double dst[8], src[8];
  if (!tq::isAlignedPointer<VGfloat>(matrix) ||
      !toQuad({dx0, dy0, dx1, dy1, dx2, dy2, dx3, dy3}, dst) ||
      !toQuad({sx0, sy0, sx1, sy1, sx2, sy2, sx3, sy3}, src))
    return VGU_ILLEGAL_ARGUMENT_ERROR;
  tq::Warp w;
  const bool found = tq::warpQuadToQuad(dst, src, w);
  return writeWarp(found, w, matrix);
}

}  // extern "C"
