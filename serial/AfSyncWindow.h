#pragma once
// Windows: the hidden window through which worker threads hand jobs to the
// thread that runs the message loop (lk24ctl's main thread).

// Makes the window on the calling thread and installs it as the main
// thread's wake-up. False when Windows refuses the window.
bool AfCreateSyncWindow();

// Ends the hand-over (waiting calls return False) and removes the window.
void AfDestroySyncWindow();
