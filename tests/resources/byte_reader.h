// Reads the resource bytes field by field in tests. A read past the end
// fails the test and answers zeros, so one missing field cannot hide others.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>

class ByteReader {
 public:
  ByteReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  size_t offset() const { return at_; }
  size_t remaining() const { return size_ - at_; }

  uint8_t Byte() { return Take(1) ? bytes_[at_ - 1] : 0; }
  uint16_t U16() {
    if (!Take(2)) return 0;
    return uint16_t(bytes_[at_ - 2] | (bytes_[at_ - 1] << 8));
  }
  uint32_t U32() {
    const uint32_t low = U16();
    return low | (uint32_t(U16()) << 16);
  }
  // The four bytes as they stand in the file.
  std::string Chars(size_t count) {
    if (!Take(count)) return std::string();
    return std::string(reinterpret_cast<const char*>(bytes_ + at_ - count), count);
  }
  // A four-character code is stored as a little-endian value: reversed.
  std::string Code() {
    const std::string stored = Chars(4);
    return std::string(stored.rbegin(), stored.rend());
  }
  std::string LengthPrefixed() { return Chars(Byte()); }
  std::string ZeroTerminated() {
    std::string text;
    for (uint8_t c = Byte(); c != 0; c = Byte()) text += char(c);
    return text;
  }

 private:
  bool Take(size_t count) {
    if (count > size_ - at_) {
      ADD_FAILURE() << "read of " << count << " bytes at offset " << at_ << " past the end (" << size_ << ")";
      at_ = size_;
      return false;
    }
    at_ += count;
    return true;
  }

  const uint8_t* bytes_;
  size_t size_;
  size_t at_ = 0;
};
