#pragma once
// The port's hand-over to the main thread on Qt's event loop. A hidden
// "AfSafeSyncObjWnd" on the application's thread gets one wake-up per queued
// job and runs it there: on Windows the hidden window lk24ctl.exe uses too,
// elsewhere (or when Windows refuses the window) an object that Qt's posted
// events reach.

namespace lk24 {

// Main thread, once the application object exists; a second call does
// nothing. The hand-over ends with the application object.
void InstallQtMainThreadWaker();

// The same through Qt's posted events, whatever the system.
void InstallQtPostedEventWaker();

}  // namespace lk24
