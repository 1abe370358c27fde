// An error the serial component reports while lk24ctl writes a device ends
// nothing by itself, as in the window: the response time-out decides, so a
// pass the window would finish is finished and verified.

#include "CtlProcess.h"

#include "cli/session/CommandView.h"
#include "cli/session/DeviceSession.h"
#include "cli/args/Inputs.h"
#include "cli/platform/MainLoop.h"
#include "cli/session/Outcome.h"
#include "cli/args/PortChoice.h"
#include "serial/AfUtils.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace lk24::test {
namespace {

using devsim::test::startedDevice;

TEST(CtlSerialError, AnErrorReportedDuringTheWritePassLeavesTheRunToFinish) {
  CtlFolder folder;
  auto device = startedDevice();
  ::setenv("LK24_COM1", device->slavePath().c_str(), 1);
  ConfigImage image;
  std::string error;
  const auto tables = cli::loadTemplate(folder.file("LK24.ini"), image, &error);
  ASSERT_TRUE(tables) << error;
  image.DeviceImage = device->eeprom();
  cli::CommandView view(image, nullptr);
  cli::DeviceSession session(image, view, 1, nullptr, folder.file("Sicherungen"));

  // As the event thread would report a failed write, once the write pass runs.
  bool reported = false;
  const auto watch = cli::mainLoop().startTimer(std::chrono::milliseconds(1), true, [&] {
    const TransferState& state = session.link().state();
    if (!reported && state.ProgramMode() && !state.ReadMode() && state.BytePos >= 30) {
      reported = true;
      ShowStandardError("Schreibfehler");
    }
  });
  const bool finished = session.program();
  cli::mainLoop().stopTimer(watch);  // before the state it looks at goes
  ASSERT_TRUE(finished);
  ::unsetenv("LK24_COM1");

  EXPECT_TRUE(reported);
  EXPECT_EQ(session.escapedError(), "Schreibfehler");
  ASSERT_TRUE(view.result());
  EXPECT_EQ(view.result()->ending, TransferEnding::Done);
  EXPECT_EQ(cli::transferOutcome(view, session), cli::ExitStatus::Success);
  EXPECT_EQ(device->stats().commands, 256 + 21 + 248 + 256);  // every pass to its end
}

}  // namespace
}  // namespace lk24::test
