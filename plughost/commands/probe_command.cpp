// plughost probe: the filter selector's answer for each file, the form of
// a palette (depth, colours per group, groups), and where an opening would
// answer otherwise, what it would say.
#include <memory>

#include "interface/result_codes.h"
#include "plughost/commands/batch.h"
#include "plughost/images/palette_groups.h"
#include "plughost/files/input_file.h"
#include "plughost/images/palette_notes.h"
#include "plughost/commands/session.h"

namespace plughost {

namespace {

// What an opening of the same file answers, when it differs from the filter.
// What an opening of the same file gives, said beside the filter's answer
// when the two differ; "" when they agree.
std::string OpeningDiffers(Session& session, const InputFile& file, const std::string& name,
                           int filtered, const std::vector<uint8_t>& head) {
  std::unique_ptr<Host> host = session.NewHost("probe: open", name);
  const int opened = host->Open(file.ref());
  if (opened == filtered || (filtered != kNoError && opened != kNoError)) return "";
  if (opened == kNoError) return "an open reads it (" + HeaderlessReading() + ")";
  const std::string why = ExplainRefusal(head, opened);
  const std::string hint = opened == kCannotReadFile ? GroupHint(head) : "";
  return "an open refuses it (" + ResultText(opened) + (why.empty() ? "" : "; " + why) + hint + ")";
}

// " (24-bit, 10 groups of 256 colours)", or "" when the header holds no groups.
std::string FormOf(const std::vector<uint8_t>& head) {
  PaletteForm form;
  std::string why;
  return ReadPaletteForm(head, &form, &why) ? " (" + FormText(form) + ")" : "";
}

int ProbeOne(Session& session, const std::string& name) {
  Streams io = session.io();
  InputFile file;
  if (!session.OpenInput(name, &file)) return kExitHost;
  const std::vector<uint8_t> head = file.Head(kNoteBytes);
  std::unique_ptr<Host> host = session.NewHost("probe", name);
  const int16_t result = host->Filter(file.ref());
  const std::string other = OpeningDiffers(session, file, name, result, head);
  // Side by side when the filter and an open differ, so neither reads as
  // the last word.
  const std::string filter = other.empty() ? "" : "the filter says ";
  if (result == kNoError) {
    io.out << name << ": " << filter << "palette" << FormOf(head)
           << (other.empty() ? "" : "; " + other) << "\n";
    session.ReportTail(*host);
    return session.Verdict(*host, kExitSuccess, name);
  }
  const std::string why = ExplainRefusal(head, result);
  io.out << name << ": " << filter << "not a palette (" << ResultText(result)
         << (why.empty() ? "" : "; " + why) << ")" << (other.empty() ? "" : "; " + other) << "\n";
  return kExitModule;
}

}  // namespace

int RunProbe(const Options& options, const std::vector<std::string>& files, Streams io) {
  if (files.empty()) {
    io.err << "plughost probe: no file given\n";
    return kExitUsage;
  }
  Session session(options, io);
  const int started = session.Start("probe", files, {}, "");
  if (started != kExitSuccess) return started;
  const FileRun probe = [&](const std::string& file, const std::string&) {
    return ProbeOne(session, file);
  };
  return RunBatch(session, files, probe, nullptr);
}

}  // namespace plughost
