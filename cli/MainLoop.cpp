#include "cli/MainLoop.h"

#include "serial/AfMainThread.h"

namespace lk24::cli {

EventLoop& mainLoop() {
  static EventLoop* const loop = [] {
    auto* made = new EventLoop;  // never freed: port threads may still wake it at exit
    AfSetMainThreadWaker([made] { made->post(AfRunMainThreadJobs); });
    return made;
  }();
  return *loop;
}

void endMainLoop() { AfEndMainThreadJobs(); }

}  // namespace lk24::cli
