// What the set readers found, in words: each refusal and note as one
// sentence naming the file, made from the fault's fields. Callers show
// these; decisions are taken on the faults, never on the sentences.
#pragma once

#include <string>

#include "kiss/cel.h"
#include "kiss/configuration.h"
#include "plughost/sets/doll_set.h"
#include "plughost/sets/lha_archive.h"

namespace plughost {

// "acc3.cel is cut: its 40 x 60 pixels at 8 bits take 2432 bytes and it has 1000".
std::string CelRefusalWords(const std::string& name, const CelRefusal& refusal);

// "arwen.lzh is damaged: ...", naming the member where it can.
std::string ArchiveRefusalWords(const std::string& name, const ArchiveRefusal& refusal);

// The set at `name` (an archive or a configuration) refused.
std::string SetRefusalWords(const std::string& name, const SetRefusal& refusal);

// "kayla.cnf, line 12, is passed over: ...".
std::string ConfigurationNoteWords(const std::string& name, const CnfNote& note);

}  // namespace plughost
