#pragma once
// What lk24ctl asks of the operating system beyond the port and plain
// files, one implementation per system (SystemPosix.cpp, SystemWin32.cpp).

#include <ctime>
#include <string>

namespace lk24::cli::sys {

// The folder for the user's data: $XDG_DATA_HOME or ~/.local/share on
// POSIX, %LOCALAPPDATA% on Windows.
std::string dataHome();
// The template a package ships: /usr/share/lk24/LK24.ini (where the package
// puts it) on POSIX, LK24.ini beside lk24ctl.exe on Windows.
std::string packagedTemplate();
// A folder this user may make files in.
bool writableFolder(const std::string& path);
std::string hostName();
// Local time and its distance from UTC in seconds.
std::tm localTime(std::time_t when, long* utcOffsetSeconds);

// The production record: a file opened for appending, each row on disk
// before the next device; the new file's name too. The open never blocks
// (a FIFO without a reader is refused at once); created tells whether the
// file was made by this open.
int openForAppend(const std::string& path, bool* created);
bool isRegularFile(int fd, long long* size);
long long writeSome(int fd, const char* data, unsigned long long size);
// Cuts the file back to size bytes: what a failed write left is taken back.
bool truncateFile(int fd, long long size);
void removeFile(const std::string& path);
bool syncFile(int fd);
void syncFolderOf(const std::string& path);
void closeFile(int fd);

}  // namespace lk24::cli::sys
