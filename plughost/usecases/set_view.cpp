#include "plughost/usecases/set_view.h"

#include "plughost/sets/set_words.h"

namespace plughost {

int ViewSet(Caller& caller, const std::string& path, DollSet* doll) {
  const SetRefusal refusal = OpenSet(path, "", doll);
  if (refusal) {
    caller.Refused(SetRefusalWords(path, refusal));
    return kExitHost;
  }
  for (const CnfNote& note : doll->cnf.notes)
    caller.Note(ConfigurationNoteWords(doll->configurationName, note));
  return kExitSuccess;
}

}  // namespace plughost
