// The frame-rate readout and the stroke-font text overlay.
#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "fakes.h"
#include "harness.h"
#include "state.h"

namespace {

using Lines = std::vector<std::string>;

char programName[] = "tarquel";
char* programArgs[] = {programName, nullptr};

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    harnessState = HarnessState{};
    harnessState.textColor[3] = 1.0f;
    resetFakes();
    harnessInit(1, programArgs, 400, 400, "Title");
    fake.log.clear();
  }

  // One frame cycle at the given time; returns the readout it drew.
  static std::string frameAt(int32_t now) {
    fake.log.clear();
    fake.now = now;
    fake.callbacks.display();
    return fakeStrokedText();
  }
};

// What one harnessDrawText call does around its characters.
Lines textSetUp(const std::string& x, const std::string& y) {
  return {"glEnable 0x0BE2",            // GL_BLEND
          "glBlendFunc 0x0302 0x0303",  // SRC_ALPHA, ONE_MINUS_SRC_ALPHA
          "glEnable 0x0B20",            // GL_LINE_SMOOTH
          "glDisable 0x809D",           // GL_MULTISAMPLE
          "glMatrixMode 0x1700",        // GL_MODELVIEW
          "glPushMatrix",
          "glLoadIdentity",
          "glTranslatef " + x + " " + y + " 0",
          "glScalef 0.15 0.15 0.15",
          "glLineWidth 1"};
}

const Lines TEXT_TEAR_DOWN = {"glPopMatrix", "glDisable 0x0B20"};

TEST_F(TextTest, ReadoutShowsZeroThroughTheFirstSecond) {
  for (int32_t now = 5000; now <= 6000; now += 100) {
    EXPECT_EQ(frameAt(now), "FPS: 0") << "at " << now;
  }
}

TEST_F(TextTest, IntervalClosesOnlyWhenMoreThanASecondHasPassed) {
  frameAt(5000);  // first frame: counted, opens the interval
  for (int32_t now = 5100; now <= 6000; now += 100) frameAt(now);
  EXPECT_EQ(harnessState.frameCount, 11);
  EXPECT_EQ(harnessState.framesPerSecond, 0) << "exactly 1000 ms must not close the interval";
  EXPECT_EQ(frameAt(6001), "FPS: 0");
  EXPECT_EQ(harnessState.framesPerSecond, 12) << "the first frame and the closing one count";
  EXPECT_EQ(harnessState.frameCount, 0);
  EXPECT_EQ(harnessState.lastRateTime, 6001);
  EXPECT_EQ(frameAt(6017), "FPS: 12");
  EXPECT_EQ(harnessState.frameCount, 1);
}

TEST_F(TextTest, RateIntervalSurvivesAWrappingClock) {
  frameAt(INT32_MAX - 500);
  frameAt(INT32_MAX);
  frameAt(INT32_MIN + 400);  // 901 ms after the first frame
  EXPECT_EQ(harnessState.framesPerSecond, 0);
  frameAt(INT32_MIN + 501);  // 1002 ms
  EXPECT_EQ(harnessState.framesPerSecond, 4);
  EXPECT_EQ(harnessState.frameCount, 0);
}

TEST_F(TextTest, ReadoutUsesTextColourAndStartsAtHalfPixelOffset) {
  harnessSetTextColor(1.0f, 0.5f, 0.25f, 1.0f);
  frameAt(0);
  Lines expected = {"glutGet 700", "glColor4fv 1 0.5 0.25 1"};
  for (const std::string& line : textSetUp("10.5", "10.5")) expected.push_back(line);
  for (char c : std::string("FPS: 0"))
    expected.push_back("glutStrokeCharacter " + std::to_string(c));
  for (const std::string& line : TEXT_TEAR_DOWN) expected.push_back(line);
  expected.push_back("glutSwapBuffers");
  EXPECT_EQ(fake.log, expected);
}

TEST_F(TextTest, ReadoutKeepsItsPlaceAfterAResize) {
  fake.callbacks.reshape(401, 300);
  frameAt(0);
  EXPECT_EQ(fakeCalls("glTranslatef"), (Lines{"glTranslatef 10.5 10.5 0"}));
}

TEST_F(TextTest, EmptyTextStillSetsUpAndRestoresTheMatrix) {
  harnessDrawText(3.0f, 4.0f, "%s", "");
  Lines expected = textSetUp("3.5", "4.5");
  for (const std::string& line : TEXT_TEAR_DOWN) expected.push_back(line);
  EXPECT_EQ(fake.log, expected);
  EXPECT_TRUE(fakeCalls("glDisable 0x0BE2").empty()) << "blending stays on";
  EXPECT_EQ(fake.lastAllocation, 1u);
  EXPECT_EQ(fake.liveAllocations, 0);
}

TEST_F(TextTest, NewlineStartsTheNextLineTwentyPixelsLowerAtTheSameX) {
  harnessDrawText(10.0f, 50.0f, "ab\ncd\n");
  Lines expected = textSetUp("10.5", "50.5");
  expected.insert(expected.end(),
                  {"glutStrokeCharacter 97", "glutStrokeCharacter 98", "glLoadIdentity",
                   "glTranslatef 10.5 30.5 0", "glScalef 0.15 0.15 0.15", "glutStrokeCharacter 99",
                   "glutStrokeCharacter 100", "glLoadIdentity", "glTranslatef 10.5 10.5 0",
                   "glScalef 0.15 0.15 0.15"});
  for (const std::string& line : TEXT_TEAR_DOWN) expected.push_back(line);
  EXPECT_EQ(fake.log, expected);
}

TEST_F(TextTest, FormatsArgumentsIntoAnExactlySizedBuffer) {
  harnessDrawText(0.0f, 0.0f, "%d-%s|%5.2f", -42, "xy", 3.14159);
  EXPECT_EQ(fakeStrokedText(), "-42-xy| 3.14");
  EXPECT_EQ(fake.lastAllocation, 13u);
  EXPECT_EQ(fake.liveAllocations, 0);
}

TEST_F(TextTest, HighBytesReachTheFontAsNegativeCharValues) {
  harnessDrawText(0.0f, 0.0f, "%s", "A\xe9\xff");
  EXPECT_EQ(fakeCalls("glutStrokeCharacter"),
            (Lines{"glutStrokeCharacter 65", "glutStrokeCharacter -23", "glutStrokeCharacter -1"}));
}

TEST_F(TextTest, FailedReservationDrawsNothingAndTouchesNoState) {
  fake.allocateFails = true;
  harnessDrawText(1.0f, 2.0f, "FPS: %d", 60);
  EXPECT_TRUE(fake.log.empty());
  EXPECT_EQ(fake.lastAllocation, 8u);
  EXPECT_EQ(fake.liveAllocations, 0);
}

TEST_F(TextTest, FailedReservationInAFrameStillSwapsAndCounts) {
  fake.allocateFails = true;
  EXPECT_EQ(frameAt(0), "");
  EXPECT_EQ(fake.log, (Lines{"glutGet 700", "glColor4fv 0 0 0 1", "glutSwapBuffers"}));
  EXPECT_EQ(harnessState.frameCount, 1);
}

TEST_F(TextTest, UnmeasurableTextDrawsNothingAndTouchesNoState) {
  // A wide character the C locale cannot encode makes the measurement fail.
  const wchar_t unencodable[] = {wchar_t(0x263A), 0};
  if (std::snprintf(nullptr, 0, "%ls", unencodable) >= 0) {
    GTEST_SKIP() << "this C library encodes the character";
  }
  harnessDrawText(0.0f, 0.0f, "%ls", unencodable);
  EXPECT_TRUE(fake.log.empty());
  EXPECT_EQ(fake.lastAllocation, 0u) << "nothing may be reserved";
}

}  // namespace
