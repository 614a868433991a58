#include "plughost/sets/doll_set.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "plughost/files/input_file.h"

namespace plughost {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
  return text;
}

// A set's files by their names in lower case; the first of a name wins.
class FileIndex {
 public:
  explicit FileIndex(const std::vector<ArchiveMember>& files) {
    for (const ArchiveMember& file : files) byName_.emplace(Lower(file.name), &file);
  }
  const ArchiveMember* Find(const std::string& name) const {
    const auto found = byName_.find(Lower(name));
    return found == byName_.end() ? nullptr : found->second;
  }

 private:
  std::map<std::string, const ArchiveMember*> byName_;
};

SetRefusal Refuse(SetFault fault, const std::string& file, int line = 0) {
  SetRefusal refusal;
  refusal.fault = fault;
  refusal.file = file;
  refusal.line = line;
  return refusal;
}

SetRefusal ReadPalettes(const FileIndex& index, DollSet* set) {
  for (size_t k = 0; k < set->cnf.palettes.size(); ++k) {
    const std::string& name = set->cnf.palettes[k];
    const ArchiveMember* file = index.Find(name);
    if (file == nullptr) return Refuse(SetFault::kMissing, name);
    GroupColours colours;
    SetRefusal refusal = Refuse(SetFault::kPalette, name);
    refusal.palette = ReadGroupColours(file->bytes, 0, &colours);
    if (refusal.palette) return refusal;
    set->palettes.push_back(file->bytes);
  }
  return SetRefusal{};
}

SetRefusal ReadCels(const FileIndex& index, DollSet* set) {
  std::map<std::string, size_t> read;  // a file named twice is read once
  for (const CnfCel& line : set->cnf.cels) {
    if (size_t(line.palette) >= set->cnf.palettes.size()) {
      SetRefusal refusal = Refuse(SetFault::kNoPalette, line.file, line.line);
      refusal.index = line.palette;
      refusal.count = int(set->cnf.palettes.size());
      return refusal;
    }
    const auto before = read.find(Lower(line.file));
    if (before != read.end()) {
      set->cels.push_back(set->cels[before->second]);
      continue;
    }
    const ArchiveMember* file = index.Find(line.file);
    if (file == nullptr) return Refuse(SetFault::kMissing, line.file, line.line);
    SetRefusal refusal = Refuse(SetFault::kCel, line.file, line.line);
    Cel cel;
    refusal.cel = ReadCel(file->bytes, &cel);
    if (refusal.cel) return refusal;
    read.emplace(Lower(line.file), set->cels.size());
    set->cels.push_back(std::move(cel));
  }
  return SetRefusal{};
}

// The names of the folder's files by lower case, for a configuration's
// names to find them.
std::map<std::string, std::string> FolderNames(const std::filesystem::path& folder) {
  std::map<std::string, std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    names.emplace(Lower(it->path().filename().string()), it->path().string());
  }
  return names;
}

SetRefusal ReadWhole(const std::string& path, uint64_t limit, std::vector<uint8_t>* bytes) {
  InputFile file;
  SetRefusal refusal = Refuse(SetFault::kOpen, path);
  if (!file.Open(path, &refusal.error) || !file.ReadAll(bytes, &refusal.error, limit))
    return refusal;
  return SetRefusal{};
}

// The configuration at `path` and every file it names that lies beside it.
SetRefusal OpenConfiguration(const std::string& path, DollSet* set) {
  std::vector<ArchiveMember> files(1);
  files[0].name = std::filesystem::path(path).filename().string();
  SetRefusal refusal = ReadWhole(path, kMaxConfigurationBytes, &files[0].bytes);
  if (refusal) return refusal;
  const Configuration cnf = ReadConfiguration(files[0].bytes);
  const auto names = FolderNames(std::filesystem::path(path).parent_path().empty()
                                     ? std::filesystem::path(".")
                                     : std::filesystem::path(path).parent_path());
  std::vector<std::string> wanted = cnf.palettes;
  for (const CnfCel& cel : cnf.cels) wanted.push_back(cel.file);
  std::map<std::string, bool> taken;
  for (const std::string& name : wanted) {
    const auto found = names.find(Lower(name));
    if (found == names.end() || !taken.emplace(found->first, true).second) continue;
    files.push_back(ArchiveMember{found->first, {}});
    refusal = ReadWhole(found->second, kMaxMemberBytes, &files.back().bytes);
    if (refusal) return refusal;
  }
  return LoadSet(files, files[0].name, set);
}

}  // namespace

bool HasExtension(const std::string& name, const char* extension) {
  const std::string dotted = std::string(".") + extension;
  return name.size() > dotted.size() &&
         Lower(name.substr(name.size() - dotted.size())) == Lower(dotted);
}

SetRefusal LoadSet(const std::vector<ArchiveMember>& files, const std::string& configuration,
                   DollSet* set) {
  *set = DollSet{};
  for (const ArchiveMember& file : files) {
    if (HasExtension(file.name, kConfigurationExtension)) set->configurations.push_back(file.name);
  }
  if (set->configurations.empty()) return Refuse(SetFault::kNoConfiguration, "");
  const FileIndex index(files);
  const ArchiveMember* cnf =
      index.Find(configuration.empty() ? set->configurations[0] : configuration);
  if (cnf == nullptr || !HasExtension(cnf->name, kConfigurationExtension)) {
    SetRefusal refusal = Refuse(SetFault::kNoSuchConfiguration, configuration);
    refusal.configurations = set->configurations;
    return refusal;
  }
  if (cnf->bytes.size() > kMaxConfigurationBytes)
    return Refuse(SetFault::kConfigurationTooLarge, cnf->name);
  set->configurationName = cnf->name;
  set->cnf = ReadConfiguration(cnf->bytes);
  SetRefusal refusal = ReadPalettes(index, set);
  if (!refusal) refusal = ReadCels(index, set);
  if (refusal) {
    const std::vector<std::string> configurations = set->configurations;
    *set = DollSet{};
    set->configurations = configurations;
  }
  return refusal;
}

SetRefusal LoadSetFromArchive(const ByteSource& archive, const std::string& configuration,
                              DollSet* set) {
  std::vector<ArchiveMember> members;
  SetRefusal refusal;
  refusal.archive = ReadLhaArchive(archive, &members);
  if (refusal.archive) {
    refusal.fault = SetFault::kArchive;
    refusal.file = refusal.archive.member;
    *set = DollSet{};
    return refusal;
  }
  return LoadSet(members, configuration, set);
}

SetRefusal OpenCel(const std::string& path, Cel* cel) {
  *cel = Cel{};
  std::vector<uint8_t> bytes;
  SetRefusal refusal = ReadWhole(path, kMaxMemberBytes, &bytes);
  if (refusal) return refusal;
  refusal = Refuse(SetFault::kCel, path);
  refusal.cel = ReadCel(bytes, cel);
  return refusal.cel ? refusal : SetRefusal{};
}

SetRefusal OpenSet(const std::string& path, const std::string& configuration, DollSet* set) {
  *set = DollSet{};
  if (HasExtension(path, kConfigurationExtension)) return OpenConfiguration(path, set);
  InputFile file;
  SetRefusal refusal = Refuse(SetFault::kOpen, path);
  if (!file.Open(path, &refusal.error)) return refusal;
  return LoadSetFromArchive(FileBytes(file), configuration, set);
}

}  // namespace plughost
