#include "app/UserFolder.h"

#include <string>

#include <shlobj.h>
#include <windows.h>

namespace lk24 {

namespace {

std::wstring documentsFolder() {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_CREATE, nullptr, &path))) folder = path;
  CoTaskMemFree(path);
  return folder;
}

std::wstring programFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L'\\'));
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Copied under another name and renamed without replacing, so that a copy
// cut short never stands as a broken template that is not replaced next
// time, and a user's template that appeared meanwhile is kept.
void copyFactoryTemplate(const std::wstring& folder) {
  const std::wstring target = folder + L"\\LK24.ini";
  const std::wstring shipped = programFolder() + L"\\LK24.ini";
  if (exists(target) || !exists(shipped)) return;
  const std::wstring partial = folder + L"\\LK24.ini.partial";
  if (!CopyFileW(shipped.c_str(), partial.c_str(), FALSE) || !MoveFileExW(partial.c_str(), target.c_str(), 0)) {
    DeleteFileW(partial.c_str());
  }
}

}  // namespace

bool EnterUserFolder() {
  const std::wstring documents = documentsFolder();
  if (documents.empty()) return false;
  const std::wstring folder = documents + L"\\LK24";
  CreateDirectoryW(folder.c_str(), nullptr);  // made now, or there already
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  copyFactoryTemplate(folder);
  return SetCurrentDirectoryW(folder.c_str()) != FALSE;
}

}  // namespace lk24
