#pragma once
// A simulated transmitter or receiver on a pseudo-terminal. It answers the
// tool's byte protocol from a 256-byte EEPROM image and can inject the faults
// a real line or device shows, so the link and the window can be tested
// without hardware. Tests run it in-process; lk24-devsim wraps it for the
// command line.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace lk24::devsim {

enum class DeviceType { Receiver, Transmitter };

struct Options {
  DeviceType type = DeviceType::Receiver;
  std::optional<std::string> imageFile{};        // --image: EEPROM from lines 256..511 of a .lk2
  std::optional<std::string> saveFile{};         // --save: EEPROM written as a .lk2 at stop
  bool silent = false;                           // --silent: never answers, stores nothing
  std::optional<int> stopAfter{};                // --stop-after N: answers N commands, then none
                                                 //   (a command that gets no answer is not carried out)
  std::optional<int> wrongEchoAt{};              // --wrong-echo-at A: the write to A echoes D xor 0xFF
  std::optional<int> stuckAt{};                  // --stuck-at A: the write to A is echoed but not stored
  std::optional<int> noisyAnswer{};              // --noisy-answer N: answer N (from 0) goes out inverted, once
  std::optional<int> noisyAt{};                  // --noisy-at A: the answer to the first read of A goes out
                                                 //   inverted, once
  std::optional<int> extraAfter{};               // --extra-after N: answer N (from 0) is followed by a copy
  std::optional<int> lateExtraAfter{};           // --late-extra-after N: answer N (from 0) comes again once the
                                                 //   next command has begun, so it is taken as that one's answer
  std::optional<int> dropAnswer{};               // --drop-answer N: answer N (from 0) is lost on the line, once
  std::optional<int> dropAt{};                   // --drop-at A: the answer to the first read of A is lost, once
  bool loopback = false;                         // --loopback: every byte comes back and nothing answers,
                                                 //   as with a loopback plug in place of the device
  std::optional<int> wakeAnswer{};               // --wake-answer V: a run of zeros outside a command gets
                                                 //   one byte V back
  bool badChecksum = false;                      // --bad-checksum: byte 239 off by one
  std::optional<std::pair<int, int>> firmware{}; // --firmware M.N: bytes 254, 255
  std::optional<int> typeCode{};                 // --type-code N: byte 253
  bool writeProtected = false;                   // --write-protected: byte 3 bit 0 set
  int garbage = 0;                               // --garbage N: N random bytes before each answer
  int garbagePercent = 100;                      // --garbage-percent P: ... before P % of the answers only
  int garbageFrom = 0;                           // --garbage-from N: ... and none before the first N answers
  int latencyMs = 0;                             // --latency-ms X: delay before each answer
  int jitterMs = 0;                              // --jitter-ms X: a further random 0..X ms before an answer
  int jitterPercent = 100;                       // --jitter-percent P: ... before P % of the answers only
  int baud = 0;                                  // --baud B: wire time of 10 bits a byte (0 = none)
  std::optional<std::string> traceFile{};        // --trace FILE: one line per byte, summary at stop
  std::optional<std::string> linkPath{};         // --link PATH: symlink to the slave, removed at stop
  unsigned seed = 1;                             // --seed S: for the garbage bytes and the jitter
};

// The device's factory image: firmware 1.05, a serial number of its own,
// plausible settings, writable, correct checksum at 239.
std::array<std::uint8_t, 256> defaultImage(DeviceType type);

// Why the options cannot work (a value out of range), or empty.
std::string checkOptions(const Options& options);

// The line behaves like a port with a device on it: it is up from start()
// on whether or not the tool has the slave open, the tool may close and
// reopen it between requests (answers it left unread are gone then, and an
// exclusive-use flag it left behind is cleared), and a half command is
// dropped after 1 s of silence.
//
// Thread safety: every member may be called from any thread, except that
// start() and stop() must not run concurrently with each other or with the
// destructor. One serving thread answers; it takes the image lock per command.
class DeviceSimulator {
 public:
  struct Stats {
    long commands = 0;  // commands answered
    long bytesIn = 0;   // bytes received from the tool
    long bytesOut = 0;  // bytes sent to the tool, garbage included
  };

  explicit DeviceSimulator(Options options);
  ~DeviceSimulator();  // stops

  DeviceSimulator(const DeviceSimulator&) = delete;
  DeviceSimulator& operator=(const DeviceSimulator&) = delete;

  // Builds the image (loading --image and applying the image faults), opens
  // the pty, sets the slave raw, places the link, opens the trace and starts
  // the serving thread. False with a one-line reason on failure.
  bool start(std::string* error = nullptr);
  // The slave's path, e.g. /dev/pts/7; empty before start().
  std::string slavePath() const;
  // Idempotent. Ends the serving thread, writes --save, removes --link,
  // writes the trace summary.
  void stop();
  // Why the last start() or stop() failed (a file that could not be
  // written, for instance); empty when it did not.
  std::string lastError() const;

  std::array<std::uint8_t, 256> eeprom() const;  // a snapshot; takes the image lock
  void setEeprom(const std::array<std::uint8_t, 256>& image);  // takes the image lock

  // Closes the pty master now, as if the cable or adapter were pulled, and
  // returns once it is closed. The tool then sees a hang-up on its side;
  // stop() still tidies up.
  void vanish();

  Stats stats() const;  // takes the image lock

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// What lk24-devsim's main() calls. Bad options: one line on stderr, exit 2.
int runCommandLine(int argc, char** argv);

}  // namespace lk24::devsim
