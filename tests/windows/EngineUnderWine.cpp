// The port engine on Windows, run under Wine by run-under-wine:
//   lk24-engine-test <port> <missing port>
// reads the 256 bytes of the simulated device on COM<port> through the
// engine (overlapped writes, WaitCommEvent, ClearCommError, ReadFile), prints
// them as hex on one line for the script to compare, and checks the line
// settings and the refusal of a missing port. (Wine does not refuse a second
// open of a COM port, so the share-mode refusal cannot be checked here.)
// Exit status: number of failed checks.
#include "serial/AfComPortCore.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
  if (!ok) {
    ++failures;
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
  }
}

DCB Line19200() {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = 19200;
  AfSetDcbFlags(dcb, dcb_Binary | dcb_DtrControlEnable | dcb_RtsControlEnable);
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  // As the port component sets them: Windows refuses equal XON and XOFF.
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  dcb.XonLim = 1024;
  dcb.XoffLim = 1024;
  return dcb;
}

// Woken by the event thread whenever bytes arrive or wait.
struct Arrivals {
  std::mutex lock;
  std::condition_variable changed;
  unsigned count = 0;
};

void ReadImage(int port) {
  TAfComPortCore core;
  TAfSerialDevice* device = nullptr;
  core.SetDeviceFactory([&device](int number) {
    TAfOpenResult result = AfOpenPlatformDevice(number);
    device = result.device.get();
    return result;
  });
  Arrivals arrivals;
  core.SetCallback([&arrivals](TAfComPortCore*, TAfCoreEvent kind, std::uint32_t data,
                               const std::exception_ptr&) {
    if (kind == ceDataWaiting || (kind == ceLineEvent && (data & EV_RXCHAR) != 0)) {
      std::lock_guard guard(arrivals.lock);
      ++arrivals.count;
      arrivals.changed.notify_all();
    }
  });
  core.SetDCB(Line19200());
  core.OpenComPort(port);

  // The record set is the record Windows holds, field for field.
  DCB held{};
  Check(device != nullptr && device->GetCommState(held), "GetCommState after open");
  const DCB wanted = Line19200();
  Check(held.BaudRate == wanted.BaudRate && held.ByteSize == 8 && held.Parity == NOPARITY &&
            held.StopBits == ONESTOPBIT,
        "19200 8N1 read back");
  Check((AfDcbFlags(held) & (dcb_DtrControlMask | dcb_RtsControlMask)) ==
            (dcb_DtrControlEnable | dcb_RtsControlEnable),
        "DTR and RTS control bits read back");

  std::string hex;
  for (int address = 0; address < 256; ++address) {
    const std::uint8_t command[] = {0xE6, std::uint8_t(address)};
    Check(core.WriteData(command, 2), "queue read command");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    std::uint8_t answer = 0;
    std::int32_t got = 0;
    while (got == 0 && std::chrono::steady_clock::now() < deadline) {
      std::unique_lock guard(arrivals.lock);
      const unsigned before = arrivals.count;
      guard.unlock();
      got = core.ReadData(&answer, 1);
      if (got != 0) break;
      guard.lock();
      arrivals.changed.wait_for(guard, std::chrono::milliseconds(100),
                                [&] { return arrivals.count != before; });
    }
    if (got != 1) {
      Check(false, "answer for address " + std::to_string(address));
      break;
    }
    char text[3];
    std::snprintf(text, sizeof text, "%02x", answer);
    hex += text;
  }
  COMSTAT status{};
  core.ComStatus(status);
  Check(status.cbInQue == 0, "nothing left after 256 answers");
  core.CloseComPort();
  std::printf("%s\n", hex.c_str());
}

void RefuseMissing(int port) {
  TAfComPortCore core;
  try {
    core.OpenComPort(port);
    Check(false, "open of a port that does not exist is refused");
  } catch (const EAfComPortOpenError& e) {
    Check(std::string(e.what()) == "Invalid port number (COM" + std::to_string(port) + ")",
          std::string("message for a missing port: ") + e.what());
    Check(e.Access().state == TAfPortState::Missing, "missing port reported as missing");
  }
  Check(!core.Active(), "engine inactive after a refused open");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: lk24-engine-test <port> <missing port>\n");
    return 2;
  }
  try {
    ReadImage(std::atoi(argv[1]));
    RefuseMissing(std::atoi(argv[2]));
  } catch (const std::exception& e) {
    Check(false, std::string("unexpected error: ") + e.what());
  }
  return failures;
}
