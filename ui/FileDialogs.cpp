#include "ui/FileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>

#include <utility>

namespace lk24 {

namespace {
std::function<bool(FileDialog&)>& executeHandler() {
  static std::function<bool(FileDialog&)> handler;
  return handler;
}
}  // namespace

void SetFileDialogExecuteHandler(std::function<bool(FileDialog&)> handler) {
  executeHandler() = std::move(handler);
}

FileDialog::FileDialog(Purpose purpose, QString title, QString filter)
    : purpose_(purpose), title_(std::move(title)), filter_(std::move(filter)) {}

QStringList FileDialog::qtNameFilters() const {
  const QStringList parts = filter_.split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i < parts.size(); i += 2) filters << parts[i];
  return filters;
}

bool FileDialog::Execute(QWidget* parent) {
  const bool confirmed = executeHandler() ? executeHandler()(*this) : showQtDialog(parent);
  if (confirmed && !fileName_.isEmpty() && QFileInfo(fileName_).suffix().isEmpty()) {
    fileName_ += QLatin1Char('.') + defaultExt_;
  }
  return confirmed;
}

bool FileDialog::showQtDialog(QWidget* parent) {
  QFileDialog dialog(parent, title_);
  dialog.setNameFilters(qtNameFilters());
  dialog.selectNameFilter(qtNameFilters().value(0));
  dialog.setDefaultSuffix(defaultExt_);
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (purpose_ == Purpose::Open) {
    // Only an existing file can be confirmed.
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    // QFileDialog asks before an existing file is overwritten.
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
  }
  const QFileInfo current(fileName_);
  if (current.isAbsolute()) dialog.setDirectory(current.absolutePath());
  dialog.selectFile(current.fileName());
  dialog.setSizeGripEnabled(true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  fileName_ = dialog.selectedFiles().constFirst();
  return true;
}

}  // namespace lk24
