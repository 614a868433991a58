#include "plughost/images/byte_source.h"

#include <algorithm>
#include <cstring>

namespace plughost {

namespace {

constexpr size_t kStreamBuffer = size_t{64} << 10;

}  // namespace

bool ByteSource::ReadExact(uint64_t at, uint8_t* into, size_t count) const {
  return ReadAt(at, into, count) == int64_t(count);
}

int64_t MemoryBytes::ReadAt(uint64_t at, uint8_t* into, size_t count) const {
  if (at >= size_) return 0;
  const size_t n = std::min(count, size_t(size_ - at));
  if (n > 0) std::memcpy(into, bytes_ + at, n);
  return int64_t(n);
}

// The buffer holds the bytes from bufferStart_ on; refilled at at_.
bool ByteStream::Fill() {
  if (at_ >= bufferStart_ && at_ - bufferStart_ < buffer_.size()) return true;
  if (failed_ || at_ >= source_.size()) return false;
  buffer_.resize(kStreamBuffer);
  const int64_t got = source_.ReadAt(at_, buffer_.data(), buffer_.size());
  if (got <= 0) {
    failed_ = got < 0;
    buffer_.clear();
    return false;
  }
  buffer_.resize(size_t(got));
  bufferStart_ = at_;
  return true;
}

bool ByteStream::Peek(uint8_t* byte) {
  if (!Fill()) return false;
  *byte = buffer_[size_t(at_ - bufferStart_)];
  return true;
}

bool ByteStream::Next(uint8_t* byte) {
  if (!Peek(byte)) return false;
  ++at_;
  return true;
}

size_t ByteStream::Take(uint8_t* into, size_t count) {
  size_t done = 0;
  while (done < count && Fill()) {
    const size_t start = size_t(at_ - bufferStart_);
    const size_t n = std::min(count - done, buffer_.size() - start);
    std::memcpy(into + done, buffer_.data() + start, n);
    done += n;
    at_ += n;
  }
  return done;
}

}  // namespace plughost
