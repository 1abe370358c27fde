// The main thread's wake-up on Windows: a hidden message-only window named
// "AfSafeSyncObjWnd" on the thread that runs the message loop. Each queued
// job posts one message to it; the window procedure runs the next job. The
// message is posted, not sent: the engine wakes while it holds its queue
// lock and waits for the job with its own time-out.
#include "serial/AfSyncWindow.h"

#include "serial/AfMainThread.h"
#include "serial/AfWin32Api.h"

namespace {

constexpr char kClassName[] = "AfSafeSyncObjWnd";
constexpr UINT kJobMessage = WM_USER + 257;
HWND syncWindow = nullptr;

LRESULT CALLBACK SyncWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kJobMessage) {
    AfRunMainThreadJobs();
    return 1;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool AfCreateSyncWindow() {
  if (syncWindow != nullptr) return true;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = SyncWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kClassName;
  if (RegisterClassA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  syncWindow = CreateWindowExA(0, kClassName, kClassName, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               windowClass.hInstance, nullptr);
  if (syncWindow == nullptr) return false;
  HWND window = syncWindow;
  AfSetMainThreadWaker([window] { PostMessageA(window, kJobMessage, 0, 0); });
  return true;
}

void AfDestroySyncWindow() {
  if (syncWindow == nullptr) return;
  AfEndMainThreadJobs();
  DestroyWindow(syncWindow);
  syncWindow = nullptr;
}
