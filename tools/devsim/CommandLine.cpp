#include "tools/devsim/CommandLine.h"

#include "model/ConfigImage.h"
#include "tools/devsim/ImageFile.h"

#include <pthread.h>
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <functional>
#include <optional>
#include <string_view>

namespace lk24::devsim {

namespace {

std::optional<int> parseCount(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [rest, problem] = std::from_chars(text.data(), end, value);
  if (text.empty() || problem != std::errc() || rest != end) return std::nullopt;
  return value;
}

std::optional<std::pair<int, int>> parseVersion(std::string_view text) {
  const std::size_t dot = text.find('.');
  if (dot == std::string_view::npos) return std::nullopt;
  const auto major = parseCount(text.substr(0, dot));
  const auto minor = parseCount(text.substr(dot + 1));
  if (!major || !minor) return std::nullopt;
  return std::pair{*major, *minor};
}

// Takes the option's value; returns an error text or empty.
using ValueSetter = std::function<std::string(Options&, std::string_view)>;
using FlagSetter = std::function<void(Options&)>;

struct OptionRow {
  const char* name;
  ValueSetter takeValue;  // empty for a flag
  FlagSetter setFlag;
};

ValueSetter number(std::optional<int> Options::*field) {
  return [field](Options& o, std::string_view text) -> std::string {
    const auto value = parseCount(text);
    if (!value) return "not a number: " + std::string(text);
    o.*field = *value;
    return {};
  };
}

ValueSetter number(int Options::*field) {
  return [field](Options& o, std::string_view text) -> std::string {
    const auto value = parseCount(text);
    if (!value) return "not a number: " + std::string(text);
    o.*field = *value;
    return {};
  };
}

ValueSetter path(std::optional<std::string> Options::*field) {
  return [field](Options& o, std::string_view text) -> std::string {
    o.*field = std::string(text);
    return {};
  };
}

const std::vector<OptionRow>& optionTable() {
  static const std::vector<OptionRow> rows = {
      {"--type",
       [](Options& o, std::string_view text) -> std::string {
         if (text == "receiver") o.type = DeviceType::Receiver;
         else if (text == "transmitter") o.type = DeviceType::Transmitter;
         else return "receiver or transmitter, not " + std::string(text);
         return {};
       },
       {}},
      {"--image", path(&Options::imageFile), {}},
      {"--save", path(&Options::saveFile), {}},
      {"--silent", {}, [](Options& o) { o.silent = true; }},
      {"--stop-after", number(&Options::stopAfter), {}},
      {"--wrong-echo-at", number(&Options::wrongEchoAt), {}},
      {"--stuck-at", number(&Options::stuckAt), {}},
      {"--noisy-answer", number(&Options::noisyAnswer), {}},
      {"--noisy-at", number(&Options::noisyAt), {}},
      {"--extra-after", number(&Options::extraAfter), {}},
      {"--late-extra-after", number(&Options::lateExtraAfter), {}},
      {"--drop-answer", number(&Options::dropAnswer), {}},
      {"--drop-at", number(&Options::dropAt), {}},
      {"--loopback", {}, [](Options& o) { o.loopback = true; }},
      {"--wake-answer", number(&Options::wakeAnswer), {}},
      {"--bad-checksum", {}, [](Options& o) { o.badChecksum = true; }},
      {"--firmware",
       [](Options& o, std::string_view text) -> std::string {
         const auto version = parseVersion(text);
         if (!version) return "M.N expected, not " + std::string(text);
         o.firmware = *version;
         return {};
       },
       {}},
      {"--type-code", number(&Options::typeCode), {}},
      {"--write-protected", {}, [](Options& o) { o.writeProtected = true; }},
      {"--garbage", number(&Options::garbage), {}},
      {"--garbage-percent", number(&Options::garbagePercent), {}},
      {"--garbage-from", number(&Options::garbageFrom), {}},
      {"--latency-ms", number(&Options::latencyMs), {}},
      {"--jitter-ms", number(&Options::jitterMs), {}},
      {"--jitter-percent", number(&Options::jitterPercent), {}},
      {"--baud",
       [](Options& o, std::string_view text) -> std::string {
         const auto value = parseCount(text);
         if (!value || *value <= 0) return "a positive number expected, not " + std::string(text);
         o.baud = *value;
         return {};
       },
       {}},
      {"--trace", path(&Options::traceFile), {}},
      {"--link", path(&Options::linkPath), {}},
      {"--seed",
       [](Options& o, std::string_view text) -> std::string {
         const auto value = parseCount(text);
         if (!value || *value < 0) return "not a number: " + std::string(text);
         o.seed = static_cast<unsigned>(*value);
         return {};
       },
       {}},
  };
  return rows;
}

}  // namespace

const char* usageText() {
  return "usage: lk24-devsim [options]\n"
         "A simulated LK24 transmitter or receiver on a pseudo-terminal. Prints the\n"
         "terminal's path on the first line and answers until SIGINT or SIGTERM.\n"
         "  --type receiver|transmitter  device to simulate (receiver)\n"
         "  --image FILE.lk2        take the EEPROM from a configuration file\n"
         "  --save FILE.lk2         write the EEPROM to a configuration file at the end\n"
         "  --link PATH             also place a symbolic link to the terminal there\n"
         "  --trace FILE            log every byte with its time, and a summary\n"
         "  --baud B                take the wire time of B baud, 10 bits a byte\n"
         "  --latency-ms X          wait X ms before each answer\n"
         "  --garbage N             send N random bytes before each answer\n"
         "  --garbage-percent P     ... before P % of the answers only (100)\n"
         "  --garbage-from N        ... and none before the first N answers (0)\n"
         "  --jitter-ms X           wait a further random 0 to X ms before an answer\n"
         "  --jitter-percent P      ... before P % of the answers only (100)\n"
         "  --seed S                seed of the random bytes and the jitter (1)\n"
         "  --silent                never answer\n"
         "  --stop-after N          answer N commands, then none\n"
         "  --wrong-echo-at A       echo the byte written to A inverted\n"
         "  --stuck-at A            echo the byte written to A but keep the old one\n"
         "  --noisy-answer N        invert answer N (the first is 0), as line noise would\n"
         "  --noisy-at A            invert the answer to the first read of A, once\n"
         "  --extra-after N         send answer N (the first is 0) twice\n"
         "  --late-extra-after N    send answer N again once the next command has begun\n"
         "  --drop-answer N         lose answer N (the first is 0) on the line, once\n"
         "  --drop-at A             lose the answer to the first read of A, once\n"
         "  --loopback              send every byte back and answer nothing, as a loopback plug\n"
         "  --wake-answer V         answer the wake-up run of zeros with one byte V\n"
         "  --bad-checksum          a wrong EEPROM checksum in byte 239\n"
         "  --firmware M.N          firmware version in bytes 254, 255 (1.05)\n"
         "  --type-code N           device type code in byte 253 (20 or 10)\n"
         "  --write-protected       set the write protection, byte 3 bit 0\n"
         "  --help                  this text\n";
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) {
  ParsedCommandLine result;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      result.help = true;
      continue;
    }
    std::optional<std::string_view> inlineValue;
    if (const std::size_t equals = arg.find('='); arg.starts_with("--") && equals != std::string_view::npos) {
      inlineValue = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
    }
    const OptionRow* row = nullptr;
    for (const OptionRow& candidate : optionTable()) {
      if (arg == candidate.name) row = &candidate;
    }
    if (!row) {
      result.error = "unknown option " + std::string(args[i]);
      return result;
    }
    if (!row->takeValue) {
      if (inlineValue) {
        result.error = std::string(row->name) + " takes no value";
        return result;
      }
      row->setFlag(result.options);
      continue;
    }
    std::string_view value;
    if (inlineValue) {
      value = *inlineValue;
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      result.error = std::string(row->name) + " needs a value";
      return result;
    }
    if (std::string problem = row->takeValue(result.options, value); !problem.empty()) {
      result.error = std::string(row->name) + ": " + problem;
      return result;
    }
  }
  if (std::string problem = checkOptions(result.options); !problem.empty()) result.error = problem;
  return result;
}

int runCommandLine(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const ParsedCommandLine parsed = parseCommandLine(args);
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "lk24-devsim: %s (see --help)\n", parsed.error.c_str());
    return 2;
  }
  if (parsed.help) {
    std::fputs(usageText(), stdout);
    return 0;
  }
  // An image file that does not load is a bad value like any other.
  if (parsed.options.imageFile) {
    const ImageLoad load = loadImageFile(*parsed.options.imageFile);
    if (!load.image) {
      std::fprintf(stderr, "lk24-devsim: --image %s\n", load.error.c_str());
      return 2;
    }
  }

  // Blocked before the serving thread starts, so it inherits the mask and
  // only sigwait below sees the signals.
  sigset_t endSignals;
  sigemptyset(&endSignals);
  sigaddset(&endSignals, SIGINT);
  sigaddset(&endSignals, SIGTERM);
  sigaddset(&endSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);

  DeviceSimulator device(parsed.options);
  std::string error;
  if (!device.start(&error)) {
    std::fprintf(stderr, "lk24-devsim: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", device.slavePath().c_str());
  std::fflush(stdout);
  const auto image = device.eeprom();
  const int type = image[addr::kDeviceType];
  const bool transmitter = type == 10;
  const int serialAt = transmitter ? addr::kTransmitterSerialHigh : addr::kReceiverSerialHigh;
  std::fprintf(stderr, "lk24-devsim: %s (type %d), serial %05d, firmware %d.%02d on %s; Ctrl+C ends it\n",
               transmitter ? "transmitter" : type == 20 ? "receiver" : "unknown device", type,
               image[serialAt] * 256 + image[serialAt + 1], image[addr::kFirmwareMajor],
               image[addr::kFirmwareMinor], device.slavePath().c_str());

  int signal = 0;
  sigwait(&endSignals, &signal);
  device.stop();
  if (const std::string failure = device.lastError(); !failure.empty()) {
    std::fprintf(stderr, "lk24-devsim: %s\n", failure.c_str());
    return 1;
  }
  return 0;
}

}  // namespace lk24::devsim
