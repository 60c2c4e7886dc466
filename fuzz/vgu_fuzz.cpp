// Every utility call with any arguments, on paths of every datatype, scale and
// bias, in a context without OpenGL. Besides crashes and undefined behaviour
// it checks that a shape call returns a VGU code and leaves the context's
// error alone, that a failed one leaves the path exactly as it was and a
// successful one adds its segments, and that a warp writes its matrix only
// when it succeeds, and then only finite entries.
#include <VG/openvg.h>
#include <VG/vgu.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/context.hpp"
#include "core/path.hpp"
#include "fuzz_input.hpp"
#include "path_input.hpp"

namespace {

using tqfuzz::Input;

bool isVguCode(VGUErrorCode e) {
  switch (e) {
    case VGU_NO_ERROR:
    case VGU_BAD_HANDLE_ERROR:
    case VGU_ILLEGAL_ARGUMENT_ERROR:
    case VGU_OUT_OF_MEMORY_ERROR:
    case VGU_PATH_CAPABILITY_ERROR:
    case VGU_BAD_WARP_ERROR:
      return true;
    default:
      return false;
  }
}

struct Snapshot {
  std::vector<VGubyte> commands;
  std::vector<unsigned char> data;
  bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(VGPath handle) {
  const tq::Path* p = tqfuzz::internalPath(handle);
  if (!p) return {};
  return {p->commands, p->data};
}

// Mostly a small shape, sometimes any number.
float coordinate(Input& in) {
  return in.pick(2) ? float(in.range<int>(-200, 200)) / 4 : in.number();
}

float side(Input& in) { return in.pick(4) ? float(in.range<int>(1, 160)) / 2 : in.number(); }

float angle(Input& in) {
  switch (in.pick(4)) {
    case 0:
      return float(in.range<int>(-8, 8) * 45);
    case 1:
      return in.raw().ConsumeFloatingPointInRange<float>(-3000.0f, 3000.0f);
    default:
      return in.number();
  }
}

VGUArcType arcType(Input& in) {
  static constexpr int32_t kTypes[] = {VGU_ARC_OPEN, VGU_ARC_CHORD, VGU_ARC_PIE};
  return static_cast<VGUArcType>(in.oneOf(kTypes));
}

// Runs one shape call; `expected` is the number of segments it adds.
template <typename Call>
void shape(VGPath path, size_t expected, Call&& call) {
  const Snapshot before = snapshot(path);
  tqfuzz::takeError();
  const VGUErrorCode err = call();
  TQ_FUZZ_CHECK(isVguCode(err) && err != VGU_BAD_WARP_ERROR);
  TQ_FUZZ_CHECK(vgGetError() == VG_NO_ERROR);
  if (err != VGU_NO_ERROR) {
    TQ_FUZZ_CHECK(snapshot(path) == before);
    return;
  }
  const Snapshot after = snapshot(path);
  TQ_FUZZ_CHECK(after.commands.size() == before.commands.size() + expected);
  // What was there before stays.
  TQ_FUZZ_CHECK(std::equal(before.commands.begin(), before.commands.end(), after.commands.begin()));
  TQ_FUZZ_CHECK(std::equal(before.data.begin(), before.data.end(), after.data.begin()));
  // Measuring what was made must not trip over it (rounded radii, huge values).
  VGfloat b[4];
  vgPathBounds(path, &b[0], &b[1], &b[2], &b[3]);
  vgPathLength(path, 0, VGint(after.commands.size()));
  tqfuzz::takeError();
}

void polygon(Input& in, VGPath path) {
  const bool wildCount = in.pick(8) == 0;
  const VGint count = wildCount ? in.range<VGint>(-3, 0) : in.range<VGint>(1, 48);
  const size_t floats = size_t(std::max<VGint>(count, 0)) * 2;
  const int layout = in.pick(16);
  // Exactly sized, so that reading one point too many shows.
  tqfuzz::Buffer buffer(floats * sizeof(VGfloat), layout == 0 ? 1 : 0);
  for (size_t i = 0; i < floats; ++i) {
    const float v = coordinate(in);
    std::memcpy(buffer.data() + i * sizeof(VGfloat), &v, sizeof v);
  }
  const auto* points = layout == 1 ? nullptr : reinterpret_cast<const VGfloat*>(buffer.data());
  const VGboolean closed = in.pick(8) == 0 ? VGboolean(in.integer()) : VGboolean(in.pick(2));
  const size_t expected = size_t(std::max<VGint>(count, 0)) + (closed != VG_FALSE ? 1 : 0);
  shape(path, expected, [&] { return vguPolygon(path, points, count, closed); });
}

void arc(Input& in, VGPath path) {
  const float x = coordinate(in), y = coordinate(in), w = side(in), h = side(in);
  const float start = angle(in), extent = angle(in);
  const VGUArcType type = arcType(in);
  size_t expected = 0;
  if (std::isfinite(extent) && std::fabs(extent) <= 360.0f * 4096) {
    const double pieces = std::max(1.0, std::ceil(std::fabs(double(extent)) / 180.0));
    expected = 1 + size_t(pieces) + (type == VGU_ARC_PIE ? 2 : type == VGU_ARC_CHORD ? 1 : 0);
  }
  shape(path, expected, [&] { return vguArc(path, x, y, w, h, start, extent, type); });
}

// A quad: mostly a square, parallelogram or projective one with small integer
// corners (degenerate ones included), sometimes any numbers.
void quad(Input& in, VGfloat q[8]) {
  for (int i = 0; i < 8; ++i) q[i] = in.pick(4) ? float(in.range<int>(-4, 4)) : in.number();
}

void warp(Input& in) {
  alignas(4) unsigned char raw[9 * sizeof(VGfloat) + 1];
  VGfloat* m = reinterpret_cast<VGfloat*>(raw);
  const int layout = in.pick(16);
  if (layout == 0) m = nullptr;
  if (layout == 1) m = reinterpret_cast<VGfloat*>(raw + 1);
  std::memset(raw, 0x7f, sizeof raw);  // the bytes of a float that no warp writes
  VGfloat s[8], d[8];
  quad(in, s);
  quad(in, d);
  VGUErrorCode err;
  switch (in.pick(3)) {
    case 0:
      err = vguComputeWarpQuadToSquare(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], m);
      break;
    case 1:
      err = vguComputeWarpSquareToQuad(d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7], m);
      break;
    default:
      err = vguComputeWarpQuadToQuad(d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7], s[0], s[1],
                                     s[2], s[3], s[4], s[5], s[6], s[7], m);
      break;
  }
  TQ_FUZZ_CHECK(err == VGU_NO_ERROR || err == VGU_ILLEGAL_ARGUMENT_ERROR ||
                err == VGU_BAD_WARP_ERROR);
  if (layout <= 1) {
    TQ_FUZZ_CHECK(err == VGU_ILLEGAL_ARGUMENT_ERROR);
    return;
  }
  if (err != VGU_NO_ERROR) {
    TQ_FUZZ_CHECK(std::count(raw, raw + sizeof raw, 0x7f) == long(sizeof raw));
    return;
  }
  for (int i = 0; i < 9; ++i) {
    VGfloat v;
    std::memcpy(&v, raw + i * sizeof(VGfloat), sizeof v);
    TQ_FUZZ_CHECK(std::isfinite(v));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  Input in(bytes, size);
  if (!tq::createContext(64, 64)) tqfuzz::fail("no context");
  tqfuzz::Handles paths;
  for (int step = 0; step < 64 && !in.done(); ++step) {
    const VGPath a = paths.any(in);
    // Arcs of many turns add thousands of segments: start over past a bound
    // so that a run stays fast.
    if (const tq::Path* p = tqfuzz::internalPath(a); p && p->commands.size() > (1u << 15))
      vgClearPath(a, p->capabilities);
    switch (in.pick(12)) {
      case 0:
        paths.add(tqfuzz::createPath(in));
        break;
      case 1: {
        const float x0 = coordinate(in), y0 = coordinate(in), x1 = coordinate(in),
                    y1 = coordinate(in);
        shape(a, 2, [&] { return vguLine(a, x0, y0, x1, y1); });
        break;
      }
      case 2:
        polygon(in, a);
        break;
      case 3: {
        const float x = coordinate(in), y = coordinate(in), w = side(in), h = side(in);
        shape(a, 5, [&] { return vguRect(a, x, y, w, h); });
        break;
      }
      case 4: {
        const float x = coordinate(in), y = coordinate(in), w = side(in), h = side(in),
                    aw = in.pick(2) ? side(in) : -side(in), ah = side(in);
        shape(a, 10, [&] { return vguRoundRect(a, x, y, w, h, aw, ah); });
        break;
      }
      case 5: {
        const float x = coordinate(in), y = coordinate(in), w = side(in), h = side(in);
        shape(a, 4, [&] { return vguEllipse(a, x, y, w, h); });
        break;
      }
      case 6:
        arc(in, a);
        break;
      case 7:
        warp(in);
        break;
      case 8:
        tqfuzz::appendData(in, a);
        break;
      case 9:
        vgRemovePathCapabilities(a, in.pick(2) ? VG_PATH_CAPABILITY_APPEND_TO : in.u32());
        break;
      case 10:
        vgDestroyPath(a);
        paths.retire(a);
        break;
      default: {
        // Shapes made in one path should interpolate with each other.
        const VGPath b = paths.any(in), dst = paths.any(in);
        const tq::Path* p = tqfuzz::internalPath(dst);
        if (p && p->commands.size() < (1u << 14)) vgInterpolatePath(dst, a, b, in.number());
        break;
      }
    }
    tqfuzz::takeError();
  }
  // Without a context no path is valid; the warps need none.
  tq::destroyContext();
  TQ_FUZZ_CHECK(vguRect(1, 0, 0, 1, 1) == VGU_BAD_HANDLE_ERROR);
  return 0;
}
