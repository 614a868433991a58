// A KiSS set opened whole: its configuration, every cel and palette it
// names, read from an LHA archive or from the folder of a .cnf file, each
// file through the files gate. A set opens whole or not at all: a cel or
// palette it names and does not hold, or one that cannot be read, refuses
// it, with the file's name and the reason as fields for a sentence.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kiss/cel.h"
#include "kiss/configuration.h"
#include "kiss/group_colours.h"
#include "plughost/images/byte_source.h"
#include "plughost/sets/lha_archive.h"

namespace plughost {

constexpr char kArchiveExtension[] = "lzh";
constexpr char kConfigurationExtension[] = "cnf";
constexpr char kCelExtension[] = "cel";

struct DollSet {
  std::string configurationName;            // the configuration read
  std::vector<std::string> configurations;  // every one an archive holds, in its order
  Configuration cnf;
  std::vector<Cel> cels;                       // cels[k] is cnf.cels[k]'s file
  std::vector<std::vector<uint8_t>> palettes;  // palettes[k] is cnf.palettes[k]'s bytes
};

enum class SetFault {
  kNone,
  kOpen,                   // a file could not be opened or read: `error`, the gate's sentence
  kArchive,                // the archive refused: `archive`
  kNoConfiguration,        // the archive holds no .cnf
  kNoSuchConfiguration,    // the .cnf asked for is not there: `file`
  kConfigurationTooLarge,  // `file` is more than kMaxConfigurationBytes
  kMissing,                // `file`, named at `line` of the configuration, is not in the set
  kNoPalette,              // the cel at `line` names palette `index`, of `count` listed
  kCel,                    // the cel `file` cannot be read: `cel`
  kPalette,                // the palette `file` cannot be read: `palette`
};

struct SetRefusal {
  SetFault fault = SetFault::kNone;
  std::string file;
  int line = 0;
  int index = 0;
  int count = 0;
  std::string error;
  std::vector<std::string> configurations;  // for kNoSuchConfiguration: those there are
  ArchiveRefusal archive;
  CelRefusal cel;
  GroupColoursRefusal palette;
  explicit operator bool() const { return fault != SetFault::kNone; }
};

// The set in `files` (an archive's members, say), read by the configuration
// named `configuration`, or by the first one there when it is empty.
SetRefusal LoadSet(const std::vector<ArchiveMember>& files, const std::string& configuration,
                   DollSet* set);

// The set an LHA archive holds.
SetRefusal LoadSetFromArchive(const ByteSource& archive, const std::string& configuration,
                              DollSet* set);

// The set at `path`: an LHA archive, or a .cnf file whose cels and palettes
// lie beside it (names matched without regard to case, as KiSS names are).
// Every file is opened and read through the files gate.
SetRefusal OpenSet(const std::string& path, const std::string& configuration, DollSet* set);

// The cel file at `path`, opened and read through the files gate: kOpen
// with the gate's sentence, or kCel with what is wrong with it (`file` is
// `path`).
SetRefusal OpenCel(const std::string& path, Cel* cel);

// True when `name` ends in ".EXTENSION", in any case.
bool HasExtension(const std::string& name, const char* extension);

}  // namespace plughost
