#include "ui/FileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>

#include <utility>

namespace lk24 {

namespace {
std::function<bool(FileDialog&)>& executeHandler() {
  static std::function<bool(FileDialog&)> handler;
  return handler;
}

// The pattern that lists every file: "*.*" would take the dot literally and
// hide the files whose names have none.
constexpr QLatin1String kEveryFilePattern("*.*");
}  // namespace

QString WithDefaultExtension(const QString& name, const QString& extension) {
  // As the dialog itself adds it: only to a name with no dot that names no
  // existing file or folder, so the name the dialog confirmed (and asked
  // about before replacing it) is the one that is used.
  const QFileInfo info(name);
  if (name.isEmpty() || info.exists() || info.fileName().contains(QLatin1Char('.'))) return name;
  return name + QLatin1Char('.') + extension;
}

void ListEveryFileFor(QFileDialog& dialog, const QString& nameFilter) {
  if (!nameFilter.contains(QLatin1String("(") + kEveryFilePattern + QLatin1String(")"))) return;
  if (auto* model = dialog.findChild<QFileSystemModel*>()) model->setNameFilters({QStringLiteral("*")});
}

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
  if (confirmed) fileName_ = WithDefaultExtension(fileName_, defaultExt_);
  return confirmed;
}

bool FileDialog::showQtDialog(QWidget* parent) {
  QFileDialog dialog(parent, title_);
  configure(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  fileName_ = dialog.selectedFiles().constFirst();
  return true;
}

void FileDialog::configure(QFileDialog& dialog) const {
  // Qt's own dialog on every desktop, so the filters behave as set here.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog](const QString& filter) { ListEveryFileFor(dialog, filter); });
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
}

}  // namespace lk24
