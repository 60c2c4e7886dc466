// A private X server for tests that open real windows.
#pragma once

#include <string>
#include <sys/types.h>

namespace tqtest {

// Starts Xvfb on a free display (screen 1024x768x24 unless given) and points
// DISPLAY at it. Returns false when it could not be started.
bool startXvfb(const std::string& screen = "1024x768x24");
// Stops the server started by startXvfb (also run at process exit).
void stopXvfb();
// The display name in use, for example ":37".
std::string xvfbDisplay();

}  // namespace tqtest
