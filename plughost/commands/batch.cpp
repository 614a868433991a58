#include "plughost/commands/batch.h"

#include <algorithm>

#include "plughost/files/file_checks.h"
#include "plughost/commands/session.h"

namespace plughost {

std::string InFolder(const std::string& outDir, const std::string& input, const char* extension) {
  const char last = outDir.back();
  const std::string sep = last == '/' || last == '\\' ? "" : "/";
  return outDir + sep + StemOf(input) + extension;
}

std::string CheckOutputChoice(size_t count, const std::string& out, const std::string& outDir,
                              const char* inputs, const char* outTakes) {
  if (count == 0) return std::string("no ") + inputs + " given";
  if (out.empty() == outDir.empty())
    return std::string("give --out ") + outTakes + " for one file or --out-dir DIR for several";
  if (!out.empty() && count > 1) return std::string("several ") + inputs + " need --out-dir DIR";
  return "";
}

int RunBatch(Session& session, const std::vector<std::string>& files, const FileRun& run,
             const char* failedWords) {
  int status = kExitSuccess, failed = 0;
  const size_t count = files.size();
  for (size_t i = 0; i < count; ++i) {
    const std::string place =
        count > 1 ? " (" + std::to_string(i + 1) + " of " + std::to_string(count) + ")" : "";
    const int one = run(files[i], NameOf(files[i]) + place);
    failed += one != kExitSuccess;
    // The host's own failures outrank the module's refusals.
    if (one == kExitHost || status == kExitSuccess) status = std::max(status, one);
    if (!session.OutputStillWritable() || session.StopRequested(i + 1, count)) {
      session.Finish();
      return kExitHost;
    }
  }
  if (failedWords != nullptr && count > 1 && failed > 0) {
    session.io().err << "plughost: " << failed << " of " << count << " files " << failedWords
                     << "\n";
  }
  return session.Finish() ? status : kExitHost;
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
