#include "ui/ModalDialog.h"

#include <QDialog>

namespace lk24 {

namespace {
std::function<int(QDialog&)>& modalHandler() {
  static std::function<int(QDialog&)> handler;
  return handler;
}
}  // namespace

int ShowModal(QDialog& dialog) {
  if (modalHandler()) return modalHandler()(dialog);
  return dialog.exec();
}

void SetShowModalHandler(std::function<int(QDialog&)> handler) { modalHandler() = std::move(handler); }

}  // namespace lk24
