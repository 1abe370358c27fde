#pragma once
// The system's default beep, reached through one function so that tests
// can count beeps instead of hearing them.

#include <functional>

namespace lk24 {

void SystemBeep();
// Replaces what SystemBeep does; an empty function restores the real beep.
void SetSystemBeepHandler(std::function<void()> handler);

}  // namespace lk24
