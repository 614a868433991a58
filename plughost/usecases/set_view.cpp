#include "plughost/usecases/set_view.h"

#include "plughost/files/input_file.h"
#include "plughost/sets/set_words.h"

namespace plughost {

namespace {

int Refused(Caller& caller, const std::string& path, const SetRefusal& refusal) {
  caller.Refused(SetRefusalWords(path, refusal));
  return kExitHost;
}

}  // namespace

int UnpackSet(Caller& caller, const std::string& path, SetFiles* files) {
  *files = SetFiles{};
  files->path = path;
  if (HasExtension(path, kConfigurationExtension)) return kExitSuccess;
  InputFile file;
  SetRefusal refusal;
  refusal.fault = SetFault::kOpen;
  refusal.file = path;
  if (!file.Open(path, &refusal.error)) return Refused(caller, path, refusal);
  refusal = SetRefusal{};
  refusal.archive = ReadLhaArchive(FileBytes(file), &files->members);
  if (refusal.archive) {
    refusal.fault = SetFault::kArchive;
    refusal.file = refusal.archive.member;
    return Refused(caller, path, refusal);
  }
  files->unpacked = true;
  return kExitSuccess;
}

int ViewSet(Caller& caller, const SetFiles& files, DollSet* doll) {
  const SetRefusal refusal = files.unpacked ? LoadSet(files.members, "", doll)
                                            : OpenSet(files.path, "", doll);
  if (refusal) return Refused(caller, files.path, refusal);
  for (const CnfNote& note : doll->cnf.notes)
    caller.Note(ConfigurationNoteWords(doll->configurationName, note));
  return kExitSuccess;
}

}  // namespace plughost
