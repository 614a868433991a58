// What the system says of a file: its kind, its identity (device and
// index), size, mode and owner. The files wing builds its checks on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

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

}  // namespace plughost
