// The window's step into Documents\LK24, alone: takes it and prints the
// folder it now works in, so that user-folder-under-wine can check it.
#include "app/UserFolder.h"

#include <windows.h>

#include <cstdio>

int main() {
  const bool entered = lk24::EnterUserFolder();
  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  std::printf("%s %ls\n", entered ? "entered" : "stayed", folder);
  return entered ? 0 : 1;
}
