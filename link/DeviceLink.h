#pragma once
// The conversation with one device on the serial line: the read request, the
// program run with its pre-read, write and verify passes, the two timers that
// bound it, and the port selection, probe and device recognition around it.
// Every request ends with one TransferResult handed to the view.
//
// Stop-and-wait: one command goes out, the device answers one byte, and only
// the handling of that byte sends the next command. Everything here runs on
// the main thread (requests, timers and the port's data event alike), so the
// class takes no locks and none of its operations may be called from another
// thread.

#include "link/BackupStore.h"
#include "link/LinkTimer.h"
#include "link/LinkView.h"
#include "link/SerialLine.h"
#include "link/TransferResult.h"
#include "link/TransferState.h"
#include "model/ConfigImage.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lk24 {

namespace command {
constexpr std::uint8_t kRead = 0xE6;   // E6 A          -> EEPROM[A]
constexpr std::uint8_t kWrite = 0xE9;  // E9 A D        -> echo of D
constexpr int kWakeUpLength = 25;      // zero bytes before the first command of a request
}  // namespace command

constexpr int kResponseTimeoutMs = 500;  // RStimeout, restarted by every command
constexpr int kClosePortDelayMs = 200;   // timercloseport, restarted by every byte

class DeviceLink {
 public:
  // The image, the view and the line must outlive the link. Both timers
  // come from the caller's event loop and must not be null. The link takes
  // the line's data event.
  DeviceLink(ConfigImage& image, LinkView& view, SerialLine& line, std::unique_ptr<LinkTimer> responseTimer,
             std::unique_ptr<LinkTimer> closeTimer);
  ~DeviceLink();

  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  // Requests. While a transfer runs they are refused without effect: a
  // second request would reopen the port and leave the device half-written.
  // Reads the device's image into the DeviceImage, checks it, recognises the device.
  void read();
  // Merges the window's image and writes it after a pre-read, then reads it back.
  void program();
  // A read with the read's checks and messages that leaves the DeviceImage,
  // the device flags and the window as they are; the result holds the device's image.
  void compare();
  // The program run with a backup in place of the user's image: bytes 0 to
  // 247 written exactly as the backup holds them (no merge, no correction,
  // its own checksum byte), only into the device of the backup's type and
  // serial number, and verified over every byte written.
  void restore(const Table& backup);
  // Ends a transfer that has written nothing yet at once (Interrupted); false,
  // without effect, once its write pass has begun or when none runs.
  bool cancel();

  // The port for the next request, COM 1..4, and a refresh; refused while a transfer runs.
  void selectPort(std::uint16_t number);
  // Which of COM1..COM4 can be opened now, for the COM items; refused while a transfer runs.
  void probePorts();
  // Stores the port number for the next request without opening anything
  // (a loaded file names its port): an idle open port is closed first.
  // Refused (false) while a transfer runs.
  bool takePortNumber(std::uint16_t number);

  // Where a program run keeps the device's image before its first write.
  // Until set, a FolderBackupStore beside the template file LK24.ini; a null
  // store is ignored, so a program run never goes without a backup.
  void setBackupStore(std::unique_ptr<BackupStore> store);

  // The port's data event: consumes one byte per call, none when none waits.
  void RS232RxChar(SerialLine* Sender, std::int32_t Count);
  // Timer expiries (the timers call them).
  void RStimeoutTimer();
  void timercloseportTimer();

  // Building blocks, public because tests name them. closeport ends the
  // transfer where it stands, its result Interrupted.
  void transmit(std::uint8_t commandByte, std::uint8_t address, std::uint8_t data = 0);
  void closeport();
  bool setupport(std::uint16_t Number);
  bool checkfirmware() const;
  void geraetdetect();

  const TransferState& state() const { return state_; }
  bool transferRunning() const { return state_.running(); }
  // Waiting with no command out, for the line to stay quiet or for a command sent again to come back.
  bool listeningToLine() const { return listening_ != Listening::No; }
  bool TransmitterDetected() const { return transmitterDetected_; }
  bool ReceiverDetected() const { return receiverDetected_; }
  // Whether the last probe could open COM n (1..4); true before any probe.
  bool comAvailable(int comNumber) const;

  LinkTimer& RStimeout() { return *responseTimer_; }
  LinkTimer& timercloseport() { return *closeTimer_; }

 private:
  void onHangUp(const std::string& notice);
  void beginResult(Request request);
  // Hands the result to the view; endTransfer does it for every request that opened the port.
  void deliverResult(TransferEnding ending);
  // Idle again, the controls given back, the result delivered.
  void endTransfer(TransferEnding ending);
  void startRead();
  void startProgramRun(Request request, const Table& requested);
  bool openForRequest();
  void startFirstRead();
  void onReadByte(std::uint8_t byte);
  // Stores the answer for BytePos and asks for the next address; false once the pass has its last byte.
  bool takeReadAnswer(Table& into, Pass pass, std::uint8_t byte);
  void readPassComplete();
  // The image is read (twice, when its checksum was wrong): it ends a read,
  // a comparison or the pre-read of a program run.
  void finishReadPass();
  void finishRead();
  void reportReadChecks();
  void finishComparison();
  void finishPreRead();
  void onRereadByte(std::uint8_t byte);
  void finishSecondRead();
  void endWithDisturbedLine(int address, int first, int second);
  // More came in than the one answer the last command asks for. When that
  // held the command itself, the command is sent again to tell a cable that
  // returns every command from one odd answer.
  void onExtraBytes(std::uint8_t first, std::int32_t count);
  void endWithExtraBytes();
  void askAgainForReturnedCommand();
  void judgeReturnedCommand();
  // A pass's last answer is taken only once the line has stayed quiet for a
  // moment after it: a byte heard then means an earlier answer came twice
  // and every answer since was taken one command too early.
  void afterQuiet(std::function<void()> next);
  void endWithUnexpectedByte(std::int32_t count);
  void onListenedByte(std::uint8_t byte, std::int32_t count);
  // Where the time-out has found the line quiet (or the returned commands
  // counted), the transfer goes on.
  bool listenedLongEnough();
  int quietMs() const;
  void noteAnswerTime();
  int lastAddressOfPass() const;
  Pass passNow() const;
  // The transfer error for a line that cannot be trusted, with what was heard.
  void endWithLineFault(int failedByte, const std::string& note);
  bool isBackupsDevice();
  void startWritePass();
  bool backUpDevice();
  void restoreRequestedImage();
  void onWriteEcho(std::uint8_t byte);
  void onVerifyByte(std::uint8_t byte);
  void finishVerify();
  void setRequestControlsEnabled(bool enabled);
  void errorEntry(const std::string& text);
  void infoEntry(const std::string& text);
  void successEntry(const std::string& text);
  void noteEntry(const std::string& text);

  ConfigImage& image_;
  LinkView& view_;
  LinkControls& controls_;  // the view's, or none
  SerialLine& line_;
  std::unique_ptr<LinkTimer> responseTimer_;
  std::unique_ptr<LinkTimer> closeTimer_;
  std::unique_ptr<BackupStore> backup_;
  TransferState state_;
  TransferResult result_;  // of the request now running, or the last one
  // The merged image a program request set out to write; it is the
  // DeviceImage again when the run does not complete its verify pass.
  Table requested_{};
  std::vector<std::uint8_t> lastCommand_;  // as sent, to tell a loopback
  // Listening to the line between commands: for quiet after a pass, or for
  // a command sent again to come back.
  enum class Listening { No, ForQuiet, ForReturnedCommand };
  Listening listening_ = Listening::No;
  std::function<void()> afterQuiet_;
  std::vector<std::uint8_t> firstHeard_;  // the extra bytes that raised the question
  std::vector<std::uint8_t> heard_;       // what came back to the command sent again
  int returnedCommands_ = 0;
  std::chrono::steady_clock::time_point sentAt_{};
  std::chrono::steady_clock::duration slowestAnswer_{};
  Table firstRead_{};  // a read whose checksum was wrong, until it is read again
  bool exactRun_ = false;  // restore: the image goes in as it stands
  bool transmitterDetected_ = false;
  bool receiverDetected_ = false;
  // A comparison is running; the flags it found the window with.
  bool comparing_ = false;
  std::array<bool, 2> shownDetection_{};
  std::array<bool, 4> comAvailable_{true, true, true, true};
};

// Gauge percentage for the byte at pos of a pass whose last address is last.
int gaugePercent(int pos, int last);
// The same for a byte of one of the three passes, and the pass's name beside the gauge.
int passPercent(Pass pass, int byte);
std::string passName(Pass pass);

}  // namespace lk24
