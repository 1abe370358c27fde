// The hand-over to the main thread on Windows, until the hidden window that
// serves it there exists: a job runs at once on the thread that asks. Its one
// caller in the engine is the late error line, shown on stderr, which any
// thread may write.
#include "serial/AfSafeSync.h"

void AfRunOnMainThread(std::function<void()> job) {
  if (job) job();
}
