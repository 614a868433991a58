// A file handed to the module to read. Only a regular file is opened (a
// directory, FIFO, device or socket is refused in words before anything is
// read), and the host itself reads no more of it than the first bytes its
// notes need: the module reads what it asks for, and nothing reads the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plughost {

// All that a palette's notes look at: its header and 256 24-bit colours.
constexpr size_t kNoteBytes = 800;
// The most of an image file read into memory for decoding.
constexpr uint64_t kMaxImageFileBytes = uint64_t{1} << 30;

class InputFile {
 public:
  // False with one sentence naming the file and the reason.
  bool Open(const std::string& path, std::string* error);
  void Close();
  ~InputFile() { Close(); }
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  int32_t ref() const { return ref_; }  // for the module's reads
  uint64_t size() const { return size_; }
  // The first `count` bytes, fewer for a shorter file; leaves the position.
  std::vector<uint8_t> Head(size_t count) const;
  // Up to `count` bytes from offset `at` into `into`: how many (fewer at the
  // end of the file), or -1 on a read error. Leaves the position.
  int64_t ReadAt(uint64_t at, uint8_t* into, size_t count) const;
  // How far into the file reading has come.
  uint64_t Position() const;
  // The whole file, for a decoder that needs it whole; refused in words
  // when it is larger than `limit`.
  bool ReadAll(std::vector<uint8_t>* bytes, std::string* error,
               uint64_t limit = kMaxImageFileBytes) const;

 private:
  std::string path_;
  int32_t ref_ = -1;
  uint64_t size_ = 0;
};

}  // namespace plughost
