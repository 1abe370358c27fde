#include "cli/platform/MainLoop.h"

#include "serial/AfMainThread.h"
#ifdef _WIN32
#include "serial/AfSyncWindow.h"
#endif

namespace lk24::cli {

EventLoop& mainLoop() {
  static EventLoop* const loop = [] {
    auto* made = new EventLoop;  // never freed: port threads may still wake it at exit
#ifdef _WIN32
    // Windows hands the port's jobs over through a hidden window, whose
    // messages the loop dispatches on every turn.
    AfCreateSyncWindow();
#else
    AfSetMainThreadWaker([made] { made->post(AfRunMainThreadJobs); });
#endif
    return made;
  }();
  return *loop;
}

void endMainLoop() { AfEndMainThreadJobs(); }

}  // namespace lk24::cli
