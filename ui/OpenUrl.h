#pragma once
// Opening a web address in the user's browser, through one function that
// tests can replace. Main thread only.

#include <functional>

class QUrl;

namespace lk24 {

// Hands the address to the desktop (QDesktopServices by default); a browser
// that fails to start is not reported.
void OpenUrl(const QUrl& url);
// Replaces what OpenUrl does; an empty function restores the desktop's.
void SetOpenUrlHandler(std::function<void(const QUrl&)> handler);

}  // namespace lk24
