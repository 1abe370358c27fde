#pragma once
// The two 83 x 54 pictures beside the big buttons: a device and a computer
// with an arrow that shows which way the configuration travels.

#include <QPixmap>

namespace lk24 {

QPixmap ReadPicture();     // device --> computer
QPixmap ProgramPicture();  // computer --> device

}  // namespace lk24
