#pragma once
// One soak run through the real window: a read or a program run, and a close
// request (once, or twice in a row) at an answer drawn from the seed; in a
// quarter of the runs the device stops answering after that answer, so the
// close waits for the response time-out. In half of the runs the request is
// the end of the session, a real SIGTERM, SIGHUP or SIGINT caught by the
// window's SessionEndWatch. The window must let the transfer end, then close
// and write LK24.ini; judged by the device's EEPROM.
//
// Main thread only, like the window itself.

#include "bench/SoakRun.h"
#include "editor/ImageCorrections.h"
#include "model/TemplateFormat.h"
#include "ui/ConfirmBox.h"
#include "ui/SessionEndWatch.h"
#include "ui/SystemBeep.h"
#include "ui/ULK24.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextEdit>

#include <csignal>
#include <memory>
#include <random>

namespace lk24::soak {

struct WindowPlan {
  unsigned seed = 0;
  bool program = false;
  int closeAt = 0;     // answers the tool has taken when the close is asked for
  bool twice = false;  // a second request right after the first
  bool deviceStops = false;
  int signal = 0;  // the signal that asks for the close, or 0 for the close box
  Table userImage{};
  devsim::Options device;

  int answers() const { return program ? kProgramAnswers : kReadAnswers; }
};

inline WindowPlan planWindowRun(unsigned seed) {
  std::mt19937 rng(seed);
  auto below = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  WindowPlan plan;
  plan.seed = seed;
  plan.program = below(2) == 1;  // drawn: the window runs' seeds share a parity
  plan.closeAt = below(plan.answers());
  plan.twice = below(2) == 1;
  plan.device.seed = seed;
  plan.device.type = below(2) ? devsim::DeviceType::Transmitter : devsim::DeviceType::Receiver;
  plan.deviceStops = below(4) == 0;
  static constexpr std::array kSessionEnds{SIGTERM, SIGHUP, SIGINT};
  if (below(2) == 1) plan.signal = kSessionEnds[static_cast<std::size_t>(below(3))];
  if (plan.deviceStops) plan.device.stopAfter = plan.closeAt + below(plan.answers() - plan.closeAt);
  for (std::uint8_t& byte : plan.userImage) byte = static_cast<std::uint8_t>(below(256));
  return plan;
}

// Whether device holds the first bytes of intended and its old bytes after
// them: what a write pass that stopped somewhere leaves, and nothing else.
inline bool writtenInOrder(const Table& device, const Table& intended, const Table& before) {
  int k = 0;
  while (k <= addr::kLastWritten && device[k] == intended[k]) ++k;
  for (int a = k; a < kImageSize; ++a) {
    if (device[a] != before[a] && !(a <= addr::kLastWritten && intended[a] == before[a])) return false;
  }
  return true;
}

// What a program run from the window must leave in the device: the image
// refreshed and merged, with the device's serial numbers and the pauses
// derived from them.
inline Table windowIntendedImage(const ConfigImage& window, const Table& device) {
  ConfigImage image = window;
  applyImageCorrections(image.DeviceImage);
  image.FilterUserData();
  Table intended = image.DeviceImage;
  for (int a : {addr::kReceiverSerialHigh, addr::kReceiverSerialLow, addr::kTransmitterSerialHigh,
                addr::kTransmitterSerialLow}) {
    intended[a] = device[a];
  }
  derivePausesFromSerialNumber(intended);
  intended[addr::kChecksum] = calculatechecksum(intended);
  for (int a = addr::kLastWritten + 1; a < kImageSize; ++a) intended[a] = device[a];
  return intended;
}

// The image a failed program run leaves in the window, as LK24.ini stores
// it: refreshed and merged for the run, refreshed again when it is given
// back, merged once more by the writer.
inline Table keptAfterFailure(const Table& user, const ConfigImage& tables) {
  ConfigImage image = tables;
  image.DeviceImage = user;
  for (int round = 0; round < 2; ++round) {
    applyImageCorrections(image.DeviceImage);
    image.FilterUserData();
  }
  return image.DeviceImage;
}

class WindowHarness {
 public:
  // The template the window starts from; each run works in a folder of its own.
  explicit WindowHarness(QString templatePath) : templatePath_(std::move(templatePath)) {
    previousDir_ = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    SetYesNoHandler([](const QString&) { return true; });
    SetSystemBeepHandler([] {});
    SetStandardErrorDisplay([this](const std::string& message) { escaped_.push_back(message); });
  }
  ~WindowHarness() {
    SetStandardErrorDisplay({});
    SetSystemBeepHandler({});
    SetYesNoHandler({});
    QDir::setCurrent(previousDir_);
  }
  WindowHarness(const WindowHarness&) = delete;
  WindowHarness& operator=(const WindowHarness&) = delete;

  Outcome run(const WindowPlan& plan, const Limits& limits = {});
  // Attempts again while a failure coincides with a stall of the machine.
  Outcome runSteadily(const WindowPlan& plan, const Limits& limits = {});

 private:
  StallWatch stalls_;
  QTemporaryDir dir_;
  QString previousDir_;
  QString templatePath_;
  std::vector<std::string> escaped_;
};

inline Outcome WindowHarness::run(const WindowPlan& plan, const Limits& limits) {
  Outcome out;
  auto fail = [&out](const std::string& what) { out.problems.push_back(what); };
  QElapsedTimer clock;
  clock.start();
  stalls_.reset();
  escaped_.clear();
  QFile::remove(QString::fromLatin1(kTemplateFileName));
  QFile::copy(templatePath_, QString::fromLatin1(kTemplateFileName));
  devsim::DeviceSimulator device(plan.device);
  std::string error;
  if (!device.start(&error)) {
    fail("simulator did not start: " + error);
    return out;
  }
  ::setenv("LK24_COM1", device.slavePath().c_str(), 1);
  const Table before = device.eeprom();

  auto form = std::make_unique<TForm1>();
  bool askedDuringTransfer = false;  // the transfer may end between two looks
  SessionEndWatch sessionEnd([&] {
    askedDuringTransfer = askedDuringTransfer || form->link().transferRunning();
    form->close();
  });
  form->show();
  // As a user would, wait for the window to be drawn and its first refresh:
  // both hold the main thread longer than the 200 ms between two answers.
  serveEventsFor(400);
  form->image().DeviceImage = plan.userImage;
  const Table intended = windowIntendedImage(form->image(), before);
  QFile::remove(QString::fromLatin1(kTemplateFileName));  // written again when the window closes
  if (plan.program) {
    form->ProgButtonClick();
  } else {
    form->LeseButtonClick();
  }

  QTimer heartbeat;
  heartbeat.start(20);
  bool asked = false;
  while (form->isVisible() && clock.elapsed() < limits.runWaitMs) {
    const bool running = form->link().transferRunning();
    if (!asked && (!running || answersTaken(form->link().state()) >= plan.closeAt)) {
      asked = true;
      if (plan.signal != 0) {
        // The watch hands the signal to the event loop, which closes on its next turn.
        ::raise(plan.signal);
        if (plan.twice) ::raise(plan.signal);
      } else {
        askedDuringTransfer = running;
        form->close();
        if (plan.twice) form->Exit1->trigger();
      }
    }
    if (plan.signal == 0 && running && !form->isVisible()) fail("the window closed during the transfer");
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  out.transferSeconds = static_cast<double>(clock.elapsed()) / 1000.0;
  const QStringList log = form->MInfo->toPlainText().split(QLatin1Char('\n'));
  const QRegularExpression endings(QStringLiteral("erfolgreich|Übertragungsfehler"));
  out.summary = log.filter(endings).join(QStringLiteral(" | ")).toStdString();
  if (plan.signal != 0) out.summary = "signal " + std::to_string(plan.signal) + ": " + out.summary;
  if (form->isVisible()) fail("the window did not close");
  if (form->link().transferRunning()) fail("the transfer still runs");
  if (log.count(QStringLiteral("    Das Fenster schließt, wenn die Übertragung beendet ist.")) !=
      (askedDuringTransfer ? 1 : 0)) {
    fail("the note that the window closes later is wrong");
  }
  const Table after = device.eeprom();
  if (plan.deviceStops) {
    if (log.filter(QStringLiteral("Übertragungsfehler bei Byte ")).size() != 1) fail("no transfer error");
    if (!(plan.program ? writtenInOrder(after, intended, before) : after == before)) {
      fail("the device was written out of order");
    }
  } else {
    const QString done =
        plan.program ? QStringLiteral("Daten erfolgreich übertragen") : QStringLiteral("Daten erfolgreich gelesen");
    if (log.count(done) != 1) fail("the transfer did not complete: " + out.summary);
    if (after != (plan.program ? intended : before)) fail("the device holds another image than the user asked for");
  }
  LineList written;
  ConfigImage check;
  if (written.loadFromFile(kTemplateFileName) != FileReadStatus::Ok ||
      loadTemplateTables(written, check) != TemplateLoad::Valid) {
    fail("LK24.ini was not written");
  } else if (plan.program && plan.deviceStops && check.DeviceImage != keptAfterFailure(plan.userImage, check)) {
    fail("LK24.ini lost the user's configuration");
  }
  for (const std::string& message : escaped_) fail("error box: " + message);
  out.ending = plan.deviceStops ? Ending::TransferError : plan.program ? Ending::ProgramDone : Ending::ReadDone;

  form.reset();
  device.stop();
  serveEventsFor(5);
  // No event loop runs here to delete what the window left to deleteLater.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  out.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  out.stallMs = stalls_.longestMs();
  return out;
}

inline Outcome WindowHarness::runSteadily(const WindowPlan& plan, const Limits& limits) {
  std::vector<std::string> stalledTries;
  const int stallLimit = kClosePortDelayMs / std::max(1, limits.stallDivisor);
  for (int attempt = 1;; ++attempt) {
    Outcome out = run(plan, limits);
    out.attempts = attempt;
    if (out.problems.empty() || out.stallMs < stallLimit || attempt >= limits.attempts) {
      out.stalledTries = std::move(stalledTries);
      return out;
    }
    stalledTries.push_back("stall " + std::to_string(out.stallMs) + " ms: " + out.problems.front());
  }
}

}  // namespace lk24::soak
