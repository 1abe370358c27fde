#pragma once
// The help window, shown modally from "&Hilfe".

#include "ui/TextWindow.h"

namespace lk24 {

class TFhilfe : public TTextWindow {
  Q_OBJECT
 public:
  explicit TFhilfe(QWidget* parent = nullptr);
};

}  // namespace lk24
