#include "ui/SystemBeep.h"

#include <QApplication>

namespace lk24 {

namespace {
std::function<void()>& beepHandler() {
  static std::function<void()> handler;
  return handler;
}
}  // namespace

void SystemBeep() {
  if (beepHandler()) {
    beepHandler()();
  } else {
    QApplication::beep();
  }
}

void SetSystemBeepHandler(std::function<void()> handler) { beepHandler() = std::move(handler); }

}  // namespace lk24
