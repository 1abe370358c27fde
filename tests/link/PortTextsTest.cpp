// What the user is told when a port will not open: the remedy must fit the
// cause, never send anyone to join root's group or re-plug an on-board port.
#include "link/PortTexts.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace lk24::test {
namespace {

TAfPortAccess Access(TAfPortState state, int error = 0, std::string group = {}) {
  TAfPortAccess access;
  access.state = state;
  access.devicePath = "/dev/ttyS1";
  access.systemError = error;
  access.group = std::move(group);
  return access;
}

TEST(PortTexts, EachRefusalGetsTheRemedyThatFitsItsCause) {
  const std::vector<TAfPortHolder> none;
  const std::vector<TAfPortHolder> brltty{{812, "brltty"}};
  const std::vector<TAfPortHolder> modemManager{{433, "ModemManager"}};
  struct Case {
    TAfPortAccess access;
    std::vector<TAfPortHolder> grabbers;
    std::string expected;
  } cases[] = {
      {Access(TAfPortState::NoPermission, EACCES, "uucp"), none,
       std::string("COM2 (/dev/ttyS1): keine Berechtigung – den Benutzer in die Gruppe uucp aufnehmen")},
      {Access(TAfPortState::NoPermission, EACCES), none,
       std::string("COM2 (/dev/ttyS1): nur root darf diesen Anschluss öffnen – eine udev-Regel")},
      {Access(TAfPortState::Failed, EIO), none,
       std::string("COM2 (/dev/ttyS1): der Adapter antwortet nicht – den USB-Adapter abziehen")},
      {Access(TAfPortState::Held, EBUSY), modemManager,
       std::string("COM2 (/dev/ttyS1): wird von einem anderen Programm benutzt, vermutlich von "
                      "ModemManager (PID 433)")},
      {Access(TAfPortState::Held, EBUSY), none,
       std::string("COM2 (/dev/ttyS1): wird von einem anderen Programm benutzt – dieses Programm beenden")},
      {Access(TAfPortState::NoPort), brltty,
       std::string("COM2: kein USB-Adapter gefunden – brltty läuft und hat den Adapter vielleicht übernommen")},
      {Access(TAfPortState::Missing, ENOENT), brltty,
       std::string("COM2 (/dev/ttyS1): Gerät nicht vorhanden – brltty läuft")},
  };
  for (const Case& c : cases) {
    const std::string text = porttext::openFailureReason(2, c.access, c.grabbers);
    EXPECT_TRUE(text.starts_with(c.expected)) << text;
    EXPECT_EQ(text.find("Gruppe root"), std::string::npos) << text;
  }

  // A lock file without a PID names no process.
  TAfPortAccess locked = Access(TAfPortState::Held, EBUSY);
  locked.holder = TAfPortHolder{};
  EXPECT_EQ(porttext::openFailureReason(2, locked).find("PID 0"), std::string::npos);
}

}  // namespace
}  // namespace lk24::test
