// Path objects: creation, storage in each datatype, appending, modifying and
// the error rules (every failed call leaves the stored data as it was).
#include <cmath>
#include <cstring>
#include <limits>

#include "test_path_support.hpp"

namespace tq::test {
namespace {

using PathData = PathTest;

TEST(PathNoContext, CallsDoNothingAndReturnZero) {
  ASSERT_EQ(currentContext(), nullptr);
  EXPECT_EQ(vgCreatePath(0, VG_PATH_DATATYPE_F, 1, 0, 0, 0, VG_PATH_CAPABILITY_ALL),
            VG_INVALID_HANDLE);
  EXPECT_EQ(vgPathLength(1, 0, 1), 0.0f);
  EXPECT_EQ(vgInterpolatePath(1, 2, 3, 0.5f), VG_FALSE);
  VGfloat b[4] = {7, 7, 7, 7};
  vgPathBounds(1, &b[0], &b[1], &b[2], &b[3]);
  EXPECT_EQ(b[0], 7.0f);
  EXPECT_EQ(vgGetError(), VG_NO_CONTEXT_ERROR);
}

TEST_F(PathData, CreateValidatesFormatDatatypeAndScale) {
  EXPECT_EQ(vgCreatePath(1, VG_PATH_DATATYPE_F, 1, 0, 0, 0, 0), VG_INVALID_HANDLE);
  EXPECT_EQ(vgGetError(), VG_UNSUPPORTED_PATH_FORMAT_ERROR);
  EXPECT_EQ(vgCreatePath(0, VGPathDatatype(4), 1, 0, 0, 0, 0), VG_INVALID_HANDLE);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  const float inf = std::numeric_limits<float>::infinity();
  for (float scale : {0.0f, inf, std::nanf("")}) {
    EXPECT_EQ(vgCreatePath(0, VG_PATH_DATATYPE_F, scale, 0, 0, 0, 0), VG_INVALID_HANDLE);
    EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  }
  // Negative and huge hints are accepted and reserve nothing unbounded.
  const VGPath p = vgCreatePath(0, VG_PATH_DATATYPE_S_16, 2, 1, -5, 2000000000, 0xFFFFFFFF);
  ASSERT_NE(p, VG_INVALID_HANDLE);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(vgGetPathCapabilities(p), VGbitfield(VG_PATH_CAPABILITY_ALL));
  EXPECT_LT(internal(p).data.capacity(), size_t(1) << 20);
}

TEST_F(PathData, CapabilitiesAndBadHandles) {
  const VGPath p = makePath();
  vgRemovePathCapabilities(p, VG_PATH_CAPABILITY_APPEND_TO | 0x10000);
  EXPECT_EQ(vgGetPathCapabilities(p), VGbitfield(VG_PATH_CAPABILITY_ALL & ~2));
  const VGubyte move = VG_MOVE_TO_ABS;
  const float xy[2] = {1, 2};
  vgAppendPathData(p, 1, &move, xy);
  EXPECT_EQ(vgGetError(), VG_PATH_CAPABILITY_ERROR);
  EXPECT_EQ(internal(p).numSegments(), 0);
  vgClearPath(p, VG_PATH_CAPABILITY_APPEND_TO | 0xF000);
  EXPECT_EQ(vgGetPathCapabilities(p), VGbitfield(VG_PATH_CAPABILITY_APPEND_TO));

  // A paint handle, a made-up handle and a destroyed path are all bad handles.
  const VGPaint paint = vgCreatePaint();
  for (VGHandle h : {VGHandle(paint), VGHandle(12345), VGHandle(VG_INVALID_HANDLE)}) {
    EXPECT_EQ(vgGetPathCapabilities(h), 0u);
    EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
  }
  vgDestroyPath(p);
  vgAppendPathData(p, 1, &move, xy);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
  vgDestroyPath(p);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
  EXPECT_FLOAT_EQ(vgPathLength(p, 0, 1), -1.0f);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
}

TEST_F(PathData, AllCommandsReadBackAsAbsoluteSegments) {
  const VGPath p = makePath();
  std::vector<VGubyte> cmds;
  std::vector<float> data;
  for (int c = 0; c < 26; ++c) {
    cmds.push_back(VGubyte(c));
    for (int i = 0, n = coordsPerCommand(VGubyte(c)); i < n; ++i) data.push_back(float(c + i));
  }
  vgAppendPathData(p, VGint(cmds.size()), cmds.data(), data.data());
  ASSERT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(vgGetParameteri(p, VG_PATH_NUM_SEGMENTS), 26);
  EXPECT_EQ(vgGetParameteri(p, VG_PATH_NUM_COORDS), VGint(data.size()));

  // Replays the reference-point rules by hand on the stored numbers: each
  // segment's points as (start, control 1, control 2, end), arcs' radii apart.
  const std::vector<Segment> segs = segments(p);
  ASSERT_EQ(segs.size(), 26u);
  Vec2 s, o, ctrl;
  for (int c = 0; c < 26; ++c) {
    const Segment& g = segs[size_t(c)];
    const Vec2 off = (c & 1) ? o : Vec2{};
    auto pt = [&](int i) { return off + Vec2{double(c + i), double(c + i + 1)}; };
    Vec2 c0 = o, c1 = o, end = pt(0);
    switch (c & ~1) {
      case VG_CLOSE_PATH:
        end = s;
        break;
      case VG_HLINE_TO:
        end = {off.x + c, o.y};
        break;
      case VG_VLINE_TO:
        end = {o.x, off.y + c};
        break;
      case VG_QUAD_TO:
        c0 = pt(0), end = pt(2);
        break;
      case VG_CUBIC_TO:
        c0 = pt(0), c1 = pt(2), end = pt(4);
        break;
      case VG_SQUAD_TO:
        c0 = 2.0 * o - ctrl;
        break;
      case VG_SCUBIC_TO:
        c0 = 2.0 * o - ctrl, c1 = pt(0), end = pt(2);
        break;
      case VG_SCCWARC_TO:
      case VG_SCWARC_TO:
      case VG_LCCWARC_TO:
      case VG_LCWARC_TO:
        expectNear({g.rh, g.rv, g.rotation}, {double(c), c + 1.0, c + 2.0}, 0);
        end = pt(3);
    }
    const VGubyte kind = VGubyte(c & ~1);
    const bool quad = kind == VG_QUAD_TO || kind == VG_SQUAD_TO;
    const bool cubic = kind == VG_CUBIC_TO || kind == VG_SCUBIC_TO;
    // Lines and arcs have no control points: compare theirs as o.
    const Vec2 g0 = quad || cubic ? g.ctrl[0] : o, g1 = cubic ? g.ctrl[1] : o;
    SCOPED_TRACE(c);
    expectNear({g.start.x, g.start.y, g0.x, g0.y, g1.x, g1.y, g.end.x, g.end.y},
               {o.x, o.y, c0.x, c0.y, c1.x, c1.y, end.x, end.y}, 0);
    ctrl = quad ? c0 : cubic ? c1 : end;
    if (kind == VG_MOVE_TO) s = end;
    o = end;
  }
}

TEST_F(PathData, AppendDataIsAllOrNothing) {
  const VGPath p = makePath(VG_PATH_DATATYPE_S_16);
  const VGubyte good[2] = {VG_MOVE_TO_ABS, VG_LINE_TO_REL};
  alignas(4) const int16_t data[6] = {1, 2, 3, 4, 5, 6};
  vgAppendPathData(p, 2, good, data);
  ASSERT_EQ(vgGetError(), VG_NO_ERROR);
  const auto before = snapshot(p);

  const VGubyte bad[3] = {VG_LINE_TO_ABS, VG_LINE_TO_ABS, 26};
  vgAppendPathData(p, 3, bad, data);  // last command unknown
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgAppendPathData(p, 0, good, data);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgAppendPathData(p, -1, good, data);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgAppendPathData(p, 2, nullptr, data);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgAppendPathData(p, 2, good, nullptr);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgAppendPathData(p, 2, good, reinterpret_cast<const char*>(data) + 1);  // misaligned
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  EXPECT_EQ(snapshot(p), before);
}

TEST_F(PathData, AppendDataRefusesCountsPastTheLimit) {
  const VGPath p = makePath(VG_PATH_DATATYPE_S_8);
  // The counts must stay representable: INT_MAX more coordinates cannot fit
  // next to one already stored, whatever the allocator would allow.
  const VGubyte move = VG_MOVE_TO_ABS;
  const int8_t xy[2] = {1, 2};
  vgAppendPathData(p, 1, &move, xy);
  Path& path = internal(p);
  EXPECT_FALSE(reservePath(path, 1, size_t(INT32_MAX)));
  EXPECT_FALSE(reservePath(path, size_t(INT32_MAX), 0));
  EXPECT_FALSE(reservePath(path, SIZE_MAX, SIZE_MAX));
  EXPECT_EQ(path.numSegments(), 1);
  EXPECT_EQ(path.numCoords(), 2);
}

TEST_F(PathData, IntegerDatatypesRoundAndClampWithScaleAndBias) {
  // A stored v means v * 0.5 + 10, so the value x is stored as (x - 10) * 2.
  const VGPath src = makePath(VG_PATH_DATATYPE_F);
  const VGubyte cmds[3] = {VG_MOVE_TO_ABS, VG_LINE_TO_ABS, VG_LINE_TO_ABS};
  const float values[6] = {10.26f, 9.7f, 1000.0f, -1000.0f, 10.0f, 1e30f};
  vgAppendPathData(src, 3, cmds, values);
  const VGPath s8 = makePath(VG_PATH_DATATYPE_S_8, 0.5f, 10.0f);
  vgAppendPath(s8, src);
  ASSERT_EQ(vgGetError(), VG_NO_ERROR);
  const int8_t* raw = reinterpret_cast<const int8_t*>(internal(s8).data.data());
  const int8_t expectRaw[6] = {1, -1, 127, -128, 0, 127};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(raw[i], expectRaw[i]) << i;
  const std::vector<double> v = coords(s8);
  EXPECT_EQ(v[0], 10.5);
  EXPECT_EQ(v[2], 127 * 0.5 + 10);

  // S_32 keeps integers beyond float precision; F copies exactly.
  const VGPath s32 = makePath(VG_PATH_DATATYPE_S_32, 1.0f, 0.0f);
  const int32_t big[2] = {16777217, -2147483647 - 1};
  const VGubyte move = VG_MOVE_TO_ABS;
  vgAppendPathData(s32, 1, &move, big);
  EXPECT_EQ(coords(s32), (std::vector<double>{16777217.0, -2147483648.0}));
  const VGPath f = makePath(VG_PATH_DATATYPE_F, 0.25f, -3.0f);
  vgAppendPath(f, src);
  const std::vector<double> back = coords(f);
  for (int i = 0; i < 5; ++i)
    EXPECT_NEAR(back[size_t(i)], values[i], 1e-6 * std::fabs(values[i])) << i;
}

TEST_F(PathData, AppendPathChecksBothCapabilitiesAndMayAppendToItself) {
  const VGPath p = makePath(VG_PATH_DATATYPE_S_16, 1, 0);
  const VGubyte cmds[2] = {VG_MOVE_TO_ABS, VG_HLINE_TO_REL};
  const int16_t data[3] = {1, 2, 3};
  vgAppendPathData(p, 2, cmds, data);
  vgAppendPath(p, p);
  ASSERT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(internal(p).commands, (std::vector<VGubyte>{2, 7, 2, 7}));
  EXPECT_EQ(coords(p), (std::vector<double>{1, 2, 3, 1, 2, 3}));

  const VGPath noFrom = makePath(VG_PATH_DATATYPE_F, 1, 0, VG_PATH_CAPABILITY_APPEND_TO);
  const VGPath noTo = makePath(VG_PATH_DATATYPE_F, 1, 0, VG_PATH_CAPABILITY_APPEND_FROM);
  const auto before = snapshot(p);
  vgAppendPath(p, noFrom);
  EXPECT_EQ(vgGetError(), VG_PATH_CAPABILITY_ERROR);
  vgAppendPath(noTo, p);
  EXPECT_EQ(vgGetError(), VG_PATH_CAPABILITY_ERROR);
  vgAppendPath(p, 999);
  EXPECT_EQ(vgGetError(), VG_BAD_HANDLE_ERROR);
  EXPECT_EQ(snapshot(p), before);
  EXPECT_EQ(internal(noTo).numSegments(), 0);
}

TEST_F(PathData, ModifyCoordsReplacesARangeInPlace) {
  const VGPath p = makePath();
  const VGubyte cmds[4] = {VG_MOVE_TO_ABS, VG_CLOSE_PATH, VG_QUAD_TO_ABS, VG_VLINE_TO_ABS};
  const float data[7] = {1, 2, 3, 4, 5, 6, 7};
  vgAppendPathData(p, 4, cmds, data);
  const float repl[5] = {30, 40, 50, 60, 70};
  vgModifyPathCoords(p, 1, 3, repl);  // close, quad, vline: 0 + 4 + 1 coordinates
  ASSERT_EQ(vgGetError(), VG_NO_ERROR);
  EXPECT_EQ(coords(p), (std::vector<double>{1, 2, 30, 40, 50, 60, 70}));

  const auto before = snapshot(p);
  vgModifyPathCoords(p, 2, 3, repl);  // past the end
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgModifyPathCoords(p, -1, 1, repl);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgModifyPathCoords(p, 0, 0, repl);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgModifyPathCoords(p, 0x7FFFFFFF, 0x7FFFFFFF, repl);  // the sum overflows an int
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgModifyPathCoords(p, 0, 1, reinterpret_cast<const char*>(repl) + 2);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgModifyPathCoords(p, 0, 1, nullptr);
  EXPECT_EQ(vgGetError(), VG_ILLEGAL_ARGUMENT_ERROR);
  vgRemovePathCapabilities(p, VG_PATH_CAPABILITY_MODIFY);
  vgModifyPathCoords(p, 0, 1, repl);
  EXPECT_EQ(vgGetError(), VG_PATH_CAPABILITY_ERROR);
  EXPECT_EQ(snapshot(p), before);
}

TEST_F(PathData, ClearKeepsCapacity) {
  const VGPath p = makePath();
  const VGubyte cmds[2] = {VG_MOVE_TO_ABS, VG_CUBIC_TO_ABS};
  const float data[8] = {};
  vgAppendPathData(p, 2, cmds, data);
  const unsigned char* storage = internal(p).data.data();
  vgClearPath(p, VG_PATH_CAPABILITY_ALL);
  EXPECT_EQ(internal(p).numCoords(), 0);
  vgAppendPathData(p, 2, cmds, data);
  EXPECT_EQ(internal(p).data.data(), storage);
}

}  // namespace
}  // namespace tq::test
