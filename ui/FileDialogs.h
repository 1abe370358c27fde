#pragma once
// The main window's two file dialogs. Each keeps its properties and its file
// name between uses; Execute() shows a QFileDialog, or whatever a test put
// in its place through SetFileDialogExecuteHandler.

#include <QString>
#include <QStringList>

#include <functional>

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
  const QString& FileName() const { return fileName_; }
  void setFileName(const QString& name) { fileName_ = name; }

  // Shows the dialog; true when the user chose a file, which is then in
  // FileName() with the default extension added if the name had none.
  bool Execute(QWidget* parent);

 private:
  bool showQtDialog(QWidget* parent);

  Purpose purpose_;
  QString title_;
  QString filter_;
  QString defaultExt_ = QStringLiteral("lk2");
  QString fileName_;
};

// Tests answer the dialogs through this: the handler gets the dialog (and may
// set its file name) and returns whether the user confirmed. An empty
// function restores the real dialogs.
void SetFileDialogExecuteHandler(std::function<bool(FileDialog&)> handler);

}  // namespace lk24
