#pragma once
// The port's hand-over to the main thread on Qt's event loop: a hidden object
// "AfSafeSyncObjWnd" on the application's thread gets one posted event per
// queued job and runs it there.

namespace lk24 {

// Main thread, once the application object exists; a second call does
// nothing. The hand-over ends with the application object.
void InstallQtMainThreadWaker();

}  // namespace lk24
