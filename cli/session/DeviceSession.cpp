#include "cli/session/DeviceSession.h"

#include "cli/session/CommandView.h"
#include "cli/platform/InterruptWatch.h"
#include "cli/platform/LoopLinkTimer.h"
#include "cli/platform/MainLoop.h"
#include "cli/output/Output.h"
#include "link/FolderBackupStore.h"
#include "serial/AfUtils.h"

namespace lk24::cli {

DeviceSession::DeviceSession(ConfigImage& image, CommandView& view, std::uint16_t comNumber,
                             const InterruptWatch* interrupts, const std::string& backupFolder)
    : interrupts_(interrupts),
      line_(port_),
      link_(image, view, line_, std::make_unique<LoopLinkTimer>(mainLoop()),
            std::make_unique<LoopLinkTimer>(mainLoop())) {
  line_.setComNumber(comNumber);
  link_.setBackupStore(std::make_unique<FolderBackupStore>(FolderBackupStore::intoFolder(backupFolder)));
  // What would reach the window's error box ends the transfer here instead.
  SetStandardErrorDisplay([this](const std::string& message) {
    if (escapedError_.empty()) escapedError_ = message;
  });
}

DeviceSession::~DeviceSession() {
  SetStandardErrorDisplay({});
  try {
    port_.Close();
  } catch (const std::exception&) {
    // Closing at the end: nothing left to tell anyone.
  }
}

bool DeviceSession::read() {
  link_.read();
  return waitForEnd();
}

bool DeviceSession::program() {
  link_.program();
  return waitForEnd();
}

bool DeviceSession::restore(const Table& backup) {
  link_.restore(backup);
  return waitForEnd();
}

bool DeviceSession::waitForEnd() {
  bool acknowledged = false;
  // An error the port component raises ends nothing here, as in the window:
  // the response time-out decides whether the pass goes on.
  while (link_.transferRunning()) {
    if (interrupts_ && interrupts_->requested()) {
      // Nothing has been written while the first read pass runs; after that
      // the run is finished first, so no device is left half-written.
      if (link_.cancel()) {
        try {
          port_.Close();
        } catch (const std::exception&) {
        }
        return false;
      }
      if (!acknowledged) {
        acknowledged = true;
        printErr("lk24ctl: Abbruch nach dem Schreiben und Prüfen des Geräts (Signal " +
                 std::to_string(interrupts_->signalNumber()) + ")");
      }
    }
    // The link's state and the interrupt flag change only in what the loop runs.
    mainLoop().processEvents();
  }
  return true;
}

}  // namespace lk24::cli
