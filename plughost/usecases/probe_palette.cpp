#include "plughost/usecases/probe_palette.h"

#include "interface/result_codes.h"
#include "plughost/files/input_file.h"
#include "plughost/usecases/palette_words.h"

namespace plughost {

namespace {

// What an opening of the same file gives, said beside the filter's answer
// when the two differ; "" when they agree.
std::string OpeningDiffers(Caller& caller, const InputFile& file, const std::string& name,
                           int filtered, const std::vector<uint8_t>& head, int* openedResult) {
  std::unique_ptr<Host> host = caller.NewHost("probe: open", name);
  const int opened = *openedResult = host->Open(file.ref());
  if (opened == filtered || (filtered != kNoError && opened != kNoError)) return "";
  if (opened == kNoError) return "an open reads it (" + HeaderlessReading() + HeaderlessDoubt(head) + ")";
  const std::string why = ExplainRefusal(head, opened);
  const int groups = opened == kCannotReadFile ? GroupsToOpenOneByOne(head) : 0;
  const std::string hint = groups > 0 ? caller.Advise({Hint::kOpenGroups, name, groups}) : "";
  return "an open refuses it (" + ResultText(opened) + (why.empty() ? "" : "; " + why) + hint + ")";
}

// " (24-bit, 10 groups of 256 colours)", or "" when the header holds no groups.
std::string FormOf(const std::vector<uint8_t>& head) {
  PaletteForm form;
  return ReadPaletteForm(ReadPaletteHead(head), &form) == FormFault::kNone
             ? " (" + FormText(form) + ")"
             : "";
}

}  // namespace

int ProbeFile(Caller& caller, const std::string& name) {
  InputFile file;
  std::string error;
  if (!file.Open(name, &error)) return caller.Refused(error), kExitHost;
  const std::vector<uint8_t> head = file.Head(kNoteBytes);
  std::unique_ptr<Host> host = caller.NewHost("probe", name);
  const int16_t result = host->Filter(file.ref());
  int opened = kNoError;
  const std::string other = OpeningDiffers(caller, file, name, result, head, &opened);
  // Side by side when the filter and an open differ, so neither reads as
  // the last word.
  const std::string filter = other.empty() ? "" : "the filter says ";
  const std::string also = other.empty() ? "" : "; " + other;
  // The status says whether the file opens; the line, what each selector said.
  const int status = opened == kNoError ? kExitSuccess : kExitModule;
  if (result == kNoError) {
    caller.Done(name + ": " + filter + "palette" + FormOf(head) + also, "");
    caller.Tail(*host);
    return Verdict(caller, *host, status, name);
  }
  const std::string why = ExplainRefusal(head, result);
  caller.Done(name + ": " + filter + "not a palette (" + ResultText(result) +
                  (why.empty() ? "" : "; " + why) + ")" + also,
              "");
  return status;
}

}  // namespace plughost
