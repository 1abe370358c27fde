#pragma once
// Windows: the window's working folder when it is started from its
// Start-menu entry. Its installed folder cannot be written by users, so it
// works in the user's Documents folder (wherever and in whatever language
// Windows keeps it), subfolder LK24: made on the first start, with the
// installed factory LK24.ini copied there while it holds none, and
// Sicherungen beside it. Started by hand the window stays in its folder.

namespace lk24 {

// The argument the Start-menu entry passes.
inline constexpr char kUserFolderArgument[] = "--user-folder";

// Makes Documents\LK24 the current directory; false (and the directory as it
// was) when Windows gives no Documents folder or it cannot be made.
bool EnterUserFolder();

}  // namespace lk24
