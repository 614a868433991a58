// A path's folder and name, split at this system's separators.
#include "plughost/system/system.h"

namespace plughost::sys {

std::string FolderPart(const std::string& path) {
  const size_t slash = path.find_last_of(PathSeparators());
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NamePart(const std::string& path) {
  const size_t slash = path.find_last_of(PathSeparators());
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace plughost::sys
