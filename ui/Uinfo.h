#pragma once
// The software-information window, shown modally from "&Info".

#include "ui/TextWindow.h"

namespace lk24 {

class TFinfo : public TTextWindow {
  Q_OBJECT
 public:
  explicit TFinfo(QWidget* parent = nullptr);
};

}  // namespace lk24
