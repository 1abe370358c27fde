#pragma once
// Showing a window modally, through one function that tests can replace so
// that no test ever waits on a nested event loop. Main thread only.

#include <functional>

class QDialog;

namespace lk24 {

// Shows the dialog modally and returns its result (QDialog::exec by default).
int ShowModal(QDialog& dialog);
// Replaces what ShowModal does; an empty function restores exec().
void SetShowModalHandler(std::function<int(QDialog&)> handler);

}  // namespace lk24
