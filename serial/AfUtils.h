#pragma once
// Process-wide seams of the serial family: how an error escaping a main-thread
// handler is shown, and how a blocking open tells the user to wait.

#include <functional>
#include <string>

// Shows `message` through the installed display (stderr until the application
// installs its error box). Main thread only when a GUI display is installed.
void ShowStandardError(const std::string& message);

// Replaces the error display; an empty function restores the stderr default.
// Call on the main thread before any port is opened.
void SetStandardErrorDisplay(std::function<void(const std::string&)> display);

// Shows `message` on the main thread without waiting for it; from the main
// thread it is shown at once. Any thread.
void ShowStandardErrorLater(const std::string& message);

// Busy indication around a port open (the application installs an hourglass
// cursor); the default does nothing. Main thread only.
void SetWaitCursorDisplay(std::function<void(bool busy)> display);
void ShowWaitCursor(bool busy);
