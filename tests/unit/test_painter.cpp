// The drawing pipeline against a recording compositor: what reaches the
// graphics side, bounded work, allocation failures and scratch given back.
#include <VG/vgext.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "draw/painter.hpp"
#include "test_context_fixture.hpp"

namespace {

struct Recording : tq::Compositor {
  int limit = 4096;
  std::vector<tq::IntRect> fills;
  size_t lastTrim = 0;
  void setSurface(int, int) override {}
  tq::IntRect drawableLimit() const override { return {0, 0, limit, limit}; }
  void clear(const tq::IntRect&, const std::array<float, 4>&, bool,
             const std::vector<VGint>&) override {}
  void fill(const tq::CoverageMask& mask, const tq::DrawPaint&, VGBlendMode) override {
    fills.push_back(mask.box);
  }
  bool surfaceHasAlpha() override { return true; }
  void readSurface(const tq::IntRect&, uint8_t*) override {}
  void writeSurface(const tq::IntRect&, const uint8_t*, bool, const std::vector<VGint>&) override {}
  void trimScratch(size_t bytes) override { lastTrim = bytes; }
  void releaseGl() override {}
};

class PainterTest : public HeadlessContext {
 protected:
  void SetUp() override {
    HeadlessContext::SetUp();
    auto compositor = std::make_unique<Recording>();
    recording = compositor.get();
    auto painter = std::make_unique<tq::Painter>(std::move(compositor));
    painter_ = painter.get();
    ctx->renderer = std::move(painter);
  }
  VGPath polygon(std::vector<float> xy) {
    const VGPath p = vgCreatePath(VG_PATH_FORMAT_STANDARD, VG_PATH_DATATYPE_F, 1, 0, 0, 0,
                                  VG_PATH_CAPABILITY_ALL);
    std::vector<VGubyte> cmds(xy.size() / 2, VG_LINE_TO_ABS);
    cmds[0] = VG_MOVE_TO_ABS;
    cmds.push_back(VG_CLOSE_PATH);
    vgAppendPathData(p, VGint(cmds.size()), cmds.data(), xy.data());
    return p;
  }
  Recording* recording = nullptr;
  tq::Painter* painter_ = nullptr;
};

TEST_F(PainterTest, CoverageNeverReachesBeyondWhatTheCompositorCanShow) {
  vgResizeSurfaceTQ(2000000000, 3);
  vgDrawPath(polygon({0, 0, 1e9f, 0, 0, 3}), VG_FILL_PATH);
  EXPECT_EQ(vgGetError(), VG_NO_ERROR);
  ASSERT_EQ(recording->fills.size(), 1u);
  EXPECT_EQ(recording->fills[0].x + recording->fills[0].width, 4096);
  EXPECT_EQ(recording->fills[0].height, 3);
}

TEST_F(PainterTest, AHugeFillIsDrawnInBandsOfBoundedCoverage) {
  vgResizeSurfaceTQ(4096, 4096);
  vgDrawPath(polygon({0, 0, 4096, 0, 4096, 4096, 0, 4096}), VG_FILL_PATH);
  ASSERT_EQ(recording->fills.size(), 4u);
  int row = 0;
  for (const tq::IntRect& band : recording->fills) {
    EXPECT_EQ(band.y, row);
    EXPECT_EQ(band.width, 4096);
    row += band.height;
  }
  EXPECT_EQ(row, 4096);
}

TEST_F(PainterTest, ScratchOfOneHugeDrawIsGivenBackAfterSmallOnes) {
  vgResizeSurfaceTQ(4096, 4096);
  vgDrawPath(polygon({0, 0, 4096, 0, 4096, 4096, 0, 4096}), VG_FILL_PATH);
  EXPECT_GE(painter_->heldScratchBytes(), size_t(1024) * 4096);
  const VGPath small = polygon({10, 10, 60, 10, 35, 60});
  for (int i = 0; i < 256; ++i) vgDrawPath(small, VG_FILL_PATH);
  EXPECT_LT(painter_->heldScratchBytes(), size_t(1) << 20);
  EXPECT_LE(recording->lastTrim, size_t(4) << 20);
  EXPECT_EQ(recording->fills.size(), 260u);
  // A size drawn every frame keeps its storage.
  vgDrawPath(polygon({0, 0, 4096, 0, 4096, 4096, 0, 4096}), VG_FILL_PATH);
  for (int i = 0; i < 200; ++i) {
    vgDrawPath(polygon({0, 0, 4096, 0, 4096, 4096, 0, 4096}), VG_FILL_PATH);
    vgDrawPath(small, VG_FILL_PATH);
  }
  EXPECT_GE(painter_->heldScratchBytes(), size_t(1024) * 4096);
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__has_feature)
#define TQ_CAN_LIMIT_ADDRESS_SPACE 1
#elif defined(__has_feature)
#if !__has_feature(address_sanitizer)
#define TQ_CAN_LIMIT_ADDRESS_SPACE 1
#endif
#endif

#ifdef TQ_CAN_LIMIT_ADDRESS_SPACE
// The address space is cut to what the process holds plus 2 MB, so that the
// edges of a fill of two million segments (tens of megabytes in one block,
// more than the allocator keeps at hand) cannot be had: the draw reports it
// and the program goes on.
TEST_F(PainterTest, AFailedAllocationIsAnErrorNotAnAbort) {
  recording->limit = 16384;
  vgResizeSurfaceTQ(16384, 16384);
  std::vector<float> zigzag;
  for (int i = 0; i < 2000000; ++i) {
    zigzag.push_back(float(i % 16384));
    zigzag.push_back(float(i % 2 ? 16000 : 10));
  }
  const VGPath big = polygon(zigzag);
  zigzag = {};
  auto drawWithLittleMemory = [big] {
    long pages = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f || std::fscanf(f, "%ld", &pages) != 1) _exit(2);
    std::fclose(f);
    const rlim_t allowed = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(2) << 20);
    const rlimit limit{allowed, allowed};
    if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
    vgDrawPath(big, VG_FILL_PATH);
    const bool reported = vgGetError() == VG_OUT_OF_MEMORY_ERROR;
    const bool intact = vgGetParameteri(big, VG_PATH_NUM_SEGMENTS) == 2000001;
    _exit(reported && intact ? 0 : 1);
  };
  EXPECT_EXIT(drawWithLittleMemory(), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
