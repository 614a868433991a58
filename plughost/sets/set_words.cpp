#include "plughost/sets/set_words.h"

namespace plughost {

namespace {

std::string N(uint64_t n) { return std::to_string(n); }
std::string N(int n) { return std::to_string(n); }

std::string Size(int width, int height) { return N(width) + " x " + N(height) + " pixels"; }

std::string MiB(uint64_t bytes) { return N(bytes >> 20) + " MiB"; }

std::string PaletteWhy(const GroupColoursRefusal& refusal) {
  if (refusal.fault == GroupColoursFault::kCut)
    return "is cut: its first group's colours take " + N(refusal.needed) + " bytes and it has " +
           N(refusal.size);
  switch (refusal.form) {
    case FormFault::kFewBytes:
      return "is no palette: it has fewer than 4 bytes";
    case FormFault::kHeaderCut:
      return "is cut: it stops inside its 32-byte header";
    case FormFault::kMark:
      return "is a KiSS file but not a palette: its file mark is not 16";
    case FormFault::kDepth:
      return "is a palette whose colours are neither 12 nor 24 bits";
    case FormFault::kNoColours:
      return "is a palette whose header gives no colours";
    case FormFault::kNone:
      break;
  }
  return "cannot be read as a palette";
}

std::string Names(const std::vector<std::string>& names) {
  std::string all;
  for (const std::string& name : names) all += (all.empty() ? "" : ", ") + name;
  return all;
}

std::string AtLine(int line) { return line > 0 ? " at line " + N(line) : ""; }

}  // namespace

std::string CelRefusalWords(const std::string& name, const CelRefusal& r) {
  switch (r.fault) {
    case CelFault::kFewBytes:
      return name + " is cut: a cel's header takes " + N(r.needed) + " bytes and it has " +
             N(r.size);
    case CelFault::kMark:
      return name + " is a KiSS file of mark " + N(r.mark) + ", not a cel";
    case CelFault::kBits:
      return name + " is a cel of " + N(r.bits) +
             " bits a pixel, which plughost does not read (it reads 4, 8 and 32)";
    case CelFault::kNoPixels:
      return name + " is a cel of " + Size(r.width, r.height) + ": it has no pixels";
    case CelFault::kTooLarge:
      return name + " is a cel of " + Size(r.width, r.height) + ", more than the " +
             N(kMaxCelSide) + " a side and " + N(uint64_t(kMaxCelPixels)) +
             " pixels plughost reads";
    case CelFault::kCut:
      return name + " is cut: its " + Size(r.width, r.height) + " at " + N(r.bits) + " bits take " +
             N(r.needed) + " bytes and it has " + N(r.size);
    case CelFault::kNone:
      break;
  }
  return name + " is a cel";
}

std::string ArchiveRefusalWords(const std::string& name, const ArchiveRefusal& r) {
  switch (r.fault) {
    case ArchiveFault::kHeader:
      if (r.index == 0)
        return name +
               " is damaged or no LHA archive: the header of its first member, at byte 0, "
               "cannot be read";
      return name + " is damaged: the header of its member " + N(uint64_t(r.index) + 1) +
             (r.after.empty() ? "" : ", after " + r.after) + ", at byte " + N(r.offset) +
             ", cannot be read";
    case ArchiveFault::kMemberTooLarge:
      return name + " holds " + r.member + " of " + N(r.size) + " bytes, more than the " +
             MiB(r.limit) + " plughost unpacks of a member";
    case ArchiveFault::kTooManyMembers:
      return name + " holds more than the " + N(r.limit) + " members plughost unpacks";
    case ArchiveFault::kTooLarge:
      return name + " unpacks to more than the " + MiB(r.limit) + " plughost unpacks of an archive";
    case ArchiveFault::kDamaged:
      return name + " is damaged: its member " + r.member +
             " does not unpack to the bytes its header's check sum gives";
    case ArchiveFault::kCut:
      return name + " is damaged: its member " + r.member + " unpacks to " + N(r.size) +
             " bytes of the " + N(r.limit) + " its header gives";
    case ArchiveFault::kRead:
      return name + " could not be read to its end";
    case ArchiveFault::kNone:
      break;
  }
  return name + " is an archive";
}

std::string SetRefusalWords(const std::string& name, const SetRefusal& r) {
  // A cel opened on its own is its own name.
  const std::string in = r.file == name ? name : r.file + " in " + name;
  switch (r.fault) {
    case SetFault::kOpen:
      return r.error;
    case SetFault::kArchive:
      return ArchiveRefusalWords(name, r.archive);
    case SetFault::kNoConfiguration:
      return name + " holds no configuration (a .cnf file): it is no KiSS set";
    case SetFault::kNoSuchConfiguration:
      return name + " holds no configuration named " + r.file + " (it holds " +
             Names(r.configurations) + ")";
    case SetFault::kConfigurationTooLarge:
      return in + " is more than the " + MiB(kMaxConfigurationBytes) +
             " plughost reads of a configuration";
    case SetFault::kMissing:
      return name + " names " + r.file + AtLine(r.line) +
             " of its configuration, and does not hold it";
    case SetFault::kNoPalette:
      return name + " gives the cel " + r.file + AtLine(r.line) + " palette " + N(r.index) +
             ", but its configuration lists " + N(r.count) +
             (r.count == 1 ? " palette" : " palettes");
    case SetFault::kCel:
      return CelRefusalWords(in, r.cel);
    case SetFault::kPalette:
      return in + " " + PaletteWhy(r.palette);
    case SetFault::kNone:
      break;
  }
  return name + " is a set";
}

std::string ConfigurationNoteWords(const std::string& name, const CnfNote& note) {
  const std::string line = name + ", line " + N(note.line) + ", is passed over: ";
  switch (note.fault) {
    case CnfFault::kCel:
      return line + "a cel's line is \"#object[.fix] file.cel [*palette] [:sets]\"";
    case CnfFault::kObject:
      return line + "object numbers run from 0 to " + N(kMaxObjects - 1);
    case CnfFault::kPalette:
      return line + "a palette's line is \"%file.kcf\", at most " + N(uint64_t(kMaxPaletteLines)) +
             " of them";
    case CnfFault::kSet:
      return line +
             "a set's line is \"$group x,y ...\", with \"*\" for an object the set leaves out";
    case CnfFault::kExtraSet:
      return line + "a configuration has 10 sets, 0 to 9";
    case CnfFault::kEnvelope:
      return line + "the envelope's line is \"(width,height)\", each from 1 to " +
             N(kMaxEnvelopeSide);
    case CnfFault::kBorder:
      return line + "the border's line is \"[index\", a colour index from 0 to 255";
    case CnfFault::kTooManyCels:
      return line + "plughost reads at most " + N(uint64_t(kMaxCelLines)) + " cels";
    case CnfFault::kTooLarge:
      return name + " is passed over whole: it is more than the " + MiB(kMaxConfigurationBytes) +
             " plughost reads of a configuration";
  }
  return line;
}

}  // namespace plughost
