#pragma once
// The main window's two file dialogs. Each keeps its properties and its file
// name between uses; Execute() shows a QFileDialog, or whatever a test put
// in its place through SetFileDialogExecuteHandler.

#include <QString>
#include <QStringList>

#include <functional>

class QFileDialog;
class QWidget;

namespace lk24 {

class FileDialog {
 public:
  enum class Purpose { Open, Save };

  FileDialog(Purpose purpose, QString title, QString filter);

  Purpose purpose() const { return purpose_; }
  const QString& Title() const { return title_; }
  // Delphi-style "description|pattern|description|pattern".
  const QString& Filter() const { return filter_; }
  // Qt's form of the filter: "description;;description" (the pattern is
  // already part of each description).
  QStringList qtNameFilters() const;
  const QString& DefaultExt() const { return defaultExt_; }
  void setDefaultExt(const QString& extension) { defaultExt_ = extension; }
  const QString& FileName() const { return fileName_; }
  void setFileName(const QString& name) { fileName_ = name; }

  // Shows the dialog; true when the user chose a file, which is then in
  // FileName() (see WithDefaultExtension).
  bool Execute(QWidget* parent);

  // Sets a Qt file dialog up with this dialog's properties and file name.
  void configure(QFileDialog& dialog) const;

 private:
  bool showQtDialog(QWidget* parent);

  Purpose purpose_;
  QString title_;
  QString filter_;
  QString defaultExt_ = QStringLiteral("lk2");
  QString fileName_;
};

// name with ".extension" added when it has no dot and names nothing that
// exists; otherwise name unchanged.
QString WithDefaultExtension(const QString& name, const QString& extension);

// Makes a filter whose pattern is "*.*" list every file, those without a dot
// in their names too; other filters are left as they are.
void ListEveryFileFor(QFileDialog& dialog, const QString& nameFilter);

// Tests answer the dialogs through this: the handler gets the dialog (and may
// set its file name) and returns whether the user confirmed. An empty
// function restores the real dialogs.
void SetFileDialogExecuteHandler(std::function<bool(FileDialog&)> handler);

}  // namespace lk24
