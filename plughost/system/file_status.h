// What the system says of a file: its kind, its identity (device and
// index), size, mode and owner. The files wing builds its checks on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

namespace plughost {

enum class FileType { kMissing, kRegular, kDirectory, kOther, kUnreachable };

// A file as the system knows it, by device and index; equal for every name
// (link, relative path, other case on Windows) of one file.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t index = 0;
  bool operator==(const FileIdentity& other) const {
    return device == other.device && index == other.index;
  }
};

struct FileIdentityHash {
  size_t operator()(const FileIdentity& id) const {
    return std::hash<uint64_t>()(id.index * 1000003u ^ id.device);
  }
};

struct FileStatus {
  FileType type = FileType::kMissing;
  FileIdentity id;
  uint64_t size = 0;
  uint32_t mode = 0;  // permission bits (POSIX)
  uint32_t owner = 0, group = 0;
  uint64_t modified = 0;  // when its bytes last changed, in the system's own units
  uint32_t links = 1;     // names it has (hard links), where the system says
  int error = 0;  // why it is missing or unreachable
};

// The volume of each folder a batch's files lie in, asked once: on Windows
// asking a volume for its serial costs as much as the rest of a file's
// status together, and a batch's files share a few folders. Held by what
// checks or writes one command's files and gone with it, so that a later
// command asks again; natively unused, the device coming with the status.
struct FolderVolumes {
  std::unordered_map<std::string, uint32_t> serials;  // by folder, as the path names it
};

}  // namespace plughost
