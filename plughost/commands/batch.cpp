#include "plughost/commands/batch.h"

#include "plughost/commands/session.h"
#include "plughost/commands/terminal.h"

namespace plughost {

namespace {

// "2 of 5 files could not be converted", and apart from those the files the
// module did while breaking the host interface.
void SayHowManyFailed(Session& session, const BatchTally& tally, const char* failedWords) {
  if (failedWords == nullptr || tally.files < 2 || tally.stopped) return;
  const std::string of = " of " + WithThousands(tally.files) + " files";
  if (tally.failed > 0) session.Refused(WithThousands(tally.failed) + of + " " + failedWords);
  if (tally.broken > 0)
    session.Refused("the module broke the host interface on " + WithThousands(tally.broken) + of);
}

// What the batch's end leaves to say: files it could not clean up, an
// interrupt that came too late to stop it, and on a terminal the summary
// below the bar ("5,160 files -> 35,400 outputs in place").
void SayEnd(Session& session, const BatchTally& tally, const char* failedWords) {
  if (tally.leftBehind > 0)
    session.Refused(std::string(tally.leftBehind == 1 ? "a new file"
                                                      : std::to_string(tally.leftBehind) +
                                                            " new files") +
                    " could not be removed: " + tally.leftBehindNames);
  if (tally.interruptedWhilePlacing)
    session.Refused("interrupted while the outputs were put in place; every one is in place");
  if (failedWords == nullptr || !session.ShowSummary()) return;
  session.io().err << "plughost: " << WithThousands(tally.files) << " files -> "
                   << WithThousands(tally.placed) << (tally.placed == 1 ? " output" : " outputs")
                   << " in place\n";
}

}  // namespace

int RunCommandBatch(const Options& options, Streams io, const char* command,
                    const BatchFiles& files, const std::vector<std::string>& runs,
                    const BatchRun& run, const char* failedWords) {
  Session session(options, io);
  Batch batch(session);
  const int started = session.Start(command, batch, files);
  if (started != kExitSuccess) return started;
  const BatchTally tally = batch.Run(runs, run);
  if (tally.interrupted)
    session.Refused("interrupted after " + std::to_string(tally.run) + " of " +
                    std::to_string(tally.files) + " files");
  SayHowManyFailed(session, tally, failedWords);
  SayEnd(session, tally, failedWords);
  return tally.status;
}

}  // namespace plughost
