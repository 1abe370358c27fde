#include "serial/AfThreadPlatform.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Nice values standing for the seven thread priorities; a value the process
// may not take (no privilege) leaves the thread at its inherited priority.
constexpr int niceOfPriority[] = {19, 10, 5, 0, -5, -10, -20};

}  // namespace

TAfThreadId AfCurrentThreadId() { return gettid(); }

void AfNameThread(std::thread& thread, const char* name) {
  pthread_setname_np(thread.native_handle(), name);
}

void AfSetThreadPriority(TAfThreadId id, int priority) {
  if (id != 0 && priority >= 0 && priority <= 6) {
    setpriority(PRIO_PROCESS, id_t(id), niceOfPriority[priority]);
  }
}
