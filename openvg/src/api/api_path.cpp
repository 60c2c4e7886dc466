// The vg path calls: handle and capability checks, then the path operations.
#include <VG/openvg.h>

#include <cmath>
#include <memory>
#include <new>

#include "api/entry.hpp"
#include "core/context.hpp"
#include "core/path.hpp"
#include "geometry/measure.hpp"
#include "geometry/path_ops.hpp"

namespace {

using tq::Context;
using tq::Path;

// The path behind `handle`, or null after raising VG_BAD_HANDLE_ERROR.
Path* pathOrError(Context& ctx, VGPath handle) {
  Path* path = tq::lookupPath(ctx, handle);
  if (!path) tq::setError(ctx, VG_BAD_HANDLE_ERROR);
  return path;
}

// True when `path` has every capability in `caps`; raises the error if not.
bool hasCapabilities(Context& ctx, const Path& path, VGbitfield caps) {
  if ((path.capabilities & caps) == caps) return true;
  tq::setError(ctx, VG_PATH_CAPABILITY_ERROR);
  return false;
}

bool report(Context& ctx, VGErrorCode err) {
  if (err == VG_NO_ERROR) return true;
  tq::setError(ctx, err);
  return false;
}

// Checks a segment range of `path` for the measuring calls.
bool validRange(const Path& path, VGint startSegment, VGint numSegments) {
  return startSegment >= 0 && numSegments > 0 &&
         int64_t(startSegment) + numSegments <= int64_t(path.numSegments());
}

void writeBounds(const Path& path, const tq::Matrix* m, VGfloat* minX, VGfloat* minY,
                 VGfloat* width, VGfloat* height) {
  tq::Bounds b;
  if (!tq::pathBounds(path, m, b)) {
    *minX = 0.0f;
    *minY = 0.0f;
    *width = -1.0f;
    *height = -1.0f;
    return;
  }
  *minX = static_cast<float>(b.minX);
  *minY = static_cast<float>(b.minY);
  *width = static_cast<float>(b.maxX - b.minX);
  *height = static_cast<float>(b.maxY - b.minY);
}

bool validBoundsOutputs(const VGfloat* a, const VGfloat* b, const VGfloat* c, const VGfloat* d) {
  return tq::isAlignedPointer<VGfloat>(a) && tq::isAlignedPointer<VGfloat>(b) &&
         tq::isAlignedPointer<VGfloat>(c) && tq::isAlignedPointer<VGfloat>(d);
}

}  // namespace

extern "C" {

VG_API_CALL VGPath VG_API_ENTRY vgCreatePath(VGint pathFormat, VGPathDatatype datatype,
                                             VGfloat scale, VGfloat bias, VGint segmentCapacityHint,
                                             VGint coordCapacityHint,
                                             VGbitfield capabilities) VG_API_EXIT {
  TQ_GET_CONTEXT(VG_INVALID_HANDLE);
  TQ_IF_ERROR(ctx, pathFormat != VG_PATH_FORMAT_STANDARD, VG_UNSUPPORTED_PATH_FORMAT_ERROR,
              VG_INVALID_HANDLE);
  // A zero scale would make every stored value mean the same; non-finite ones
  // would make no stored value mean anything.
  TQ_IF_ERROR(ctx,
              !tq::isValidDatatype(datatype) || scale == 0.0f || !std::isfinite(scale) ||
                  !std::isfinite(bias),
              VG_ILLEGAL_ARGUMENT_ERROR, VG_INVALID_HANDLE);
  try {
    auto path = std::make_unique<Path>();
    path->datatype = datatype;
    path->scale = scale;
    path->bias = bias;
    path->capabilities = capabilities & VG_PATH_CAPABILITY_ALL;
    // Hints are only hints: a huge one must not reserve memory up front.
    constexpr VGint kMaxHint = 1 << 16;
    if (segmentCapacityHint > 0) path->commands.reserve(std::min(segmentCapacityHint, kMaxHint));
    if (coordCapacityHint > 0)
      path->data.reserve(size_t(std::min(coordCapacityHint, kMaxHint)) * path->coordBytes());
    return tq::addPath(*ctx, std::move(path));
  } catch (const std::bad_alloc&) {
    TQ_RETURN_ERROR(ctx, VG_OUT_OF_MEMORY_ERROR, VG_INVALID_HANDLE);
  }
}

VG_API_CALL void VG_API_ENTRY vgClearPath(VGPath path, VGbitfield capabilities) VG_API_EXIT {
  TQ_GET_CONTEXT();
  Path* p = pathOrError(*ctx, path);
  if (!p) return;
  // clear() keeps capacity: a path refilled every frame stops allocating.
  p->commands.clear();
  p->data.clear();
  p->capabilities = capabilities & VG_PATH_CAPABILITY_ALL;
}

VG_API_CALL void VG_API_ENTRY vgDestroyPath(VGPath path) VG_API_EXIT {
  TQ_GET_CONTEXT();
  if (pathOrError(*ctx, path)) tq::removeObject(*ctx, path);
}

VG_API_CALL void VG_API_ENTRY vgRemovePathCapabilities(VGPath path,
                                                       VGbitfield capabilities) VG_API_EXIT {
  TQ_GET_CONTEXT();
  if (Path* p = pathOrError(*ctx, path))
    p->capabilities &= ~(capabilities & VG_PATH_CAPABILITY_ALL);
}

VG_API_CALL VGbitfield VG_API_ENTRY vgGetPathCapabilities(VGPath path) VG_API_EXIT {
  TQ_GET_CONTEXT(0);
  const Path* p = pathOrError(*ctx, path);
  return p ? p->capabilities : 0;
}

VG_API_CALL void VG_API_ENTRY vgAppendPath(VGPath dstPath, VGPath srcPath) VG_API_EXIT {
  TQ_GET_CONTEXT();
  Path* dst = pathOrError(*ctx, dstPath);
  Path* src = dst ? pathOrError(*ctx, srcPath) : nullptr;
  if (!src) return;
  if (!hasCapabilities(*ctx, *src, VG_PATH_CAPABILITY_APPEND_FROM) ||
      !hasCapabilities(*ctx, *dst, VG_PATH_CAPABILITY_APPEND_TO))
    return;
  report(*ctx, tq::appendPath(*dst, *src));
}

VG_API_CALL void VG_API_ENTRY vgAppendPathData(VGPath dstPath, VGint numSegments,
                                               const VGubyte* pathSegments,
                                               const void* pathData) VG_API_EXIT {
  TQ_GET_CONTEXT();
  Path* dst = pathOrError(*ctx, dstPath);
  if (!dst || !hasCapabilities(*ctx, *dst, VG_PATH_CAPABILITY_APPEND_TO)) return;
  report(*ctx, tq::appendPathData(*dst, numSegments, pathSegments, pathData));
}

VG_API_CALL void VG_API_ENTRY vgModifyPathCoords(VGPath dstPath, VGint startIndex,
                                                 VGint numSegments,
                                                 const void* pathData) VG_API_EXIT {
  TQ_GET_CONTEXT();
  Path* dst = pathOrError(*ctx, dstPath);
  if (!dst || !hasCapabilities(*ctx, *dst, VG_PATH_CAPABILITY_MODIFY)) return;
  report(*ctx, tq::modifyPathCoords(*dst, startIndex, numSegments, pathData));
}

VG_API_CALL void VG_API_ENTRY vgTransformPath(VGPath dstPath, VGPath srcPath) VG_API_EXIT {
  TQ_GET_CONTEXT();
  Path* dst = pathOrError(*ctx, dstPath);
  Path* src = dst ? pathOrError(*ctx, srcPath) : nullptr;
  if (!src) return;
  if (!hasCapabilities(*ctx, *src, VG_PATH_CAPABILITY_TRANSFORM_FROM) ||
      !hasCapabilities(*ctx, *dst, VG_PATH_CAPABILITY_TRANSFORM_TO))
    return;
  report(*ctx, tq::transformPath(*dst, *src, tq::pathUserToSurface(*ctx)));
}

VG_API_CALL VGboolean VG_API_ENTRY vgInterpolatePath(VGPath dstPath, VGPath startPath,
                                                     VGPath endPath, VGfloat amount) VG_API_EXIT {
  TQ_GET_CONTEXT(VG_FALSE);
  Path* dst = pathOrError(*ctx, dstPath);
  Path* start = dst ? pathOrError(*ctx, startPath) : nullptr;
  Path* end = start ? pathOrError(*ctx, endPath) : nullptr;
  if (!end) return VG_FALSE;
  if (!hasCapabilities(*ctx, *start, VG_PATH_CAPABILITY_INTERPOLATE_FROM) ||
      !hasCapabilities(*ctx, *end, VG_PATH_CAPABILITY_INTERPOLATE_FROM) ||
      !hasCapabilities(*ctx, *dst, VG_PATH_CAPABILITY_INTERPOLATE_TO))
    return VG_FALSE;
  bool compatible = false;
  if (!report(*ctx, tq::interpolatePath(*dst, *start, *end, amount, compatible))) return VG_FALSE;
  return compatible ? VG_TRUE : VG_FALSE;
}

VG_API_CALL VGfloat VG_API_ENTRY vgPathLength(VGPath path, VGint startSegment,
                                              VGint numSegments) VG_API_EXIT {
  TQ_GET_CONTEXT(0.0f);
  const Path* p = pathOrError(*ctx, path);
  if (!p || !hasCapabilities(*ctx, *p, VG_PATH_CAPABILITY_PATH_LENGTH)) return -1.0f;
  TQ_IF_ERROR(ctx, !validRange(*p, startSegment, numSegments), VG_ILLEGAL_ARGUMENT_ERROR, -1.0f);
  return static_cast<float>(
      tq::pathLength(*p, static_cast<size_t>(startSegment), static_cast<size_t>(numSegments)));
}

VG_API_CALL void VG_API_ENTRY vgPointAlongPath(VGPath path, VGint startSegment, VGint numSegments,
                                               VGfloat distance, VGfloat* x, VGfloat* y,
                                               VGfloat* tangentX, VGfloat* tangentY) VG_API_EXIT {
  TQ_GET_CONTEXT();
  const Path* p = pathOrError(*ctx, path);
  if (!p) return;
  // Each pair is returned only when both its pointers are given, and then
  // needs its capability.
  const bool wantPoint = x && y, wantTangent = tangentX && tangentY;
  const VGbitfield caps = (wantPoint ? VG_PATH_CAPABILITY_POINT_ALONG_PATH : 0) |
                          (wantTangent ? VG_PATH_CAPABILITY_TANGENT_ALONG_PATH : 0);
  if (!hasCapabilities(*ctx, *p, caps)) return;
  const bool misaligned =
      (wantPoint && (!tq::isAlignedPointer<VGfloat>(x) || !tq::isAlignedPointer<VGfloat>(y))) ||
      (wantTangent &&
       (!tq::isAlignedPointer<VGfloat>(tangentX) || !tq::isAlignedPointer<VGfloat>(tangentY)));
  TQ_IF_ERROR(ctx, misaligned || !validRange(*p, startSegment, numSegments),
              VG_ILLEGAL_ARGUMENT_ERROR);
  tq::Vec2 point, tangent;
  tq::pointAlongPath(*p, static_cast<size_t>(startSegment), static_cast<size_t>(numSegments),
                     distance, point, tangent);
  if (wantPoint) {
    *x = static_cast<float>(point.x);
    *y = static_cast<float>(point.y);
  }
  if (wantTangent) {
    *tangentX = static_cast<float>(tangent.x);
    *tangentY = static_cast<float>(tangent.y);
  }
}

VG_API_CALL void VG_API_ENTRY vgPathBounds(VGPath path, VGfloat* minX, VGfloat* minY,
                                           VGfloat* width, VGfloat* height) VG_API_EXIT {
  TQ_GET_CONTEXT();
  const Path* p = pathOrError(*ctx, path);
  if (!p || !hasCapabilities(*ctx, *p, VG_PATH_CAPABILITY_PATH_BOUNDS)) return;
  TQ_IF_ERROR(ctx, !validBoundsOutputs(minX, minY, width, height), VG_ILLEGAL_ARGUMENT_ERROR);
  writeBounds(*p, nullptr, minX, minY, width, height);
}

VG_API_CALL void VG_API_ENTRY vgPathTransformedBounds(VGPath path, VGfloat* minX, VGfloat* minY,
                                                      VGfloat* width, VGfloat* height) VG_API_EXIT {
  TQ_GET_CONTEXT();
  const Path* p = pathOrError(*ctx, path);
  if (!p || !hasCapabilities(*ctx, *p, VG_PATH_CAPABILITY_PATH_TRANSFORMED_BOUNDS)) return;
  TQ_IF_ERROR(ctx, !validBoundsOutputs(minX, minY, width, height), VG_ILLEGAL_ARGUMENT_ERROR);
  const tq::Matrix m = tq::pathUserToSurface(*ctx);
  writeBounds(*p, &m, minX, minY, width, height);
}

}  // extern "C"
