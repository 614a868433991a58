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

class CommitTogether;

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
// each looked at; those found missing are handed to `outputs` (the
// commit the outputs will be written with), which trusts them until they are
// written. Without it, nothing is remembered.
bool CheckCommandFiles(const CommandFiles& files, std::string* error,
                       CommitTogether* outputs = nullptr);

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

}  // namespace plughost
