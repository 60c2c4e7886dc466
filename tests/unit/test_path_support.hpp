// Shared helpers for the path tests: a headless context, path creation and
// read-back of stored coordinates and normalised segments.
#pragma once

#include <VG/openvg.h>
#include <gtest/gtest.h>

#include <vector>

#include "core/context.hpp"
#include "core/path.hpp"
#include "geometry/segments.hpp"

namespace tq::test {

class PathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx = createContext(64, 48);
    ASSERT_NE(ctx, nullptr);
  }
  void TearDown() override { destroyContext(); }

  VGPath makePath(VGPathDatatype type = VG_PATH_DATATYPE_F, float scale = 1.0f, float bias = 0.0f,
                  VGbitfield caps = VG_PATH_CAPABILITY_ALL) {
    const VGPath p = vgCreatePath(VG_PATH_FORMAT_STANDARD, type, scale, bias, 0, 0, caps);
    EXPECT_NE(p, VG_INVALID_HANDLE);
    return p;
  }

  Path& internal(VGPath p) { return *lookupPath(*ctx, p); }

  // The values the stored coordinates stand for.
  std::vector<double> coords(VGPath p) {
    const Path& path = internal(p);
    std::vector<double> v;
    for (VGint i = 0; i < path.numCoords(); ++i) v.push_back(path.coord(size_t(i)));
    return v;
  }

  std::vector<Segment> segments(VGPath p) {
    SegmentReader reader(internal(p));
    std::vector<Segment> out;
    Segment s;
    while (reader.next(s)) out.push_back(s);
    return out;
  }

  void append(VGPath p, std::vector<VGubyte> cmds, std::vector<float> data) {
    size_t needed = 0;
    for (VGubyte c : cmds) needed += size_t(coordsPerCommand(c));
    ASSERT_EQ(data.size(), needed);
    vgAppendPathData(p, VGint(cmds.size()), cmds.data(), data.data());
    ASSERT_EQ(vgGetError(), VG_NO_ERROR);
  }

  // minX, minY, width, height as vgPathBounds or vgPathTransformedBounds give them.
  std::vector<double> bounds(VGPath p, bool transformed = false) {
    VGfloat b[4] = {};
    (transformed ? vgPathTransformedBounds : vgPathBounds)(p, &b[0], &b[1], &b[2], &b[3]);
    return {b[0], b[1], b[2], b[3]};
  }

  // The stored bytes, for checking that a failed call changed nothing.
  std::pair<std::vector<VGubyte>, std::vector<unsigned char>> snapshot(VGPath p) {
    return {internal(p).commands, internal(p).data};
  }

  Context* ctx = nullptr;
};

inline void expectNear(const std::vector<double>& got, const std::vector<double>& want,
                       double eps) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], eps) << "index " << i;
}

}  // namespace tq::test
