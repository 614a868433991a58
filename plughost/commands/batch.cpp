#include "plughost/commands/batch.h"

#include <algorithm>

#include "plughost/files/atomic_file.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/interrupt_cleanup.h"
#include "plughost/files/system.h"
#include "plughost/commands/session.h"
#include "plughost/commands/terminal.h"

namespace plughost {

namespace {

// The end of a batch, however it ends: the trace put with the outputs,
// then either every output put in place together (see CommitTogether) or,
// when the batch stopped, the trace could not be written or standard
// output has lost its reader, none of them; then the lines of the outputs
// in place, and the new files that could not be removed, if any. The
// host's status when anything failed, after saying why.
int Conclude(Session& session, CommitTogether& outputs, int status, bool stopped,
             size_t* placed) {
  const bool traced = session.CloseTrace();
  const char* why = stopped ? "the command stopped"
                    : !traced ? "the trace could not be written"
                    : sys::StdoutReaderGone() ? "standard output has no reader left"
                                              : nullptr;
  std::vector<std::string> errors;
  bool finished = why == nullptr;
  if (finished)
    finished = outputs.Finish(&errors);
  else
    outputs.Abandon(why, &errors);
  for (const std::string& e : errors) session.Refused(e);
  *placed = session.SayDone(outputs);
  size_t left = 0;
  const std::string leftBehind = TakeLeftBehind(&left);
  if (left > 0)
    session.Refused(std::string(left == 1 ? "a new file" : std::to_string(left) + " new files") +
                    " could not be removed: " + leftBehind);
  // An interrupt during the renames waited for them (natively it ends the
  // program as they end); the Windows console's only sets a flag.
  const bool interrupted = finished && InterruptRequested();
  if (interrupted) session.Refused("interrupted while the outputs were put in place; every one is in place");
  const bool written = session.OutputStillWritable();
  return finished && written && left == 0 && !stopped && !interrupted ? status : kExitHost;
}

// "2 of 5 files could not be converted", and apart from those the files the
// module did while breaking the host interface.
void SayHowManyFailed(Session& session, size_t count, size_t failed, size_t broken,
                      const char* failedWords) {
  if (failedWords == nullptr || count < 2) return;
  if (failed > 0)
    session.Refused(WithThousands(failed) + " of " + WithThousands(count) + " files " + failedWords);
  if (broken > 0) {
    session.Refused("the module broke the host interface on " + WithThousands(broken) + " of " +
                    WithThousands(count) + " files");
  }
}

// On a terminal, below the bar: "5,160 files -> 35,400 outputs in place",
// counted as the bar counts.
void SaySummary(Session& session, size_t count, size_t placed) {
  if (!session.ShowSummary()) return;
  session.io().err << "plughost: " << WithThousands(count) << " files -> " << WithThousands(placed)
                   << (placed == 1 ? " output" : " outputs") << " in place\n";
}

}  // namespace

int RunBatch(Session& session, const std::vector<std::string>& files, const FileRun& run,
             const char* failedWords) {
  CommitTogether outputs;
  if (!session.StageOutputFolder(outputs)) return kExitHost;
  int status = kExitSuccess;
  size_t failed = 0;
  const size_t count = files.size(), brokenBefore = session.BrokenInterfaceCount();
  BatchProgress bar(session.ShowBatchProgress(count), count);
  for (size_t i = 0; i < count; ++i) {
    const std::string place =
        count > 1 ? " (" + std::to_string(i + 1) + " of " + std::to_string(count) + ")" : "";
    bar.BeforeFile();
    const size_t broken = session.BrokenInterfaceCount();
    const int one = run(files[i], NameOf(files[i]) + place);
    bar.FileDone(i + 1);
    // A file done by a module that broke the interface was done all the same.
    failed += one != kExitSuccess && session.BrokenInterfaceCount() == broken;
    // The host's own failures outrank the module's refusals.
    if (one == kExitHost || status == kExitSuccess) status = std::max(status, one);
    if (!session.OutputStillWritable() || session.StopRequested(i + 1, count)) {
      bar.Finish();
      size_t placed = 0;
      return Conclude(session, outputs, kExitHost, true, &placed);
    }
  }
  bar.Finish();
  SayHowManyFailed(session, count, failed, session.BrokenInterfaceCount() - brokenBefore,
                   failedWords);
  size_t placed = 0;
  const int concluded = Conclude(session, outputs, status, false, &placed);
  if (failedWords != nullptr) SaySummary(session, count, placed);
  return concluded;
}

int RunCommandBatch(const Options& options, Streams io, const char* command,
                    const std::vector<std::string>& inputs, const std::string& outDir,
                    const OutputOf& outputOf, const SessionRun& run) {
  std::vector<std::string> outputs;
  for (const std::string& input : inputs) outputs.push_back(outputOf(input));
  Session session(options, io);
  const int started = session.Start(command, inputs, outputs, outDir);
  if (started != kExitSuccess) return started;
  return RunBatch(session, inputs, [&](const std::string& file, const std::string& label) {
    return run(session, file, label);
  });
}

}  // namespace plughost
