// Windows: the hidden window "AfSafeSyncObjWnd" of lk24ctl.exe, on the
// window's thread. Qt's message loop dispatches it like every window of the
// thread, and so do the loops Windows runs itself while the user moves the
// window, holds a menu open or works in a native file dialog: a transfer
// goes on through all of them, with the same code lk24ctl.exe runs.
#include "ui/QtMainThreadWaker.h"

#include "serial/AfSyncWindow.h"

#include <QCoreApplication>

namespace lk24 {

namespace {

bool installed = false;  // main thread only

// Runs when the application object goes away.
void endHandOver() {
  AfDestroySyncWindow();
  installed = false;
}

}  // namespace

void InstallQtMainThreadWaker() {
  if (installed || QCoreApplication::instance() == nullptr) return;
  installed = true;
  if (!AfCreateSyncWindow()) {
    InstallQtPostedEventWaker();
    return;
  }
  qAddPostRoutine(endHandOver);
}

}  // namespace lk24
