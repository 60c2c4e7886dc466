// Stroking any path with any style under any matrix, without OpenGL: the
// stroker, the dasher and the rasteriser under the non-zero rule. Besides
// crashes and undefined behaviour it checks that the outline stays within
// its bound, that every point handed to the rasteriser is finite, and that
// coverage is a proper box with one span a row.
#include <VG/openvg.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/context.hpp"
#include "core/matrix.hpp"
#include "fuzz_input.hpp"
#include "geometry/stroke.hpp"
#include "path_input.hpp"
#include "raster/coverage.hpp"

namespace {

using tqfuzz::Input;

tq::StrokeStyle style(Input& in, std::vector<float>& dashes) {
  static constexpr int32_t kCaps[] = {VG_CAP_BUTT, VG_CAP_ROUND, VG_CAP_SQUARE};
  static constexpr int32_t kJoins[] = {VG_JOIN_MITER, VG_JOIN_ROUND, VG_JOIN_BEVEL};
  tq::StrokeStyle s;
  s.width = in.pick(2) ? float(in.range<int>(0, 64)) / 4.0f : in.number();
  s.cap = static_cast<VGCapStyle>(kCaps[in.pick(3)]);
  s.join = static_cast<VGJoinStyle>(kJoins[in.pick(3)]);
  s.miterLimit = in.pick(2) ? float(in.range<int>(0, 40)) / 4.0f : in.number();
  dashes.clear();
  const int count = in.pick(3) == 0 ? in.range<int>(0, 16) : 0;
  for (int i = 0; i < count; ++i)
    dashes.push_back(in.pick(2) ? float(in.range<int>(-2, 40)) / 4.0f : in.number());
  s.dashes = dashes;
  s.dashPhase = in.pick(2) ? 0.0f : in.number();
  s.dashPhaseReset = in.flag();
  return s;
}

tq::Matrix matrix(Input& in) {
  tq::Matrix m;
  switch (in.pick(4)) {
    case 0:
      break;
    case 1:  // a scale and shear of moderate size, moved onto the surface
      m.m[0] = float(in.range<int>(-40, 40)) / 8.0f;
      m.m[1] = float(in.range<int>(-40, 40)) / 8.0f;
      m.m[3] = float(in.range<int>(-40, 40)) / 8.0f;
      m.m[4] = float(in.range<int>(-40, 40)) / 8.0f;
      m.m[6] = float(in.range<int>(0, 256));
      m.m[7] = float(in.range<int>(0, 256));
      break;
    default:
      for (int i : {0, 1, 3, 4, 6, 7}) m.m[i] = in.number();
  }
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  if (!tq::createContext(256, 256)) return 0;
  const VGPath path = tqfuzz::createPath(in);
  if (path != VG_INVALID_HANDLE) {
    for (int i = 0, n = in.range<int>(1, 4); i < n; ++i) tqfuzz::appendData(in, path);
    std::vector<float> dashes;
    const tq::StrokeStyle s = style(in, dashes);
    const tq::Matrix m = matrix(in);
    const float tolerance = in.pick(4) ? 0.02f : in.number();
    tq::StrokeScratch scratch;
    tq::Polygon outline;
    tq::strokePath(*tqfuzz::internalPath(path), s, m, tolerance, scratch, outline);
    TQ_FUZZ_CHECK(outline.points.size() <= tq::kMaxStrokePoints + 4 * size_t(tq::kMaxArcPieces));
    for (const tq::Point& p : outline.points)
      TQ_FUZZ_CHECK(std::isfinite(p.x) && std::isfinite(p.y));
    tq::Rasterizer rasterizer;
    tq::CoverageMask mask;
    tq::RasterOptions options;
    options.fillRule = VG_NON_ZERO;
    options.antialias = in.pick(4) != 0;
    options.clip = tq::IntRect{0, 0, 256, 256};
    if (rasterizer.rasterize(outline, options, mask)) {
      TQ_FUZZ_CHECK(mask.box.x >= 0 && mask.box.y >= 0 && mask.box.x + mask.box.width <= 256 &&
                    mask.box.y + mask.box.height <= 256);
      TQ_FUZZ_CHECK(mask.spans.size() == size_t(mask.box.height));
    }
  }
  tq::destroyContext();
  return 0;
}
