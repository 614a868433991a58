#include "plughost/usecases/palette_words.h"

#include <cstdio>

#include "interface/result_codes.h"
#include "plughost/files/file_checks.h"
#include "plughost/images/formats.h"

namespace plughost {

namespace {

// "10 groups (0 to 9)", "1 group (group 0)".
std::string GroupsNumbered(int groups) {
  return Counted(groups, "group", "groups") +
         (groups == 1 ? " (group 0)" : " (0 to " + std::to_string(groups - 1) + ")");
}

std::string MarkText(const PaletteHeader& h) {
  return "its header has file mark " + std::to_string(FileMark(h)) + ", where a palette has " +
         std::to_string(kFileMark);
}

std::string DepthText(const PaletteHeader& h) {
  return "its header gives " + std::to_string(BitsPerColor(h)) +
         " bits per colour, where a palette has 12 or 24";
}

std::string ExplainHeader(const PaletteHead& head) {
  if (!head.signature)
    return "it does not begin with \"KiSS\" (a headerless palette can still be opened)";
  if (!head.whole) return "";
  const PaletteHeader& h = head.header;
  if (FileMark(h) != kFileMark) return MarkText(h);
  if (BitsPerColor(h) != 12 && BitsPerColor(h) != 24) return DepthText(h);
  if (ColorCount(h) > kMaxColors) {
    return "its header declares " + std::to_string(ColorCount(h)) + " colours, " +
           std::to_string(ColorsPerGroup(h)) + " per group times " +
           Counted(GroupCount(h), "group", "groups") + ", and a palette holds at most " +
           std::to_string(kMaxColors);
  }
  return "";
}

}  // namespace

std::string FormText(const PaletteForm& form) {
  const std::string groups = Counted(form.groups, "group", "groups") + " of " +
                             std::to_string(form.perGroup);
  if (form.headerless) return "no header: " + groups + " 12-bit colours";
  return std::to_string(form.bits) + "-bit, " + groups + (form.perGroup == 1 ? " colour" : " colours");
}

std::string FormFaultText(const PaletteHead& head, FormFault fault) {
  const PaletteHeader& h = head.header;
  switch (fault) {
    case FormFault::kNone:
      return "";
    case FormFault::kFewBytes:
      return "it holds only " + Counted(int64_t(head.size), "byte", "bytes");
    case FormFault::kHeaderCut:
      return "its header is cut short at " + Counted(int64_t(head.size), "byte", "bytes") +
             " of " + std::to_string(kPaletteHeaderSize);
    case FormFault::kMark:
      return MarkText(h);
    case FormFault::kDepth:
      return DepthText(h);
    case FormFault::kNoColours:
      break;
  }
  return "its header gives " + std::to_string(ColorsPerGroup(h)) + " colours per group and " +
         std::to_string(GroupCount(h)) + " groups, so no group holds a colour";
}

std::string GroupPastTheLast(const std::string& name, const PaletteForm& form, int group) {
  if (group >= 0 && group < form.groups) return "";
  return name + " has " + GroupsNumbered(form.groups) + "; there is no group " +
         std::to_string(group);
}

std::string ExplainGroupRefusal(const PaletteForm& form, int group, uint64_t fileSize, int result) {
  const std::string which = "group " + std::to_string(group);
  if (form.perGroup > kMaxColors) {
    return which + " holds " + std::to_string(form.perGroup) +
           " colours, and a palette holds at most " + std::to_string(kMaxColors);
  }
  const uint64_t end = form.GroupAt(group) + form.GroupSize();
  if (fileSize >= end || result == 0) return "";
  return which + " is cut short: its colours end at byte " + std::to_string(end) +
         ", and the file has " + Counted(int64_t(fileSize), "byte", "bytes");
}

int GroupsToOpenOneByOne(const std::vector<uint8_t>& head) {
  PaletteForm form;
  const FormFault fault = ReadPaletteForm(ReadPaletteHead(head), &form);
  return GroupsToOpenOneByOne(form, fault);
}

int GroupsToOpenOneByOne(const PaletteForm& form, FormFault fault) {
  if (fault != FormFault::kNone || form.groups < 2) return 0;
  if (form.perGroup > kMaxColors || form.Colours() <= kMaxColors) return 0;
  return form.groups;
}

std::string HeaderlessReading() {
  return "read as " + std::to_string(kHeaderlessGroupCount) + " groups of " +
         std::to_string(kHeaderlessColorsPerGroup) + " 12-bit colours";
}

std::string HeaderlessDoubt(const std::vector<uint8_t>& bytes) {
  const int64_t misfit = HeaderlessMisfit(bytes.data(), bytes.size());
  if (misfit < 0) return "";
  const Format* format = FormatOf(bytes.data(), bytes.size(), "");
  if (format != nullptr) return ", though it is " + std::string(format->name) + ", not a palette";
  char value[8];
  std::snprintf(value, sizeof value, "0x%02X", unsigned{bytes[size_t(misfit)]});
  return ", though it is not laid out as one: byte " + std::to_string(misfit) + " is " + value +
         ", where the second byte of a 12-bit colour is below 0x10";
}

std::string OpenedNote(const std::vector<uint8_t>& bytes, uint64_t size, uint64_t read) {
  const PaletteHead head = ReadPaletteHead(bytes);
  std::string note = OpenedNote(head, size, read);
  if (head.signature) return note;
  const std::string doubt = HeaderlessDoubt(bytes);
  const size_t reading = note.find(HeaderlessReading());
  if (reading != std::string::npos) note.insert(reading + HeaderlessReading().size(), doubt);
  return note;
}

std::string OpenedNote(const PaletteHead& head, uint64_t size, uint64_t read) {
  if (!head.signature) {
    std::string note = "no KiSS header: " + HeaderlessReading();
    if (size > read) note += "; " + std::to_string(size - read) + " bytes were left unread";
    return note;
  }
  if (!head.whole) return "";
  const PaletteHeader& h = head.header;
  const int32_t decoded = ColoursDecoded(head);
  // Counts below zero are read as the module reads them: 12-bit colours
  // group by group (none), 24-bit ones by the product of the two.
  if (decoded > 0 && ColorsPerGroup(h) >= 0 && GroupCount(h) >= 0) return "";
  const std::string counts = "its header gives " + std::to_string(ColorsPerGroup(h)) +
                             " colours per group and " + Counted(GroupCount(h), "group", "groups") +
                             " (as signed 16-bit numbers): ";
  if (decoded == 0) return counts + "nothing was decoded, every colour is black";
  return counts + Counted(decoded, "colour was", "colours were") +
         " decoded, as their product says, and every other colour is black";
}

std::string ExplainRefusal(const std::vector<uint8_t>& file, int result) {
  return ExplainRefusal(ReadPaletteHead(file), file.size(), result);
}

std::string ExplainRefusal(const PaletteHead& head, uint64_t held, int result) {
  if (result == kCannotReadFile) return ExplainHeader(head);
  if (result != kEndOfFile) return "";
  const uint64_t promised = BytesPromised(head);
  if (held >= promised) return "";
  const std::string whole = head.signature ? "its header promises " : "a palette without a header has ";
  return "the file has " + Counted(int64_t(held), "byte", "bytes") + ", " + whole +
         std::to_string(promised);
}

}  // namespace plughost
