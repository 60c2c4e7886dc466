// The morph scene: its phase arithmetic, its outline tables and the vector
// calls it makes, against the recording stand-ins.
#include "morph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "fakes.h"
#include "harness.h"
#include "outlines.h"
#include "state.h"

namespace {

using Lines = std::vector<std::string>;

// Phase and amount after the given frame steps from the start of the cycle.
struct Cycle {
  float phase = START_PHASE;
  float amount = 0.0f;
  void run(float seconds, int frames = 1) {
    for (int i = 0; i < frames; ++i) {
      phase = advancePhase(phase, seconds);
      amount = morphAmount(phase);
    }
  }
};

TEST(MorphPhase, AmountFollowsTheFiveSecondCycle) {
  const float expected[] = {0.0f, 0.5f, 1.0f, 0.5f, 0.0f};
  for (int quarter = 0; quarter <= 4; ++quarter) {
    float seconds = 1.25f * static_cast<float>(quarter);
    Cycle oneStep;
    oneStep.run(seconds);
    EXPECT_NEAR(oneStep.amount, expected[quarter], 1e-6) << "one step of " << seconds << " s";
    Cycle frames;  // the same time as 60 frames a second
    frames.run(1.0f / 60.0f, 75 * quarter);
    EXPECT_NEAR(frames.amount, expected[quarter], 1e-4) << 75 * quarter << " frames";
    EXPECT_GT(frames.phase, 0.0f);
    EXPECT_LE(frames.phase, TWO_PI);
  }
}

TEST(MorphPhase, StartsAtTheAppleAndReachesThePearAtHalfCycle) {
  EXPECT_NEAR(morphAmount(START_PHASE), 0.0f, 1e-7);
  Cycle cycle;
  cycle.run(2.5f);
  EXPECT_NEAR(cycle.phase, PI / 2, 1e-6) << "reduced once after passing 2π";
  EXPECT_NEAR(cycle.amount, 1.0f, 1e-7);
}

TEST(MorphPhase, OnlyAPhaseAboveTwoPiIsReduced) {
  EXPECT_EQ(advancePhase(TWO_PI, 0.0f), TWO_PI);
  float justAbove = std::nextafter(TWO_PI, 7.0f);
  EXPECT_NEAR(advancePhase(justAbove, 0.0f), 0.0f, 1e-6);
  EXPECT_GT(advancePhase(justAbove, 0.0f), 0.0f);
  EXPECT_NEAR(advancePhase(6.0f, 0.5f), 6.0 + 0.2 * M_PI - 2 * M_PI, 1e-6);
}

TEST(MorphPhase, LongStepIsReducedOncePerFrame) {
  // 11 s: 4.4π of phase in a single frame, e.g. after the process was stopped.
  float phase = advancePhase(START_PHASE, 11.0f);
  EXPECT_GT(phase, TWO_PI);
  EXPECT_NEAR(phase, 1.5 * M_PI + 4.4 * M_PI - 2 * M_PI, 1e-5);
  EXPECT_NEAR(morphAmount(phase), (std::sin(1.5 * M_PI + 4.4 * M_PI) + 1) / 2, 1e-6);
  phase = advancePhase(phase, 0.0f);
  EXPECT_LE(phase, TWO_PI);
  EXPECT_NEAR(phase, 1.5 * M_PI + 4.4 * M_PI - 4 * M_PI, 1e-5);
}

// Smallest and largest x and y over all points of an outline, control points included.
struct Extents {
  float minX, maxX, minY, maxY;
};

Extents extentsOf(const VGfloat* coords) {
  Extents e = {coords[0], coords[0], coords[1], coords[1]};
  for (int i = 0; i < OUTLINE_COORD_COUNT; i += 2) {
    e.minX = std::min(e.minX, coords[i]);
    e.maxX = std::max(e.maxX, coords[i]);
    e.minY = std::min(e.minY, coords[i + 1]);
    e.maxY = std::max(e.maxY, coords[i + 1]);
  }
  return e;
}

TEST(MorphOutlines, SegmentListIsABodyAndALeaf) {
  int coords = 0;
  for (VGubyte segment : OUTLINE_SEGMENTS) {
    coords += segment == VG_MOVE_TO_ABS ? 2 : segment == VG_CUBIC_TO_ABS ? 6 : 0;
  }
  EXPECT_EQ(coords, OUTLINE_COORD_COUNT);
  EXPECT_EQ(OUTLINE_SEGMENTS[0], VG_MOVE_TO_ABS);
  EXPECT_EQ(OUTLINE_SEGMENTS[11], VG_CLOSE_PATH);
  EXPECT_EQ(OUTLINE_SEGMENTS[12], VG_MOVE_TO_ABS);
  EXPECT_EQ(OUTLINE_SEGMENTS[15], VG_CLOSE_PATH);
  EXPECT_EQ(std::count(OUTLINE_SEGMENTS, OUTLINE_SEGMENTS + 16, VG_CUBIC_TO_ABS), 12);
}

TEST(MorphOutlines, ExtentsMatchTheDesign) {
  Extents apple = extentsOf(APPLE_COORDS);
  EXPECT_EQ(apple.minX, -56.46875f);
  EXPECT_EQ(apple.maxX, 58.75f);
  EXPECT_EQ(apple.minY, -86.88141f);
  EXPECT_EQ(apple.maxY, 62.2812f);
  Extents pear = extentsOf(PEAR_COORDS);
  EXPECT_EQ(pear.minX, -56.8077f);
  EXPECT_EQ(pear.maxX, 58.75f);
  EXPECT_EQ(pear.minY, -129.98288f);
  EXPECT_EQ(pear.maxY, 80.3368f);
}

TEST(MorphOutlines, ClosingPointsAndNearRoundValues) {
  // Leaf (coordinates 62..75) ends where it starts in both; only the apple body does.
  EXPECT_EQ(APPLE_COORDS[74], APPLE_COORDS[62]);
  EXPECT_EQ(APPLE_COORDS[75], APPLE_COORDS[63]);
  EXPECT_EQ(PEAR_COORDS[74], PEAR_COORDS[62]);
  EXPECT_EQ(PEAR_COORDS[75], PEAR_COORDS[63]);
  EXPECT_EQ(APPLE_COORDS[60], APPLE_COORDS[0]);
  EXPECT_EQ(APPLE_COORDS[61], APPLE_COORDS[1]);
  EXPECT_EQ(PEAR_COORDS[60], 1.5f);
  EXPECT_NE(PEAR_COORDS[60], PEAR_COORDS[0]);
  EXPECT_EQ(PEAR_COORDS[61], PEAR_COORDS[1]);
  // Neighbours of round numbers stay distinct floats.
  EXPECT_NE(APPLE_COORDS[40], 41.0f);
  EXPECT_EQ(APPLE_COORDS[42], 41.0f);
  EXPECT_NE(APPLE_COORDS[13], -12.1875f);
  EXPECT_NE(PEAR_COORDS[48], 38.5f);
  EXPECT_NE(PEAR_COORDS[43], 31.125f);
  EXPECT_NE(PEAR_COORDS[53], 10.0625f);
  EXPECT_NE(PEAR_COORDS[7], -14.0625f);
  EXPECT_NE(PEAR_COORDS[59], -14.0625f);
}

char programName[] = "tarquel";
char* programArgs[] = {programName, nullptr};

class MorphSceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    harnessState = HarnessState{};
    resetFakes();
    fake.nextHandle = 0;
    harnessInit(1, programArgs, 400, 400, "Title");
    morphScene = MorphScene{0, 0, 0, 0, START_PHASE, 0.0f};
    fake.log.clear();
  }
};

TEST_F(MorphSceneTest, BuildsTwoFlippedOutlinesAnEmptyPathAndTheWhitePaint) {
  buildMorphScene();
  EXPECT_EQ(fake.log, (Lines{
                          "vgCreatePath 0 3 1 0 0 0 0x0FFF -> 1",  // apple
                          "vgCreatePath 0 3 1 0 0 0 0x0FFF -> 2",  // its temporary
                          "vgAppendPathData 2 16",
                          "vgSeti 0x1100 0x1400",
                          "vgLoadIdentity",
                          "vgScale 1 -1",
                          "vgTransformPath 1 2",
                          "vgDestroyPath 2",
                          "vgCreatePath 0 3 1 0 0 0 0x0FFF -> 3",  // pear
                          "vgCreatePath 0 3 1 0 0 0 0x0FFF -> 4",
                          "vgAppendPathData 4 16",
                          "vgSeti 0x1100 0x1400",
                          "vgLoadIdentity",
                          "vgScale 1 -1",
                          "vgTransformPath 3 4",
                          "vgDestroyPath 4",
                          "vgCreatePath 0 3 1 0 0 0 0x0FFF -> 5",  // morph
                          "vgCreatePaint -> 6",
                          "vgSetParameterfv 6 0x1A01 4 1 1 1 1",
                          "vgSetPaint 6 2",
                      }));
  EXPECT_EQ(morphScene.startPath, 1u);
  EXPECT_EQ(morphScene.endPath, 3u);
  EXPECT_EQ(morphScene.morphPath, 5u);
  EXPECT_EQ(morphScene.fillPaint, 6u);
  EXPECT_EQ(fake.appendedSegments, OUTLINE_SEGMENTS);
  EXPECT_EQ(fake.appendedCoordinates, PEAR_COORDS);
  fake.log.clear();
  buildAppleOutline(9);
  EXPECT_EQ(fake.appendedCoordinates, APPLE_COORDS);
}

TEST_F(MorphSceneTest, FrameRefillsClearsAndDrawsAroundTheCentre) {
  buildMorphScene();
  fake.callbacks.reshape(401, 300);
  fake.log.clear();
  drawMorphFrame(2.5f);
  EXPECT_EQ(fake.log, (Lines{
                          "vgClearPath 5 0x0FFF",
                          "vgInterpolatePath 5 1 3 1",
                          "vgSetfv 0x1121 4 0 0 0 1",
                          "vgClear 0 0 401 300",
                          "vgLoadIdentity",
                          "vgTranslate 200 150",
                          "vgDrawPath 5 2",
                      }));
  EXPECT_NEAR(morphScene.amount, 1.0f, 1e-7);
}

TEST_F(MorphSceneTest, FirstFrameThroughTheHarnessDrawsTheAppleBeforeTheReadout) {
  buildMorphScene();
  harnessSetHandler(SLOT_FRAME, drawMorphFrame);
  fake.log.clear();
  fake.now = 777;
  fake.callbacks.display();
  Lines interpolations = fakeCalls("vgInterpolatePath");
  ASSERT_EQ(interpolations.size(), 1u);
  EXPECT_EQ(interpolations[0].rfind("vgInterpolatePath 5 1 3 ", 0), 0u);
  EXPECT_NEAR(morphScene.amount, 0.0f, 1e-7);
  EXPECT_EQ(fakeCalls("vgTranslate"), (Lines{"vgTranslate 200 200"}));
  auto draw = std::find(fake.log.begin(), fake.log.end(), "vgDrawPath 5 2");
  auto colour = std::find(fake.log.begin(), fake.log.end(), "glColor4fv 0 0 0 1");
  EXPECT_LT(draw, colour) << "the readout is drawn over the scene";
}

}  // namespace
