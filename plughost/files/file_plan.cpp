#include "plughost/files/file_plan.h"

#include <unordered_map>

#include "plughost/files/file_checks.h"
#include "plughost/files/system.h"

namespace plughost {

namespace {

constexpr const char* kOutput = "the output";

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
bool AddIdentity(ByIdentity* files, const std::string& path, const Role& role, std::string* error) {
  const FileStatus s = StatusOf(path);
  if (s.type != FileType::kRegular) return true;
  const auto added = files->emplace(s.id, role);
  if (added.second || !role.written) return true;
  *error = Clash(role, added.first->second);
  return false;
}

// An output's name with links followed; false for a link to nothing, or a
// name another output has.
bool AddName(const CommandFiles& files, ByName* names, const std::string& path, const Role& role,
             std::string* error) {
  bool nameChanged = false;
  const std::string followed = FollowLinks(path, &nameChanged);
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

bool CheckNames(const CommandFiles& files, std::string* error) {
  ByName names;
  for (size_t i = 0; i < files.outputs.size(); ++i) {
    if (!AddName(files, &names, files.outputs[i], {&files.outputs[i], kOutput, i, true}, error))
      return false;
  }
  return files.trace.empty() ||
         AddName(files, &names, files.trace, {&files.trace, "the trace", 0, true}, error);
}

bool CheckIdentities(const CommandFiles& files, std::string* error) {
  ByIdentity ids;
  for (size_t i = 0; i < files.inputs.size(); ++i)
    AddIdentity(&ids, files.inputs[i], {&files.inputs[i], "the input", i, false}, error);
  if (!files.module.empty())
    AddIdentity(&ids, files.module, {&files.module, "the module", 0, false}, error);
  for (size_t i = 0; i < files.outputs.size(); ++i) {
    if (!AddIdentity(&ids, files.outputs[i], {&files.outputs[i], kOutput, i, true}, error))
      return false;
  }
  return files.trace.empty() ||
         AddIdentity(&ids, files.trace, {&files.trace, "the trace", 0, true}, error);
}

}  // namespace

bool CheckCommandFiles(const CommandFiles& files, std::string* error) {
  return CheckNames(files, error) && CheckIdentities(files, error);
}

}  // namespace plughost
