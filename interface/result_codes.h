// Result codes a module answers through the host's 16-bit result, in one
// place with their meanings, so a host, a log line and a test say the same.
#pragma once

#include <cstdint>

enum ResultCode : int16_t {
  kNoError = 0,
  kReadError = -19,
  kWriteError = -20,
  kDiskFull = -34,
  kEndOfFile = -39,
  kOutOfMemory = -108,
  kUserCancelled = -128,
  kParameterMissing = -1715,
  kBadParameters = -30500,
  kCannotReadFile = -30501,
};

// The meaning of a code in words; "unknown result" for codes not listed.
inline const char* ResultMeaning(int code) {
  switch (code) {
    case kNoError: return "success";
    case kReadError: return "file read failed";
    case kWriteError: return "file write failed";
    case kDiskFull: return "disk full";
    case kEndOfFile: return "end of file";
    case kOutOfMemory: return "out of memory, or the buffer or resource suite is unusable";
    case kUserCancelled: return "user cancelled: a suite warning has been shown";
    case kParameterMissing: return "scripting parameter missing";
    case kBadParameters: return "bad parameters: selector out of range";
    case kCannotReadFile: return "file cannot be read: not a palette file";
    default: return "unknown result";
  }
}
