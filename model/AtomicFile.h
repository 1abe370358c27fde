#pragma once
// Replacing a file so that it is either the old file or the whole new one,
// also after a crash or with the disk full: the data goes into a temporary
// file in the same folder, is flushed to the disk, and only then takes the
// file's name. Names are UTF-8.

#include "model/FileStatus.h"

#include <string>
#include <string_view>

namespace lk24 {

// Writes data to path. A symbolic link is written through (the file it leads
// to is replaced); an existing file keeps its permissions, a new one gets
// the user's default (0666 less the umask). On failure the old file is
// untouched, no temporary file stays, reason (when given) receives the
// system's description of the cause and status (when given) its kind.
// Any thread; no shared state.
bool writeFileAtomically(const std::string& path, std::string_view data, std::string* reason = nullptr,
                         FileWriteStatus* status = nullptr);

// Makes a folder's entries durable after a file was renamed into it. Best
// effort: a folder that cannot be opened is left as it is.
void syncFolder(const std::string& folder);

}  // namespace lk24
