// What plughost looks at before it touches a file, as cp does: what the
// file is (only regular files are read or replaced), which file it is (so
// two names of one file are found without comparing every pair), and the
// system's failures told in our own words. What a file holds is for the
// callers above to say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "plughost/system/file_status.h"

namespace plughost {

class KnownFolders;

// Follows symbolic links. `folders` (null: asked afresh) keeps what it
// learns of folders.
FileStatus StatusOf(const std::string& path, KnownFolders* folders = nullptr);

// "NAME is a directory", "NAME is not a regular file", "NAME: no such file",
// "NAME: permission denied"; empty for a regular file.
std::string Refusal(const std::string& name, const FileStatus& status);

// The system's last error, and what it means in words: "permission denied",
// "the disk is full", "no such file or folder" ...
int LastSystemError();
std::string ReasonText(int error);
// Whether the error is the disk's or the file system's rather than one
// file's: full, failing, read-only, or a folder gone from under a file
// being made. A batch stops at the first.
bool IsHostFailure(int error);
// The same for an errno of the C library, on either platform.
std::string ErrnoText(int error);

// What the system says of folders, each asked once: a batch's files share
// a few folders. Their real names, links followed, and (on Windows) their
// volumes. Held by what checks or writes one command's files (the check of
// its files, a batch's commit) and gone with it, so that a later command
// asks again.
class KnownFolders {
 public:
  // `folder` (ending in a separator, "" the current one) with its links
  // followed; for one not made yet, its nearest existing ancestor's
  // followed and the rest as given.
  std::string RealName(const std::string& folder);
  FolderVolumes* volumes() { return &volumes_; }

 private:
  std::string Follow(const std::string& folder);
  std::unordered_map<std::string, std::string> real_;
  FolderVolumes volumes_;
};

// The file a chain of symbolic links ends at, its folders' links followed
// too; a link to a missing file names the file it would make. `nameChanged`,
// when given, tells whether following changed the name itself: a link, or
// on Windows an existing file's final spelling. `folders` (null: asked
// afresh) keeps what it learns of folders.
std::string FollowLinks(const std::string& path, bool* nameChanged = nullptr,
                        KnownFolders* folders = nullptr);

// The path with the links of its folders followed, not of its own name:
// what FollowLinks gives for a name known to be no link.
std::string FollowFolderLinks(const std::string& path, KnownFolders* folders = nullptr);

std::string FolderOf(const std::string& path);  // with its trailing separator
std::string NameOf(const std::string& path);

// `text` safe to print on a terminal or write into a line of a file, as
// coreutils quotes names: control characters (C0, C1 and the
// bidirectional ones) and bytes that are not UTF-8 become backslash
// escapes ("\033", "\r", "\342\200\256"), so that a file named with ESC,
// CR or U+202E cannot drive the terminal or break the line. The name in the
// file system is untouched; only what is printed changes.
std::string Printable(const std::string& text);

// "1 byte", "2 bytes".
std::string Counted(int64_t n, const char* one, const char* many);

// A key under which two spellings of one path that does not exist yet meet:
// "a/./b.png" and "a/b.png", and on Windows "A\B.PNG" too.
std::string PathKey(const std::string& path);

}  // namespace plughost
