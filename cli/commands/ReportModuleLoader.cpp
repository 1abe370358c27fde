#include "cli/commands/ReportModuleLoader.h"

#include "model/Utf8Path.h"
#include "report/ReportModuleEntry.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace lk24::cli {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kReasonSize = 2048;

// The one place that differs between the systems: open the module, find
// its entry, and say why not.
#ifdef _WIN32
fs::path programPath() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) return fs::path(name.substr(0, length));
    name.resize(name.size() * 2);
  }
}

// Windows' own text of the last error, in UTF-8 like every message here.
std::string lastError() {
  const DWORD code = GetLastError();
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide = length ? std::wstring(text, length) : std::wstring();
  LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' ')) wide.pop_back();
  const std::u8string utf8 = fs::path(wide).u8string();
  return std::string(utf8.begin(), utf8.end()) + " (Fehler " + std::to_string(code) + ")";
}

// The module's own folder is searched for the DLLs it needs (Qt beside it),
// never the current folder.
Lk24ReportWritePdf openEntry(const fs::path& module, std::string* why) {
  HMODULE handle = LoadLibraryExW(module.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (handle == nullptr) {
    *why = lastError();
    return nullptr;
  }
  const auto entry = reinterpret_cast<Lk24ReportWritePdf>(
      reinterpret_cast<void*>(GetProcAddress(handle, LK24_REPORT_ENTRY_NAME)));
  if (entry == nullptr) *why = lastError();
  return entry;
}
#else
fs::path programPath() {
  std::error_code ignored;
  return fs::read_symlink("/proc/self/exe", ignored);
}

Lk24ReportWritePdf openEntry(const fs::path& module, std::string* why) {
  void* handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    *why = ::dlerror();
    return nullptr;
  }
  const auto entry = reinterpret_cast<Lk24ReportWritePdf>(::dlsym(handle, LK24_REPORT_ENTRY_NAME));
  if (entry == nullptr) *why = ::dlerror();
  return entry;
}
#endif

std::string quoted(const fs::path& path) { return "\"" + utf8Name(path) + "\""; }

}  // namespace

std::vector<fs::path> reportModulePlaces() {
  std::vector<fs::path> places;
  if (const fs::path program = programPath(); !program.empty()) {
    places.push_back(program.parent_path() / LK24_REPORT_MODULE_FILE);
  }
#ifdef LK24_REPORT_MODULE_DIR
  places.push_back(fs::path(LK24_REPORT_MODULE_DIR) / LK24_REPORT_MODULE_FILE);
#endif
  return places;
}

ReportWriter loadReportModule(std::string* why) {
  const std::vector<fs::path> places = reportModulePlaces();
  const fs::path* module = nullptr;
  std::string searched;
  for (const fs::path& place : places) {
    std::error_code ignored;
    if (fs::is_regular_file(place, ignored)) {
      module = &place;
      break;
    }
    searched += (searched.empty() ? "" : ", ") + quoted(place);
  }
  if (module == nullptr) {
    *why = "report: das Berichtsmodul " LK24_REPORT_MODULE_FILE " fehlt (gesucht: " + searched +
           "); ohne es schreibt lk24ctl keine Berichte, alle anderen Befehle arbeiten wie sonst";
    return {};
  }
  std::string reason;
  const Lk24ReportWritePdf entry = openEntry(*module, &reason);
  if (entry == nullptr) {
    *why = "report: das Berichtsmodul " + quoted(*module) + " lässt sich nicht laden: " + reason +
           " (es braucht Qt 6: Core und Gui); alle anderen Befehle arbeiten ohne es";
    return {};
  }
  // Asked without an image, a module of this version refuses the request
  // and one of another version says so, before any device is read.
  char refusal[kReasonSize] = {};
  if (entry(LK24_REPORT_MODULE_VERSION, nullptr, 0, "", nullptr, refusal, sizeof refusal) != kLk24ReportNotWritten) {
    *why = "report: das Berichtsmodul " + quoted(*module) + " gehört zu einer anderen Version von lk24ctl: " +
           refusal;
    return {};
  }
  return [entry](const Table& image, const std::string& source, const std::string& path, std::string* error) {
    char reason[kReasonSize] = {};
    const int result = entry(LK24_REPORT_MODULE_VERSION, image.data(), image.size(), source.c_str(), path.c_str(),
                             reason, sizeof reason);
    if (result != kLk24ReportWritten) *error = reason;
    return result == kLk24ReportWritten;
  };
}

}  // namespace lk24::cli
