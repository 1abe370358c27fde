#include "ui/QtMainThreadWaker.h"

namespace lk24 {

void InstallQtMainThreadWaker() { InstallQtPostedEventWaker(); }

}  // namespace lk24
