#include "plughost/commands/batch.h"

#include <algorithm>

#include "plughost/files/atomic_file.h"
#include "plughost/files/file_checks.h"
#include "plughost/commands/session.h"

namespace plughost {

namespace {

// The end of a batch, however it ends: the trace closed, then every output
// put in place together (see CommitTogether); the host's status when
// either failed, after saying why.
int Conclude(Session& session, CommitTogether& outputs, int status) {
  const bool finished = session.Finish();
  std::vector<std::string> errors;
  const bool committed = outputs.Finish(&errors);
  for (const std::string& e : errors) session.io().err << "plughost: " << e << "\n";
  return finished && committed ? status : kExitHost;
}

// "2 of 5 files could not be converted", and apart from those the files the
// module did while breaking the host interface.
void SayHowManyFailed(Session& session, size_t count, size_t failed, size_t broken,
                      const char* failedWords) {
  if (failedWords == nullptr || count < 2) return;
  if (failed > 0)
    session.io().err << "plughost: " << failed << " of " << count << " files " << failedWords << "\n";
  if (broken > 0) {
    session.io().err << "plughost: the module broke the host interface on " << broken << " of "
                     << count << " files\n";
  }
}

}  // namespace

int RunBatch(Session& session, const std::vector<std::string>& files, const FileRun& run,
             const char* failedWords) {
  CommitTogether outputs;
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
      return Conclude(session, outputs, kExitHost);
    }
  }
  bar.Finish();
  SayHowManyFailed(session, count, failed, session.BrokenInterfaceCount() - brokenBefore,
                   failedWords);
  return Conclude(session, outputs, status);
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
