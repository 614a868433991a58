// Bytes where a reader asks for them: from a file opened through the gate,
// or from memory (tests and fuzz targets). Readers take what they need at
// an offset, or byte by byte through a small buffer, so that what they hold
// follows what they decode rather than the file's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plughost/files/input_file.h"

namespace plughost {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t size() const = 0;
  // Up to `count` bytes from `at` into `into`: how many (fewer at the end),
  // or -1 on a read error.
  virtual int64_t ReadAt(uint64_t at, uint8_t* into, size_t count) const = 0;
  // Exactly `count` bytes from `at`, or false.
  bool ReadExact(uint64_t at, uint8_t* into, size_t count) const;
};

// `file` must outlive this.
class FileBytes : public ByteSource {
 public:
  explicit FileBytes(const InputFile& file) : file_(file) {}
  uint64_t size() const override { return file_.size(); }
  int64_t ReadAt(uint64_t at, uint8_t* into, size_t count) const override {
    return file_.ReadAt(at, into, count);
  }

 private:
  const InputFile& file_;
};

// `bytes` must outlive this.
class MemoryBytes : public ByteSource {
 public:
  MemoryBytes(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}
  explicit MemoryBytes(const std::vector<uint8_t>& bytes) : MemoryBytes(bytes.data(), bytes.size()) {}
  uint64_t size() const override { return size_; }
  int64_t ReadAt(uint64_t at, uint8_t* into, size_t count) const override;

 private:
  const uint8_t* bytes_;
  size_t size_;
};

// The source byte by byte from an offset, 64 KiB read at a time.
class ByteStream {
 public:
  explicit ByteStream(const ByteSource& source, uint64_t at = 0) : source_(source), at_(at) {}
  // False at the end of the source or on a read error (then failed()).
  bool Next(uint8_t* byte);
  bool Peek(uint8_t* byte);
  // Up to `count` bytes; how many were there.
  size_t Take(uint8_t* into, size_t count);
  // Past `count` bytes, read or not.
  void Skip(uint64_t count) { at_ += count; }
  uint64_t offset() const { return at_; }
  bool failed() const { return failed_; }

 private:
  bool Fill();
  const ByteSource& source_;
  uint64_t at_;  // of the next byte Next gives
  uint64_t bufferStart_ = 0;
  std::vector<uint8_t> buffer_;
  bool failed_ = false;
};

}  // namespace plughost
