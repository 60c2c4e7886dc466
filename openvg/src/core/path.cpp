#include "core/path.hpp"

#include <algorithm>
#include <cstdint>
#include <new>
#include <stdexcept>

namespace tq {

namespace {

template <typename T>
void growTo(std::vector<T>& v, size_t needed) {
  // Doubling keeps long runs of small appends linear.
  if (needed > v.capacity()) v.reserve(std::max(needed, 2 * v.capacity()));
}

bool isAlignedFor(const void* p, VGPathDatatype datatype) {
  return reinterpret_cast<uintptr_t>(p) % bytesPerCoord(datatype) == 0;
}

// Coordinates taken by segments [0, count) of `commands`.
size_t coordsBefore(const std::vector<VGubyte>& commands, size_t count) {
  size_t n = 0;
  for (size_t i = 0; i < count; ++i) n += static_cast<size_t>(coordsPerCommand(commands[i]));
  return n;
}

}  // namespace

bool reservePath(Path& path, size_t moreSegments, size_t moreCoords) {
  // Counts are reported as VGint, so neither may pass INT_MAX.
  const size_t maxCount = static_cast<size_t>(INT32_MAX);
  const size_t segs = path.commands.size(), coords = path.data.size() / path.coordBytes();
  if (moreSegments > maxCount - segs || moreCoords > maxCount - coords) return false;
  try {
    growTo(path.commands, segs + moreSegments);
    growTo(path.data, (coords + moreCoords) * path.coordBytes());
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  return true;
}

bool getPathParameter(const Path& path, VGint paramType, double* value) {
  switch (paramType) {
    case VG_PATH_FORMAT:
      *value = path.format;
      return true;
    case VG_PATH_DATATYPE:
      *value = path.datatype;
      return true;
    case VG_PATH_SCALE:
      *value = path.scale;
      return true;
    case VG_PATH_BIAS:
      *value = path.bias;
      return true;
    case VG_PATH_NUM_SEGMENTS:
      *value = path.numSegments();
      return true;
    case VG_PATH_NUM_COORDS:
      *value = path.numCoords();
      return true;
    default:
      return false;
  }
}

VGErrorCode appendPathData(Path& dst, VGint numSegments, const VGubyte* segments,
                           const void* data) {
  if (numSegments < 1 || !segments || !data || !isAlignedFor(data, dst.datatype))
    return VG_ILLEGAL_ARGUMENT_ERROR;
  size_t coords = 0;
  for (VGint i = 0; i < numSegments; ++i) {
    const int n = coordsPerCommand(segments[i]);
    if (n < 0) return VG_ILLEGAL_ARGUMENT_ERROR;
    coords += static_cast<size_t>(n);
  }
  if (!reservePath(dst, static_cast<size_t>(numSegments), coords)) return VG_OUT_OF_MEMORY_ERROR;
  dst.commands.insert(dst.commands.end(), segments, segments + numSegments);
  const auto* bytes = static_cast<const unsigned char*>(data);
  dst.data.insert(dst.data.end(), bytes, bytes + coords * dst.coordBytes());
  return VG_NO_ERROR;
}

VGErrorCode appendPath(Path& dst, const Path& src) {
  const size_t segs = src.commands.size();
  const size_t coords = src.data.size() / src.coordBytes();
  if (!reservePath(dst, segs, coords)) return VG_OUT_OF_MEMORY_ERROR;
  if (dst.datatype == src.datatype && dst.scale == src.scale && dst.bias == src.bias) {
    // Same encoding: copy exactly, without a round trip through doubles.
    const size_t bytes = src.data.size();
    dst.data.resize(dst.data.size() + bytes);
    std::copy_n(src.data.begin(), bytes, dst.data.end() - static_cast<std::ptrdiff_t>(bytes));
    dst.commands.resize(dst.commands.size() + segs);
    std::copy_n(src.commands.begin(), segs, dst.commands.end() - static_cast<std::ptrdiff_t>(segs));
    return VG_NO_ERROR;
  }
  // Capacity is reserved, so when dst is src the reads below see the
  // original data and nothing reallocates under them.
  for (size_t i = 0; i < coords; ++i) dst.pushCoord(src.coord(i));
  for (size_t i = 0; i < segs; ++i) dst.commands.push_back(src.commands[i]);
  return VG_NO_ERROR;
}

VGErrorCode modifyPathCoords(Path& dst, VGint startIndex, VGint numSegments, const void* data) {
  if (startIndex < 0 || numSegments < 1 || !data || !isAlignedFor(data, dst.datatype) ||
      int64_t(startIndex) + numSegments > int64_t(dst.commands.size()))
    return VG_ILLEGAL_ARGUMENT_ERROR;
  const size_t first = coordsBefore(dst.commands, static_cast<size_t>(startIndex));
  const size_t last = coordsBefore(
      dst.commands, static_cast<size_t>(startIndex) + static_cast<size_t>(numSegments));
  const size_t bytes = dst.coordBytes();
  std::copy_n(static_cast<const unsigned char*>(data), (last - first) * bytes,
              dst.data.begin() + static_cast<std::ptrdiff_t>(first * bytes));
  return VG_NO_ERROR;
}

}  // namespace tq
