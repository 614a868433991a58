#include "plughost/files/file_plan.h"

#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "plughost/files/atomic_file.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/lock_file.h"
#include "plughost/system/system.h"

namespace plughost {

namespace {

constexpr const char* kOutput = "the output";
// A folder that receives this many outputs is listed once rather than each
// output looked at; a listing stops past a few times that many names.
constexpr size_t kListFrom = 8;
constexpr size_t kListedPerOutput = 4, kListedBesides = 256;

using Indices = std::unordered_set<size_t>;

// A file the command reads or writes, and how to name it in a sentence.
struct Role {
  const std::string* name;
  const char* what;  // "the input", "the module", "the output", "the trace"
  size_t index;      // of an input or an output
  bool written;
};

using ByIdentity = std::unordered_map<FileIdentity, Role, FileIdentityHash>;
using ByName = std::unordered_map<std::string, Role>;

std::string Named(const Role& role) { return std::string(role.what) + " " + *role.name; }

// What a written file would do to another file of the command.
std::string Clash(const Role& written, const Role& other) {
  return Named(written) + (written.what == kOutput ? " would replace " : " would overwrite ") +
         Named(other);
}

// Registers a file that exists; false with the sentence when another of the
// command's files is the same file and one of the two is written.
bool AddIdentity(ByIdentity* files, const FileStatus& s, const Role& role, std::string* error) {
  if (s.type != FileType::kRegular) return true;
  const auto added = files->emplace(s.id, role);
  if (added.second || !role.written) return true;
  *error = Clash(role, added.first->second);
  return false;
}

// An output's name with links followed; false for a link to nothing, or a
// name another output has. A name known missing is no link: only its
// folders' links are followed.
bool AddName(const CommandFiles& files, ByName* names, KnownFolders* folders, const std::string& path,
             const Role& role, bool knownMissing, std::string* error) {
  bool nameChanged = false;
  const std::string followed = knownMissing ? FollowFolderLinks(path, folders)
                                            : FollowLinks(path, &nameChanged, folders);
  if (nameChanged && sys::IsLink(path) && StatusOf(followed).type == FileType::kMissing) {
    *error = Named(role) + " is a symbolic link to a missing file; not writing through it";
    return false;
  }
  const auto added = names->emplace(PathKey(followed), role);
  if (added.second) return true;
  const Role& other = added.first->second;
  if (role.what == kOutput && other.what == kOutput) {
    *error = files.inputs[other.index] + " and " + files.inputs[role.index] +
             " would both be written to " + path;
  } else {
    *error = Clash(role, other);
  }
  return false;
}

// A name folded for a folder that ignores case; empty for a name with bytes
// past ASCII, whose other spellings a listing cannot rule out.
std::string Folded(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (static_cast<unsigned char>(c) >= 0x80) return "";
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

// The outputs a listing of their folder shows missing, in no spelling of
// their name at all, so that a folder that ignores case hides nothing.
Indices MissingByListing(const CommandFiles& files) {
  std::unordered_map<std::string, std::vector<size_t>> byFolder;
  for (size_t i = 0; i < files.outputs.size(); ++i) byFolder[FolderOf(files.outputs[i])].push_back(i);
  Indices missing;
  for (const auto& [folder, outputs] : byFolder) {
    std::vector<std::string> listed;
    if (outputs.size() < kListFrom ||
        !sys::ListFolder(folder, outputs.size() * kListedPerOutput + kListedBesides, &listed)) {
      continue;
    }
    std::unordered_set<std::string> present;
    for (const std::string& name : listed) present.insert(Folded(name));
    for (size_t i : outputs) {
      const std::string name = Folded(NameOf(files.outputs[i]));
      if (!name.empty() && present.count(name) == 0) missing.insert(i);
    }
  }
  return missing;
}

bool CheckNames(const CommandFiles& files, const Indices& missing, KnownFolders* folders,
                std::string* error) {
  ByName names;
  for (size_t i = 0; i < files.outputs.size(); ++i) {
    const Role role{&files.outputs[i], kOutput, i, true};
    if (!AddName(files, &names, folders, files.outputs[i], role, missing.count(i) != 0, error))
      return false;
  }
  const Role trace{&files.trace, "the trace", 0, true};
  return files.trace.empty() || AddName(files, &names, folders, files.trace, trace, false, error);
}

// The written files, each looked at once. With none there yet, nothing
// read can be one of them, and the inputs need not be looked at.
bool CheckIdentities(const CommandFiles& files, const Indices& missing, KnownFolders* folders,
                     std::string* error) {
  std::vector<std::pair<size_t, FileStatus>> outputs;  // those there already
  for (size_t i = 0; i < files.outputs.size(); ++i) {
    if (missing.count(i) != 0) continue;
    FileStatus s = StatusOf(files.outputs[i], folders);
    if (s.type != FileType::kMissing) outputs.emplace_back(i, std::move(s));
  }
  const FileStatus trace = files.trace.empty() ? FileStatus{} : StatusOf(files.trace, folders);
  if (outputs.empty() && trace.type == FileType::kMissing) return true;
  ByIdentity ids;
  for (size_t i = 0; i < files.inputs.size(); ++i)
    AddIdentity(&ids, StatusOf(files.inputs[i], folders), {&files.inputs[i], "the input", i, false}, error);
  if (!files.module.empty())
    AddIdentity(&ids, StatusOf(files.module, folders), {&files.module, "the module", 0, false}, error);
  for (const auto& [i, s] : outputs) {
    if (!AddIdentity(&ids, s, {&files.outputs[i], kOutput, i, true}, error)) return false;
  }
  return AddIdentity(&ids, trace, {&files.trace, "the trace", 0, true}, error);
}

// A file of the command may not have a name the gate gives its own files:
// written, it would be taken for one of them, and removed or kept as one.
bool GateName(const std::string& path, const std::unordered_set<std::string>& locks,
              KnownFolders* folders, std::string* error) {
  if (NameOf(path).rfind(sys::kTemporaryPrefix, 0) == 0) {
    *error = path + " has the name of a temporary file of plughost's (" + sys::kTemporaryPrefix +
             "...); give the file another name";
    return false;
  }
  if (locks.empty() || locks.count(PathKey(FollowLinks(path, nullptr, folders))) == 0) return true;
  *error = path + " is the name of the lock plughost takes while it rewrites a file; give the "
           "file another name";
  return false;
}

bool CheckGateNames(const CommandFiles& files, KnownFolders* folders, std::string* error) {
  std::unordered_set<std::string> locks;
  for (const std::string& locked : files.locked) locks.insert(PathKey(LockNameOf(locked)));
  for (const std::vector<std::string>* list : {&files.inputs, &files.outputs}) {
    for (const std::string& path : *list)
      if (!GateName(path, locks, folders, error)) return false;
  }
  return files.trace.empty() || GateName(files.trace, locks, folders, error);
}

}  // namespace

bool CheckCommandFiles(const CommandFiles& files, std::string* error, CommitTogether* outputs) {
  KnownFolders asked;
  KnownFolders* folders = outputs != nullptr ? &outputs->folders() : &asked;
  if (!CheckGateNames(files, folders, error)) return false;
  const Indices missing = MissingByListing(files);
  if (!CheckNames(files, missing, folders, error) || !CheckIdentities(files, missing, folders, error))
    return false;
  if (outputs != nullptr) {
    for (size_t i : missing) outputs->TrustMissing(files.outputs[i]);
  }
  return true;
}

std::vector<Leftovers> FindLeftovers(const std::vector<std::string>& folders) {
  // Bounded as every listing is: a folder of more names than this is not
  // looked through to its end.
  constexpr size_t kMostListed = size_t{1} << 20;
  std::vector<Leftovers> found;
  std::unordered_set<std::string> seen;
  for (const std::string& folder : folders) {
    if (!seen.insert(folder).second) continue;
    std::vector<std::string> names;
    sys::ListBeginning(folder, sys::kTemporaryPrefix, kMostListed, &names);
    Leftovers here{folder, 0, ""};
    for (const std::string& name : names) {
      if (here.count++ == 0 || name < here.first) here.first = name;
    }
    if (here.count > 0) found.push_back(std::move(here));
  }
  return found;
}

}  // namespace plughost
