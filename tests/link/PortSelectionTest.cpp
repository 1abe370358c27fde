// Opening the port for a request, choosing a COM port, the availability
// probe, and keeping a running transfer safe from menu clicks and empty
// data events.

#include "LinkHarness.h"
#include "link/LinkTexts.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace lk24::test {
namespace {

using Op = FakeSerialLine::Op;

TEST(PortSelection, SetupportReopensPurgesAndLocksTheRequestControls) {
  LinkHarness h;
  ASSERT_TRUE(h.link->setupport(2));
  EXPECT_EQ(h.line.ops, (std::vector<FakeSerialLine::Record>{
                            {Op::SetCom, 2}, {Op::Close, 2}, {Op::Open, 2}, {Op::PurgeRx, 0}, {Op::PurgeTx, 0}}));
  EXPECT_EQ(h.link->state().BytePos, 0);
  EXPECT_FALSE(h.view.leseEnabled);
  EXPECT_FALSE(h.view.progEnabled);
  EXPECT_FALSE(h.view.menuEnabled);
  for (int n = 1; n <= 4; ++n) EXPECT_FALSE(h.view.comEnabled[n]) << n;

  LinkHarness failing;
  failing.line.unavailable = {3};
  EXPECT_FALSE(failing.link->setupport(3));
  EXPECT_TRUE(failing.view.leseEnabled && failing.view.progEnabled && failing.view.menuEnabled);
  EXPECT_TRUE(failing.view.entries.empty());  // the caller reports it
  EXPECT_EQ(failing.view.beeps, 0);
}

TEST(PortSelection, ProbeGreysOutMissingPortsAndKeepsTheChosenOne) {
  LinkHarness h;
  h.line.unavailable = {2, 4};
  h.link->probePorts();
  EXPECT_TRUE(h.view.comEnabled[1]);
  EXPECT_FALSE(h.view.comEnabled[2]);
  EXPECT_TRUE(h.view.comEnabled[3]);
  EXPECT_FALSE(h.view.comEnabled[4]);
  EXPECT_EQ(h.line.ComNumber(), 1);
  EXPECT_FALSE(h.line.isOpen);
  EXPECT_EQ(h.view.showdataCalls, 0);

  h.line.ops.clear();
  h.read();
  EXPECT_EQ(h.line.ops.front(), (FakeSerialLine::Record{Op::SetCom, 1}));
  EXPECT_EQ(h.view.entryTexts().front(), linktext::readDone());
  // After the transfer the items are as the probe left them.
  EXPECT_TRUE(h.view.comEnabled[1] && h.view.comEnabled[3]);
  EXPECT_FALSE(h.view.comEnabled[2] || h.view.comEnabled[4]);
}

TEST(PortSelection, ChoosingAPortStoresItAndRefreshes) {
  LinkHarness h;
  h.link->selectPort(2);
  EXPECT_EQ(h.line.ComNumber(), 2);
  EXPECT_EQ(h.view.showdataCalls, 1);
  h.link->selectPort(4);
  EXPECT_EQ(h.line.ComNumber(), 4);
  h.link->selectPort(3);
  EXPECT_EQ(h.line.ComNumber(), 3);
  h.link->selectPort(1);
  EXPECT_EQ(h.line.ComNumber(), 1);
  EXPECT_FALSE(h.line.isOpen);
}

TEST(PortSelection, RequestsAndMenuClicksDuringATransferAreRefused) {
  LinkHarness h;
  h.link->program();
  h.device.stopAfter = 0;  // hold the run in its pre-read
  h.device.pump();
  ASSERT_TRUE(h.link->transferRunning());
  EXPECT_FALSE(h.view.menuEnabled);
  for (int n = 1; n <= 4; ++n) EXPECT_FALSE(h.view.comEnabled[n]) << n;

  const auto opsBefore = h.line.ops;
  const auto stateBefore = h.link->state();
  const int questions = static_cast<int>(h.view.questions.size());
  const int refreshes = h.view.showdataCalls;
  h.link->read();
  h.link->program();
  h.link->selectPort(3);
  h.link->probePorts();
  EXPECT_EQ(h.line.ops, opsBefore);
  EXPECT_TRUE(h.line.isOpen);
  EXPECT_EQ(h.line.ComNumber(), 1);
  EXPECT_EQ(h.view.questions.size(), static_cast<size_t>(questions));
  EXPECT_EQ(h.view.showdataCalls, refreshes);
  EXPECT_EQ(h.link->state().BytePos, stateBefore.BytePos);
  EXPECT_TRUE(h.link->state().ReadMode() && h.link->state().ProgramMode());

  h.rsTimeout->fire();
  EXPECT_TRUE(h.view.menuEnabled);
  for (int n = 1; n <= 4; ++n) EXPECT_TRUE(h.view.comEnabled[n]) << n;
  h.link->selectPort(3);
  EXPECT_EQ(h.line.ComNumber(), 3);
}

TEST(PortSelection, EmptyDataEventDoesNothing) {
  LinkHarness h;
  h.link->read();
  const auto opsBefore = h.line.ops;
  const int closeStarts = h.closeTimer->starts();
  EXPECT_NO_THROW(h.line.raiseDataEvent(0));
  EXPECT_EQ(h.line.ops, opsBefore);
  EXPECT_EQ(h.closeTimer->starts(), closeStarts);
  EXPECT_EQ(h.link->state().BytePos, 0);
  // The transfer goes on undisturbed.
  h.device.pump();
  EXPECT_EQ(h.view.entryTexts(), std::vector<std::string>{linktext::readDone()});
}

TEST(PortSelection, DataWhileIdleDropsOneByteAndRestartsTheCloseTimer) {
  LinkHarness h;
  ASSERT_TRUE(h.link->setupport(1));
  h.link->closeport();
  const Table shown = h.image.DeviceImage;
  h.line.ops.clear();
  h.line.rx = {0x11, 0x22};
  h.line.raiseDataEvent(2);
  EXPECT_EQ(h.line.ops, (std::vector<FakeSerialLine::Record>{{Op::PurgeTx, 0}, {Op::Read, 0x11}}));
  EXPECT_EQ(h.line.rx.size(), 1u);
  EXPECT_TRUE(h.closeTimer->isEnabled());
  EXPECT_EQ(h.closeTimer->starts(), 1);
  EXPECT_EQ(h.image.DeviceImage, shown);
  EXPECT_TRUE(h.line.written.empty());
  EXPECT_TRUE(h.view.entries.empty());
}

TEST(PortSelection, ClosingTimerSwallowsCloseErrors) {
  LinkHarness h;
  h.read();
  h.line.failCloseAlways = true;
  EXPECT_NO_THROW(h.closeTimer->fire());
  EXPECT_FALSE(h.closeTimer->isEnabled());
}

TEST(PortSelection, PortErrorBeforeTheFirstCommandStillGivesTheButtonsBack) {
  LinkHarness h;
  h.line.failWrites = true;
  EXPECT_THROW(h.link->read(), std::runtime_error);
  EXPECT_FALSE(h.link->transferRunning());
  EXPECT_TRUE(h.view.looksIdle());
  h.line.failWrites = false;
  h.read();
  EXPECT_EQ(h.view.entryTexts(), std::vector<std::string>{linktext::readDone()});
}

TEST(PortSelection, TheLogSaysWhyAPortWillNotOpenAndWhatWentWrongOnTheLine) {
  LinkHarness h;
  h.line.unavailable = {1};
  h.line.failureReason = "COM1 (/dev/ttyUSB0): keine Berechtigung";
  h.link->read();
  ASSERT_EQ(h.view.entries.size(), 2u);
  EXPECT_EQ(h.view.entries[0].text, linktext::portOpenFailed());
  EXPECT_EQ(h.view.entries[1].text, h.line.failureReason);
  EXPECT_EQ(h.view.entries[1].colour, LogColour::Red);
  EXPECT_EQ(h.view.entries[1].style, entrystyle::kNote);

  // The probe names each port's device, or why it cannot be opened.
  h.link->probePorts();
  EXPECT_EQ(h.view.comToolTip[1], h.line.failureReason);
  EXPECT_EQ(h.view.comToolTip[2], "device of COM2");

  // A silent line with a port grabber running: named after the note.
  h.line.unavailable.clear();
  h.line.silenceHint = "Es läuft ModemManager (PID 812)";
  h.line.notice = "slow adapter";
  h.view.clearLog();
  h.link->read();
  h.rsTimeout->fire();
  EXPECT_EQ(h.view.entryTexts(), (std::vector<std::string>{std::string("slow adapter"), linktext::transferError(0),
                                                        linktext::checkConnection(), h.line.silenceHint}));
}

TEST(PortSelection, APulledCableEndsTheTransferAtOnceAndGivesBackTheUsersImage) {
  // Answers before the cable goes, and the byte the run stops at: in the
  // pre-read, in the write pass and in the verify pass.
  for (const auto& [answers, bytePos] : {std::pair{5, 5}, std::pair{256 + 21 + 60, 60}, std::pair{256 + 21 + 248 + 9, 9}}) {
    SCOPED_TRACE(answers);
    LinkHarness h;
    Table user = deviceImage();
    user[40] = 0x21;
    user[addr::kReceiverSerialLow] = 0x99;  // the device's own number goes in, but not into the window
    h.image.DeviceImage = user;
    h.link->program();
    h.device.stopAfter = answers;
    h.device.pump();
    ASSERT_TRUE(h.link->transferRunning());
    ASSERT_TRUE(h.line.hangUp);
    h.line.hangUp("COM1: Verbindung getrennt");
    EXPECT_FALSE(h.link->transferRunning());
    EXPECT_TRUE(h.view.looksIdle());
    EXPECT_FALSE(h.rsTimeout->isEnabled());
    EXPECT_EQ(h.view.entryTexts().back(), "COM1: Verbindung getrennt");
    EXPECT_EQ(h.view.entryTexts().end()[-2], linktext::transferError(bytePos));
    EXPECT_EQ(h.image.DeviceImage, user);
    EXPECT_EQ(h.view.events.end()[-2], "showdata");
  }
}

}  // namespace
}  // namespace lk24::test
