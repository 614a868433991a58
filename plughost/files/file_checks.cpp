#include "plughost/files/file_checks.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

#include "plughost/system/system.h"

namespace plughost {

std::string FolderOf(const std::string& path) { return sys::FolderPart(path); }

std::string NameOf(const std::string& path) { return sys::NamePart(path); }

namespace {

// An absolute path with no "." or ".." and no doubled separator: already
// what lexically_normal would make of it (natively, where case counts).
bool PlainAbsolute(const std::string& path) {
  if (std::string(sys::PathSeparators()).size() > 1 || path.empty() || path[0] != '/') return false;
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] != '/') continue;
    const size_t next = path.find('/', i + 1);
    const std::string_view part(path.data() + i + 1, (next == std::string::npos ? path.size() : next) - i - 1);
    if ((part.empty() && next != std::string::npos) || part == "." || part == "..") return false;
  }
  return true;
}

}  // namespace

std::string PathKey(const std::string& path) {
  // Most keys are of names whose folders were followed already.
  if (PlainAbsolute(path)) return path;
  std::error_code ignored;
  std::filesystem::path p = std::filesystem::absolute(path, ignored);
  if (p.empty()) p = path;
  std::string key = p.lexically_normal().make_preferred().string();
  // Names that differ only in case are one file where the system says so.
  if (std::string(sys::PathSeparators()).size() > 1)
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

namespace {

// Our words for the errors a user meets; empty for the rest.
std::string OurWords(int error) {
  switch (error) {
    case ENOENT:
      return "no such file or folder";
    case ENOTDIR:
      return "a part of its path is not a folder";
    case EACCES:
    case EPERM:
      return "permission denied";
    case ENOSPC:
      return "the disk is full";
#ifdef EDQUOT
    case EDQUOT:
      return "the disk quota is used up";
#endif
    case EROFS:
      return "the file system is read-only";
    case ENAMETOOLONG:
      return "the name is too long";
    case EISDIR:
      return "it is a directory";
    case ELOOP:
      return "too many symbolic links";
    case EIO:
      return "the disk could not be read or written";
    case EMFILE:
    case ENFILE:
      return "too many files are open";
    case EFBIG:
      return "the file would be too large";
    case EPIPE:
      return "the reader has gone (a closed pipe)";
    case EBUSY:
      return "another program has the file open";
    case ENOEXEC:
      return "it is not a program or library this system can load";
    default:
      return "";
  }
}

}  // namespace

std::string ErrnoText(int error) {
  const std::string ours = OurWords(error);
  if (!ours.empty()) return ours;
  std::string words = std::generic_category().message(error);
  if (!words.empty()) words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
  return words;
}

std::string ReasonText(int error) {
  const std::string ours = OurWords(sys::AsErrno(error));
  return ours.empty() ? sys::SystemWords(error) : ours;
}

bool IsHostFailure(int error) {
  switch (sys::AsErrno(error)) {
    case ENOSPC:
    case EIO:
    case EROFS:
    case ENOENT:
    case ENOTDIR:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return true;
    default:
      return false;
  }
}

int LastSystemError() { return sys::LastError(); }

FileStatus StatusOf(const std::string& path, KnownFolders* folders) {
  return sys::StatusOf(path, folders != nullptr ? folders->volumes() : nullptr);
}

// A folder not made yet is named as it will be once made (folders are
// made as folders, not links): its parent's real name and its own.
std::string KnownFolders::Follow(const std::string& folder) {
  std::string real;
  if (sys::RealFolder(folder, &real)) return real;
  if (folder.empty()) return folder;
  const std::string bare = folder.substr(0, folder.size() - 1);  // without its separator
  // A root, or a drive ("C:") that is not there: nothing above to follow.
  if (NameOf(bare).empty() || NameOf(bare).find(':') != std::string::npos) return folder;
  return RealName(FolderOf(bare)) + NameOf(bare) + folder.back();
}

std::string KnownFolders::RealName(const std::string& folder) {
  const auto found = real_.find(folder);
  if (found != real_.end()) return found->second;
  std::string real = Follow(folder);
  return real_.emplace(folder, std::move(real)).first->second;
}

// Links in the folders too, so that two names of one file not made yet meet
// ("dir/x.png" and "link/x.png" when link leads to dir).
std::string FollowLinks(const std::string& path, bool* nameChanged, KnownFolders* folders) {
  const std::string followed = sys::FollowLinks(path);
  if (nameChanged != nullptr) *nameChanged = followed != path;
  KnownFolders asked;
  return (folders != nullptr ? *folders : asked).RealName(FolderOf(followed)) + NameOf(followed);
}

std::string FollowFolderLinks(const std::string& path, KnownFolders* folders) {
  KnownFolders asked;
  return (folders != nullptr ? *folders : asked).RealName(FolderOf(path)) + NameOf(path);
}

std::string Refusal(const std::string& name, const FileStatus& status) {
  switch (status.type) {
    case FileType::kRegular:
      return "";
    case FileType::kDirectory:
      return name + " is a directory";
    case FileType::kOther:
      return name + " is not a regular file";
    case FileType::kMissing:
    case FileType::kUnreachable:
      break;
  }
  return name + ": " + ReasonText(status.error);
}

namespace {

// How many bytes the UTF-8 sequence at `at` takes, or 0 when it is none.
size_t Utf8Length(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(at);
  const size_t length = first >= 0xF0 && first <= 0xF4 ? 4 : first >= 0xE0 ? 3 : first >= 0xC2 ? 2 : 0;
  if (length == 0 || first > 0xF4 || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  // No overlong forms, surrogates or code points past U+10FFFF.
  const unsigned char second = byte(at + 1);
  if ((first == 0xE0 && second < 0xA0) || (first == 0xED && second >= 0xA0) ||
      (first == 0xF0 && second < 0x90) || (first == 0xF4 && second >= 0x90))
    return 0;
  return length;
}

// U+200E, U+200F, U+202A to U+202E and U+2066 to U+2069, at `at`.
bool Bidirectional(const std::string& text, size_t at, size_t length) {
  if (length != 3 || static_cast<unsigned char>(text[at]) != 0xE2) return false;
  const auto second = static_cast<unsigned char>(text[at + 1]);
  const auto third = static_cast<unsigned char>(text[at + 2]);
  return (second == 0x80 && (third == 0x8E || third == 0x8F || (third >= 0xAA && third <= 0xAE))) ||
         (second == 0x81 && third >= 0xA6 && third <= 0xA9);
}

std::string Escaped(unsigned char c) {
  switch (c) {
    case '\a': return "\\a";
    case '\b': return "\\b";
    case '\t': return "\\t";
    case '\n': return "\\n";
    case '\v': return "\\v";
    case '\f': return "\\f";
    case '\r': return "\\r";
    default: break;
  }
  const char digits[] = {'\\', char('0' + (c >> 6)), char('0' + ((c >> 3) & 7)), char('0' + (c & 7)), 0};
  return digits;
}

}  // namespace

std::string Printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += char(c);
      ++i;
      continue;
    }
    const size_t length = c >= 0x80 ? Utf8Length(text, i) : 0;
    // C1 controls (U+0080 to U+009F) drive terminals too, and the
    // bidirectional ones reorder what follows them on the line.
    const bool c1 = length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    const bool control = c1 || Bidirectional(text, i, length);
    if (length > 0 && !control) {
      out.append(text, i, length);
      i += length;
      continue;
    }
    const size_t escaped = control ? length : 1;
    for (size_t k = 0; k < escaped; ++k) out += Escaped(static_cast<unsigned char>(text[i + k]));
    i += escaped;
  }
  return out;
}

std::string Counted(int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace plughost
