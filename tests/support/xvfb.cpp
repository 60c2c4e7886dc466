#include "xvfb.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace tqtest {
namespace {

pid_t serverPid = 0;
pid_t ownerPid = 0;  // forked children (death tests) must not stop the server
std::string displayName;

// Reads the display number Xvfb writes to -displayfd once it accepts clients.
bool readDisplay(int fd) {
  std::string text;
  char buf[32];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, size_t(n));
    if (text.find('\n') != std::string::npos) break;
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  if (text.empty()) return false;
  displayName = ":" + text;
  return true;
}

}  // namespace

bool startXvfb(const std::string& screen) {
  if (serverPid != 0) return true;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return false;
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    close(pipeFds[0]);
    int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    std::string fd = std::to_string(pipeFds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
           "tcp", "+extension", "GLX", "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  bool ok = readDisplay(pipeFds[0]);
  close(pipeFds[0]);
  serverPid = pid;
  ownerPid = getpid();
  if (!ok) {
    stopXvfb();
    return false;
  }
  setenv("DISPLAY", displayName.c_str(), 1);
  static bool registered = false;
  if (!registered) {
    registered = true;
    std::atexit(stopXvfb);
  }
  return true;
}

void stopXvfb() {
  if (serverPid == 0 || getpid() != ownerPid) return;
  kill(serverPid, SIGTERM);
  waitpid(serverPid, nullptr, 0);
  serverPid = 0;
}

std::string xvfbDisplay() { return displayName; }

}  // namespace tqtest
