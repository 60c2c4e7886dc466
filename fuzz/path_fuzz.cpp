// Every path call on paths of every datatype, under any matrix, in a context
// without OpenGL. Besides crashes and undefined behaviour it checks that a
// call that raises an error leaves its destination exactly as it was, and
// that one that succeeds adds the segments it should.
#include <VG/openvg.h>

#include <cstdint>
#include <vector>

#include "core/context.hpp"
#include "core/path.hpp"
#include "fuzz_input.hpp"
#include "path_input.hpp"

namespace {

using tqfuzz::Input;

struct Snapshot {
  std::vector<VGubyte> commands;
  std::vector<unsigned char> data;
  VGbitfield capabilities = 0;
  bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(VGPath handle) {
  const tq::Path* p = tqfuzz::internalPath(handle);
  if (!p) return {};
  return {p->commands, p->data, p->capabilities};
}

size_t segmentsOf(VGPath handle) {
  const tq::Path* p = tqfuzz::internalPath(handle);
  return p ? p->commands.size() : 0;
}

// A segment range of a path with `count` segments: mostly inside it or one
// past its end, sometimes any pair of integers.
void segmentRange(Input& in, VGint count, VGint& start, VGint& segments) {
  const bool wild = in.pick(8) == 0;
  start = wild ? in.integer() : in.range<VGint>(0, count);
  segments = wild || in.pick(8) == 0 ? in.integer() : in.range<VGint>(0, count - start + 1);
}

void modifyCoords(Input& in, VGPath handle) {
  const tq::Path* p = tqfuzz::internalPath(handle);
  const VGint count = p ? p->numSegments() : 0;
  VGint start, segments;
  segmentRange(in, count, start, segments);
  // Sized to exactly the segments named when they exist, so that reading
  // past them shows.
  size_t coords = 0;
  const VGPathDatatype datatype = p ? p->datatype : VG_PATH_DATATYPE_F;
  if (p && start >= 0 && segments > 0 && int64_t(start) + segments <= count)
    coords = tqfuzz::coordsFor(p->commands.data() + start, size_t(segments));
  const int shape = in.pick(16);
  tqfuzz::Buffer data(coords * tq::bytesPerCoord(datatype), shape == 0 ? 1 : 0);
  tqfuzz::fillCoords(in, datatype, data.data(), coords);
  vgModifyPathCoords(handle, start, segments, shape == 1 ? nullptr : data.data());
}

void readBounds(Input& in, VGPath handle, bool transformed) {
  alignas(4) unsigned char raw[4 * sizeof(VGfloat) + 1];
  VGfloat* out[4];
  for (int i = 0; i < 4; ++i) out[i] = reinterpret_cast<VGfloat*>(raw + 4 * i);
  const int shape = in.pick(16);
  if (shape == 0) out[in.pick(4)] = nullptr;
  if (shape == 1) out[in.pick(4)] = reinterpret_cast<VGfloat*>(raw + 1);
  (transformed ? vgPathTransformedBounds : vgPathBounds)(handle, out[0], out[1], out[2], out[3]);
}

void pointAlong(Input& in, VGPath handle) {
  const VGint count = VGint(segmentsOf(handle));
  VGint start, segments;
  segmentRange(in, count, start, segments);
  VGfloat x = 0, y = 0, tx = 0, ty = 0;
  const unsigned mask = in.byte();
  vgPointAlongPath(handle, start, segments, in.number(), mask & 1 ? &x : nullptr,
                   mask & 2 ? &y : nullptr, mask & 4 ? &tx : nullptr, mask & 8 ? &ty : nullptr);
}

void parameters(Input& in, VGPath handle) {
  static constexpr int32_t kTypes[] = {VG_PATH_FORMAT, VG_PATH_DATATYPE,     VG_PATH_SCALE,
                                       VG_PATH_BIAS,   VG_PATH_NUM_SEGMENTS, VG_PATH_NUM_COORDS};
  const VGint type = in.oneOf(kTypes);
  VGfloat f[2] = {};
  VGint i[2] = {};
  switch (in.pick(7)) {
    case 0:
      vgGetParameterf(handle, type);
      break;
    case 1:
      vgGetParameteri(handle, type);
      break;
    case 2:
      vgGetParameterVectorSize(handle, type);
      break;
    case 3:
      vgGetParameterfv(handle, type, in.range<VGint>(-1, 2), f);
      break;
    case 4:
      vgGetParameteriv(handle, type, in.range<VGint>(-1, 2), i);
      break;
    case 5:
      vgSetParameterf(handle, type, in.number());
      break;
    default:
      f[0] = in.number();
      vgSetParameterfv(handle, type, in.range<VGint>(-1, 1), f);
      break;
  }
}

// Paths that append to themselves double each time: keep them small enough
// that a run stays fast.
bool wouldGrowTooLarge(VGPath dst, VGPath src) {
  constexpr size_t kMaxSegments = 4096;
  return segmentsOf(dst) + segmentsOf(src) > kMaxSegments;
}

// Runs one call that writes into dst and checks what it did to dst.
template <typename Call>
void checked(VGPath dst, Call&& call) {
  tqfuzz::takeError();
  const Snapshot before = snapshot(dst);
  const long added = call();
  const VGErrorCode err = tqfuzz::takeError();
  if (err != VG_NO_ERROR || added < 0) {
    TQ_FUZZ_CHECK(snapshot(dst) == before);
  } else {
    TQ_FUZZ_CHECK(segmentsOf(dst) == before.commands.size() + size_t(added));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  Input in(bytes, size);
  if (!tq::createContext(64, 64)) tqfuzz::fail("no context");
  tqfuzz::Handles paths;
  for (int step = 0; step < 64 && !in.done(); ++step) {
    const VGPath a = paths.any(in);
    switch (in.pick(15)) {
      case 0:
        paths.add(tqfuzz::createPath(in));
        break;
      case 1:
        checked(a, [&] { return long(tqfuzz::appendData(in, a)); });
        break;
      case 2: {
        const VGPath src = paths.any(in);
        const size_t n = segmentsOf(src);
        if (wouldGrowTooLarge(a, src)) break;
        checked(a, [&] {
          vgAppendPath(a, src);
          return long(n);
        });
        break;
      }
      case 3:
        checked(a, [&] {
          modifyCoords(in, a);
          return 0L;
        });
        break;
      case 4: {
        if (in.flag()) tqfuzz::changePathMatrix(in);
        const VGPath src = paths.any(in);
        const size_t n = segmentsOf(src);
        if (wouldGrowTooLarge(a, src)) break;
        checked(a, [&] {
          vgTransformPath(a, src);
          return long(n);
        });
        break;
      }
      case 5: {
        const VGPath start = paths.any(in), end = paths.any(in);
        const size_t n = segmentsOf(start);
        if (wouldGrowTooLarge(a, start)) break;
        const float amount = in.number();
        checked(
            a, [&] { return vgInterpolatePath(a, start, end, amount) == VG_TRUE ? long(n) : -1L; });
        break;
      }
      case 6:
        readBounds(in, a, false);
        break;
      case 7:
        if (in.flag()) tqfuzz::changePathMatrix(in);
        readBounds(in, a, true);
        break;
      case 8: {
        VGint start, segments;
        segmentRange(in, VGint(segmentsOf(a)), start, segments);
        vgPathLength(a, start, segments);
        break;
      }
      case 9:
        pointAlong(in, a);
        break;
      case 10:
        vgClearPath(a, in.pick(2) ? VG_PATH_CAPABILITY_ALL : in.u32());
        break;
      case 11:
        vgDestroyPath(a);
        paths.retire(a);
        break;
      case 12:
        if (in.flag())
          vgRemovePathCapabilities(a, in.u32());
        else
          vgGetPathCapabilities(a);
        break;
      case 13:
        parameters(in, a);
        break;
      default:
        tqfuzz::changePathMatrix(in);
        break;
    }
    tqfuzz::takeError();
  }
  tq::destroyContext();
  return 0;
}
