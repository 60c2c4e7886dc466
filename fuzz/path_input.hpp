// Paths from fuzzer input, shared by the targets that need them: creation
// with any datatype, scale and bias, and segment data with any command bytes
// and coordinates, in buffers sized exactly to what the commands take.
#pragma once

#include <VG/openvg.h>

#include <vector>

#include "core/context.hpp"
#include "core/path.hpp"
#include "fuzz_input.hpp"

namespace tqfuzz {

inline tq::Path* internalPath(VGPath handle) {
  tq::Context* ctx = tq::currentContext();
  return ctx ? tq::lookupPath(*ctx, handle) : nullptr;
}

// Mostly a valid command byte (any of the 13 kinds, absolute or relative),
// sometimes any byte.
inline VGubyte commandByte(Input& in) {
  if (in.pick(16) == 0) return in.byte();
  const int kind = in.pick(13);
  return static_cast<VGubyte>(kind * 2 + in.pick(2));
}

inline VGPath createPath(Input& in) {
  static constexpr int32_t kDatatypes[] = {VG_PATH_DATATYPE_S_8, VG_PATH_DATATYPE_S_16,
                                           VG_PATH_DATATYPE_S_32, VG_PATH_DATATYPE_F};
  const VGint format = in.pick(16) == 0 ? in.integer() : VG_PATH_FORMAT_STANDARD;
  const auto datatype = static_cast<VGPathDatatype>(in.oneOf(kDatatypes));
  const float scale = in.pick(2) ? 1.0f : in.number();
  const float bias = in.pick(2) ? 0.0f : in.number();
  const VGint segmentHint = in.pick(4) ? 0 : in.integer();
  const VGint coordHint = in.pick(4) ? 0 : in.integer();
  const VGbitfield caps = in.pick(4) ? VG_PATH_CAPABILITY_ALL : in.u32();
  return vgCreatePath(format, datatype, scale, bias, segmentHint, coordHint, caps);
}

// Coordinates in the given datatype: `count` values into exactly sized memory.
inline void fillCoords(Input& in, VGPathDatatype datatype, unsigned char* out, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    switch (datatype) {
      case VG_PATH_DATATYPE_S_8: {
        const int8_t v = static_cast<int8_t>(in.byte());
        std::memcpy(out + i, &v, 1);
        break;
      }
      case VG_PATH_DATATYPE_S_16: {
        const int16_t v = in.pick(2) ? static_cast<int16_t>(in.range<int>(-300, 300))
                                     : in.raw().ConsumeIntegral<int16_t>();
        std::memcpy(out + 2 * i, &v, 2);
        break;
      }
      case VG_PATH_DATATYPE_S_32: {
        const int32_t v = in.pick(2) ? in.range<int32_t>(-300, 300) : in.integer();
        std::memcpy(out + 4 * i, &v, 4);
        break;
      }
      default: {
        const float v = in.number();
        std::memcpy(out + 4 * i, &v, 4);
        break;
      }
    }
  }
}

// Coordinates the commands take; bytes that are not commands take none (the
// call must reject them before reading any data).
inline size_t coordsFor(const VGubyte* commands, size_t count) {
  size_t n = 0;
  for (size_t i = 0; i < count; ++i) {
    const int c = tq::coordsPerCommand(commands[i]);
    if (c > 0) n += size_t(c);
  }
  return n;
}

// vgAppendPathData with up to 24 segments; sometimes a bad count, a null or a
// misaligned pointer. Returns the count passed.
inline int appendData(Input& in, VGPath handle) {
  const tq::Path* path = internalPath(handle);
  const VGPathDatatype datatype = path ? path->datatype : VG_PATH_DATATYPE_F;
  const int segments = in.pick(16) == 0 ? in.range<int>(-2, 0) : in.range<int>(1, 24);
  std::vector<VGubyte> commands(size_t(segments > 0 ? segments : 0));
  for (VGubyte& c : commands) c = commandByte(in);
  const size_t coords = coordsFor(commands.data(), commands.size());
  const size_t bytes = coords * tq::bytesPerCoord(datatype);
  const int shape = in.pick(16);
  Buffer data(bytes, shape == 0 ? 1 : 0);
  fillCoords(in, datatype, data.data(), coords);
  vgAppendPathData(handle, segments, shape == 1 ? nullptr : commands.data(),
                   shape == 2 ? nullptr : data.data());
  return segments;
}

}  // namespace tqfuzz
