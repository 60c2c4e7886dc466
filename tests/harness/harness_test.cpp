// Window, context and event routing, driven through the callbacks the harness
// registers with the (recording) window library.
#include "harness.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "fakes.h"
#include "state.h"

namespace {

using Lines = std::vector<std::string>;

char programName[] = "tarquel";
char programOption[] = "-sync";
char* programArgs[] = {programName, programOption, nullptr};

std::vector<float> frameSeconds;
std::vector<std::string> handlerCalls;

void recordFrame(float seconds) {
  frameSeconds.push_back(seconds);
  fakeRecord("frame handler");
}
void otherFrame(float) { fakeRecord("other frame handler"); }
void recordReshape(int w, int h) {
  fakeRecord("reshape handler " + std::to_string(w) + " " + std::to_string(h) + " sees " +
             std::to_string(harnessWidth()) + "x" + std::to_string(harnessHeight()));
}
void recordKeyboard(int key, int x, int y) {
  fakeRecord("keyboard " + std::to_string(key) + " " + std::to_string(x) + " " + std::to_string(y));
}
void recordSpecial(int key, int x, int y) {
  fakeRecord("special " + std::to_string(key) + " " + std::to_string(x) + " " + std::to_string(y));
}
void recordMouse(int button, int state, int x, int y) {
  fakeRecord("mouse " + std::to_string(button) + " " + std::to_string(state) + " " +
             std::to_string(x) + " " + std::to_string(y));
}
void recordMotion(int x, int y) {
  fakeRecord("motion " + std::to_string(x) + " " + std::to_string(y));
}
void recordPassive(int x, int y) {
  fakeRecord("passive " + std::to_string(x) + " " + std::to_string(y));
}
void recordCleanup() { fakeRecord("cleanup"); }

class HarnessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    harnessState = HarnessState{};
    harnessState.textColor[3] = 1.0f;
    resetFakes();
    harnessInit(2, programArgs, 400, 300, "Title");
    fake.log.clear();
    frameSeconds.clear();
  }
  void TearDown() override {
    // The exit hook stays registered for the whole test process.
    for (int slot = 0; slot < SLOT_COUNT; ++slot) harnessSetHandler(slot, nullptr);
  }

  static void frameAt(int32_t now) {
    fake.now = now;
    fake.callbacks.display();
  }
};

TEST_F(HarnessTest, InitOpensWindowThenRegistersThenCreatesContext) {
  harnessState = HarnessState{};
  resetFakes();
  harnessInit(2, programArgs, 640, 480, "Tarquel: Path Interpolation Test");
  EXPECT_EQ(fake.log, (Lines{
                          "glutInit 2 tarquel",
                          "glutInitDisplayMode 170",
                          "glutInitWindowPosition 0 0",
                          "glutInitWindowSize 640 480",
                          "glutCreateWindow Tarquel: Path Interpolation Test",
                          "glutReshapeFunc 1",
                          "glutDisplayFunc 1",
                          "glutIdleFunc 1",
                          "glutKeyboardFunc 1",
                          "glutSpecialFunc 1",
                          "glutMouseFunc 1",
                          "glutMotionFunc 1",
                          "glutPassiveMotionFunc 1",
                          "vgCreateContextTQ 640 480",
                      }));
  EXPECT_EQ(harnessWidth(), 640);
  EXPECT_EQ(harnessHeight(), 480);
}

TEST_F(HarnessTest, InitEmptiesHandlersStoredBeforeIt) {
  harnessSetHandler(SLOT_FRAME, recordFrame);
  harnessSetHandler(SLOT_KEYBOARD, recordKeyboard);
  harnessInit(2, programArgs, 400, 300, "Title");
  fake.log.clear();
  frameAt(0);
  fake.callbacks.keyboard('a', 1, 2);
  EXPECT_TRUE(fakeCalls("frame handler").empty());
  EXPECT_TRUE(fakeCalls("keyboard").empty());
}

TEST_F(HarnessTest, EachSlotReceivesItsEventWithArgumentsUnchanged) {
  harnessSetHandler(SLOT_RESHAPE, recordReshape);
  harnessSetHandler(SLOT_KEYBOARD, recordKeyboard);
  harnessSetHandler(SLOT_SPECIAL, recordSpecial);
  harnessSetHandler(SLOT_MOUSE, recordMouse);
  harnessSetHandler(SLOT_PASSIVE_MOTION, recordPassive);
  harnessSetHandler(SLOT_MOTION, recordMotion);
  fake.callbacks.reshape(320, 240);
  fake.callbacks.keyboard('q', 5, -6);
  fake.callbacks.special(GLUT_KEY_F1, 7, 8);
  fake.callbacks.mouse(GLUT_RIGHT_BUTTON, GLUT_UP, -9, 10);
  fake.callbacks.passiveMotion(11, 12);
  fake.callbacks.motion(-13, 14);
  EXPECT_EQ(fake.log, (Lines{
                          "vgResizeSurfaceTQ 320 240",
                          "reshape handler 320 240 sees 320x240",
                          "keyboard 113 5 -6",
                          "special 1 7 8",
                          "mouse 2 1 -9 10",
                          "passive 11 12",
                          "motion -13 14",
                      }));
}

TEST_F(HarnessTest, SlotNumbersOutsideTheTableChangeNothing) {
  harnessSetHandler(SLOT_FRAME, recordFrame);
  harnessSetHandler(SLOT_CLEANUP, recordCleanup);
  HarnessState before = harnessState;
  harnessSetHandler(8, otherFrame);
  harnessSetHandler(-1, otherFrame);
  harnessSetHandler(8, recordCleanup);
  harnessSetHandler(-1, nullptr);
  harnessSetHandler(INT_MIN, nullptr);
  for (int slot = 0; slot < SLOT_COUNT; ++slot) {
    EXPECT_EQ(harnessState.handlers[slot].kind, before.handlers[slot].kind) << "slot " << slot;
  }
  EXPECT_EQ(harnessState.handlers[SLOT_FRAME].frame, &recordFrame);
  EXPECT_EQ(harnessState.handlers[SLOT_CLEANUP].cleanup, &recordCleanup);
  frameAt(0);
  EXPECT_EQ(fakeCalls("frame handler").size(), 1u);
  EXPECT_TRUE(fakeCalls("other frame handler").empty());
}

TEST_F(HarnessTest, HandlerOfTheWrongSignatureIsNotStored) {
  harnessSetHandler(SLOT_MOTION, recordMotion);
  harnessSetHandler(SLOT_MOTION, recordFrame);  // float handler in an (x, y) slot
  harnessSetHandler(SLOT_FRAME, recordMotion);
  fake.callbacks.motion(1, 2);
  frameAt(0);
  EXPECT_EQ(fakeCalls("motion"), (Lines{"motion 1 2"}));
  EXPECT_TRUE(fakeCalls("frame handler").empty());
}

TEST_F(HarnessTest, EmptyHandlerEmptiesTheSlot) {
  harnessSetHandler(SLOT_MOUSE, recordMouse);
  harnessSetHandler(SLOT_MOUSE, nullptr);
  harnessSetHandler(SLOT_FRAME, recordFrame);
  harnessSetHandler(SLOT_FRAME, static_cast<FrameHandler>(nullptr));
  fake.callbacks.mouse(0, 0, 1, 1);
  frameAt(0);
  EXPECT_TRUE(fakeCalls("mouse").empty());
  EXPECT_TRUE(frameSeconds.empty());
}

TEST_F(HarnessTest, FirstFrameMeasuresExactlyZero) {
  harnessSetHandler(SLOT_FRAME, recordFrame);
  frameAt(123456);
  frameAt(123456 + 16);
  frameAt(123456 + 16 + 250);
  ASSERT_EQ(frameSeconds.size(), 3u);
  EXPECT_EQ(frameSeconds[0], 0.0f);
  EXPECT_EQ(frameSeconds[1], static_cast<float>(16 / 1000.0));
  EXPECT_EQ(frameSeconds[2], 0.25f);
}

TEST_F(HarnessTest, WrappingMillisecondCountGivesTheSmallDifference) {
  harnessSetHandler(SLOT_FRAME, recordFrame);
  frameAt(INT32_MAX);
  frameAt(INT32_MIN + 9);
  frameAt(INT32_MIN + 9 + 1000);
  ASSERT_EQ(frameSeconds.size(), 3u);
  EXPECT_EQ(frameSeconds[1], static_cast<float>(0.01));
  EXPECT_EQ(frameSeconds[2], 1.0f);
}

TEST_F(HarnessTest, FrameCycleDrawsThenOverlaysThenSwaps) {
  harnessSetHandler(SLOT_FRAME, recordFrame);
  frameAt(40);
  ASSERT_GE(fake.log.size(), 4u);
  EXPECT_EQ(fake.log[0], "glutGet 700");
  EXPECT_EQ(fake.log[1], "frame handler");
  EXPECT_EQ(fake.log[2], "glColor4fv 0 0 0 1");
  EXPECT_EQ(fake.log.back(), "glutSwapBuffers");
  EXPECT_EQ(fakeStrokedText(), "FPS: 0");
  EXPECT_EQ(fakeCalls("glutSwapBuffers").size(), 1u);
}

TEST_F(HarnessTest, IdleAsksForARedisplayEveryTime) {
  fake.callbacks.idle();
  fake.callbacks.idle();
  EXPECT_EQ(fake.log, (Lines{"glutPostRedisplay", "glutPostRedisplay"}));
}

TEST_F(HarnessTest, KeyBytesAboveAsciiArriveAsUnsignedValues) {
  harnessSetHandler(SLOT_KEYBOARD, recordKeyboard);
  fake.callbacks.keyboard(128, 0, 0);
  fake.callbacks.keyboard(200, 0, 0);
  fake.callbacks.keyboard(255, 3, 4);
  fake.callbacks.keyboard(0, 0, 0);
  EXPECT_EQ(fake.log,
            (Lines{"keyboard 128 0 0", "keyboard 200 0 0", "keyboard 255 3 4", "keyboard 0 0 0"}));
}

TEST_F(HarnessTest, ReshapeResizesSurfaceAndSizeBeforeTheHandler) {
  harnessSetHandler(SLOT_RESHAPE, recordReshape);
  fake.callbacks.reshape(640, 480);
  EXPECT_EQ(fake.log, (Lines{"vgResizeSurfaceTQ 640 480", "reshape handler 640 480 sees 640x480"}));
  frameAt(0);
  frameAt(20);
  EXPECT_EQ(harnessWidth(), 640);
  EXPECT_EQ(harnessHeight(), 480);
}

TEST_F(HarnessTest, ReshapeWithoutHandlerStillResizes) {
  fake.callbacks.reshape(0, 0);
  EXPECT_EQ(fake.log, (Lines{"vgResizeSurfaceTQ 0 0"}));
  EXPECT_EQ(harnessWidth(), 0);
  EXPECT_EQ(harnessHeight(), 0);
}

TEST_F(HarnessTest, EmptySlotsAbsorbEventsAndTheCycleStillSwaps) {
  fake.callbacks.keyboard('x', 1, 1);
  fake.callbacks.special(GLUT_KEY_LEFT, 1, 1);
  fake.callbacks.mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 1, 1);
  fake.callbacks.motion(1, 1);
  fake.callbacks.passiveMotion(1, 1);
  EXPECT_TRUE(fake.log.empty());
  frameAt(0);
  frameAt(10);
  EXPECT_EQ(fakeCalls("glutSwapBuffers").size(), 2u);
}

TEST_F(HarnessTest, CreatePathUsesTheFixedArguments) {
  VGPath path = harnessCreatePath();
  EXPECT_NE(path, VGPath(VG_INVALID_HANDLE));
  EXPECT_EQ(fake.log, (Lines{"vgCreatePath 0 3 1 0 0 0 0x0FFF -> " + std::to_string(path)}));
}

TEST_F(HarnessTest, RunEntersTheEventLoop) {
  harnessRun();
  EXPECT_EQ(fake.log, (Lines{"glutMainLoop"}));
}

using HarnessDeathTest = HarnessTest;

TEST_F(HarnessDeathTest, EscapeSkipsTheHandlerCleansUpAndExitsWithZero) {
  harnessSetHandler(SLOT_KEYBOARD, recordKeyboard);
  harnessSetHandler(SLOT_CLEANUP, recordCleanup);
  EXPECT_EXIT(
      {
        fake.log.clear();
        fake.trailOnDestroy = true;
        fake.callbacks.keyboard(27, 10, 10);
        fakeRecord("returned from escape");
      },
      ::testing::ExitedWithCode(0), "^TRAIL: cleanup; vgDestroyContextTQ;\n$");
}

TEST_F(HarnessDeathTest, AnyNormalExitDestroysTheContextOnce) {
  EXPECT_EXIT(
      {
        fake.log.clear();
        fake.trailOnDestroy = true;
        std::exit(3);
      },
      ::testing::ExitedWithCode(3), "^TRAIL: vgDestroyContextTQ;\n$");
}

TEST_F(HarnessDeathTest, FailedContextNamesTheOpenGLFoundAndExitsWithFailure) {
  EXPECT_EXIT(
      {
        fake.contextFails = true;
        fake.glVersion = "3.0 Mesa 22.3.6";
        harnessInit(2, programArgs, 400, 300, "Title");
        std::exit(0);
      },
      ::testing::ExitedWithCode(EXIT_FAILURE),
      "^tarquel: the vector context could not be created: OpenGL 3\\.0 Mesa 22\\.3\\.6 found, "
      "3\\.3 or later needed\n$");
}

}  // namespace
