#pragma once
// The shared frame of the information and help windows: a grey panel with
// a fixed text, a "zurück" button that closes the window and a two-line
// homepage button. Main thread only.

#include <QDialog>
#include <QRect>
#include <QSize>
#include <QStringList>

class QFrame;
class QPushButton;
class QTextEdit;

namespace lk24 {

struct TextWindowDesign {
  QString caption;
  QSize size;       // outer size, frame included
  QRect panel;      // Panel1, in the window
  QRect text;       // RichEdit1, in Panel1
  QRect backButton; // ButBack, in the window
  QRect webButton;  // ButWeb, in the window
  QStringList lines;
};

class TTextWindow : public QDialog {
  Q_OBJECT
 public:
  TTextWindow(const TextWindowDesign& design, QWidget* parent);

  QFrame* Panel1 = nullptr;
  QTextEdit* RichEdit1 = nullptr;
  QPushButton* ButBack = nullptr;
  QPushButton* ButWeb = nullptr;

 public slots:
  void ButBackClick();
  void ButWebClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void placeOnDesktop();

  QSize outerSize_;
};

}  // namespace lk24
