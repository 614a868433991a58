#include "plughost/commands/batch.h"

#include <algorithm>
#include <filesystem>
#include <unordered_map>

#include "plughost/files/file_checks.h"
#include "plughost/commands/session.h"

namespace plughost {

namespace {

using FilesById = std::unordered_map<FileIdentity, const std::string*, FileIdentityHash>;

// Each existing regular file among `paths`, by identity: one look each.
FilesById Identify(const std::vector<std::string>& paths) {
  FilesById files;
  for (const std::string& path : paths) {
    const FileStatus s = StatusOf(path);
    if (s.type == FileType::kRegular) files.emplace(s.id, &path);
  }
  return files;
}

bool FindNameClash(const std::vector<std::string>& inputs,
                   const std::vector<std::string>& outputs, std::string* error) {
  std::unordered_map<std::string, size_t> names;
  for (size_t i = 0; i < outputs.size(); ++i) {
    const auto named = names.emplace(PathKey(outputs[i]), i);
    if (named.second) continue;
    *error = inputs[named.first->second] + " and " + inputs[i] + " would both be written to " +
             outputs[i];
    return true;
  }
  return false;
}

bool FindOutputThatIsRead(const FilesById& read, const FilesById& written, std::string* error) {
  for (const auto& out : written) {
    const auto in = read.find(out.first);
    if (in == read.end()) continue;
    *error = "the output " + *out.second + " would replace the input " + *in->second;
    return true;
  }
  return false;
}

bool TraceClashes(const std::string& trace, const std::vector<std::string>& outputs,
                  const FilesById& read, const FilesById& written, std::string* error) {
  const std::string key = PathKey(trace);
  for (const std::string& out : outputs) {
    if (PathKey(out) != key) continue;
    *error = "the trace " + trace + " would be " + out + ", an output";
    return true;
  }
  const FileStatus s = StatusOf(trace);
  if (s.type != FileType::kRegular) return false;
  const auto in = read.find(s.id);
  const auto out = written.find(s.id);
  if (in == read.end() && out == written.end()) return false;
  *error = "the trace " + trace + " would overwrite " +
           (in != read.end() ? *in->second + ", which is read" : *out->second + ", an output");
  return true;
}

}  // namespace

std::string InFolder(const std::string& outDir, const std::string& input, const char* extension) {
  const char last = outDir.back();
  const std::string sep = last == '/' || last == '\\' ? "" : "/";
  return outDir + sep + StemOf(input) + extension;
}

std::string CheckOutputChoice(size_t count, const std::string& out, const std::string& outDir,
                              const char* inputs, const char* outTakes) {
  if (count == 0) return std::string("no ") + inputs + " given";
  if (out.empty() == outDir.empty())
    return std::string("give either --out ") + outTakes + " (one of them) or --out-dir DIR";
  if (!out.empty() && count > 1) return std::string("several ") + inputs + " need --out-dir DIR";
  return "";
}

bool CheckBatchPaths(const std::vector<std::string>& inputs,
                     const std::vector<std::string>& outputs, const std::string& trace,
                     std::string* error) {
  if (FindNameClash(inputs, outputs, error)) return false;
  const FilesById read = Identify(inputs), written = Identify(outputs);
  if (FindOutputThatIsRead(read, written, error)) return false;
  return trace.empty() || !TraceClashes(trace, outputs, read, written, error);
}

int PrepareBatch(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                 const std::string& outDir, const std::string& trace, const char* command,
                 Streams io) {
  std::string error;
  if (!CheckBatchPaths(inputs, outputs, trace, &error)) {
    io.err << "plughost " << command << ": " << error << "\n";
    return kExitUsage;
  }
  std::error_code made;
  if (!outDir.empty()) std::filesystem::create_directories(outDir, made);
  if (!made) return kExitSuccess;
  io.err << "plughost: cannot make the folder " << outDir << ": " << ErrnoText(made.value())
         << "\n";
  return kExitHost;
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
  const int prepared = PrepareBatch(inputs, outputs, outDir, options.traceFile, command, io);
  if (prepared != kExitSuccess) return prepared;
  Session session(options, io);
  if (!session.Start()) return kExitHost;
  return RunBatch(session, inputs, [&](const std::string& file, const std::string& label) {
    return run(session, file, label);
  });
}

}  // namespace plughost
