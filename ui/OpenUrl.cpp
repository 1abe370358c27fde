#include "ui/OpenUrl.h"

#include <QDesktopServices>
#include <QUrl>

namespace lk24 {

namespace {
std::function<void(const QUrl&)>& urlHandler() {
  static std::function<void(const QUrl&)> handler;
  return handler;
}
}  // namespace

void OpenUrl(const QUrl& url) {
  if (urlHandler()) {
    urlHandler()(url);
    return;
  }
  QDesktopServices::openUrl(url);
}

void SetOpenUrlHandler(std::function<void(const QUrl&)> handler) { urlHandler() = std::move(handler); }

}  // namespace lk24
