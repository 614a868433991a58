// What AtomicFile and CommitTogether both ask of a file being put in place.
#pragma once

#include <string>

#include "plughost/files/file_checks.h"

namespace plughost {

// Why the file at `replaced` may not be replaced after all, just before it
// would be: another program changed or swapped it since it was judged
// (`was`, asked with the same `folders`), and what it made is kept. "" for
// one that is as it was, or was not there.
std::string ChangedMeanwhile(const std::string& target, const std::string& replaced,
                             const FileStatus& was, KnownFolders* folders);

// A folder's name without separators at its end.
std::string BareFolder(const std::string& folder);

// A folder as the paths of its files lead to it, the links of the folders
// above followed: "out", "out/" and the folder of "./out//x" meet.
std::string FolderKey(const std::string& folder, KnownFolders* folders);

}  // namespace plughost
