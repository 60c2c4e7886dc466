#include "harness.h"
#include "morph.h"

int main(int argc, char** argv) {
  harnessInit(argc, argv, 400, 400, "Tarquel: Path Interpolation Test");
  harnessSetHandler(SLOT_FRAME, drawMorphFrame);
  buildMorphScene();
  harnessSetTextColor(1.0f, 1.0f, 1.0f, 1.0f);
  harnessRun();
  return 0;
}
