// Every file one command touches, checked together before anything is
// written: the outputs (the trace among them) against each other and
// against every input and the module, by name once links are followed and
// by file identity (device and index), in one pass over the names and one
// over the files. Nothing compares every pair, so a batch costs the same
// per file at any size.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace plughost {

struct CommandFiles {
  std::vector<std::string> inputs;
  std::vector<std::string> outputs;  // outputs[i] is written from inputs[i]
  std::string trace;                 // "" for none
  std::string module;                // the module file the command loads
  std::vector<std::string> locked;   // files the command locks to rewrite them
};

// False with one sentence naming the files and the clash; also when one of
// them has a name the gate gives its own files: a temporary file's
// (".plughost-..."), or the lock of a file the command locks. The outputs of
// a folder that receives many are found missing by one listing of it, not
// each looked at; those found missing are remembered, and trusted until
// they are written (TakeCheckedMissing).
bool CheckCommandFiles(const CommandFiles& files, std::string* error);

// Files and folders with the gate's own names (".plughost-...") in a folder
// a command writes in: left by a run that was killed, or made by one still
// going.
struct Leftovers {
  std::string folder;  // as the command's paths name it; "" the current one
  size_t count = 0;
  std::string first;   // the first name listed
};
// Each folder of `folders` that holds any, listed once.
std::vector<Leftovers> FindLeftovers(const std::vector<std::string>& folders);

// True once for an output (spelled as the check was given it) that the
// check found missing: its new file may be begun without looking again.
bool TakeCheckedMissing(const std::string& output);

}  // namespace plughost
