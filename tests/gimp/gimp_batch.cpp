#include "tests/gimp/gimp_batch.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/plughost/test_files.h"

namespace gimp_test {

namespace fs = std::filesystem;

namespace {


void WriteText(const fs::path& path, const std::string& text) {
  plughost_test::WriteAll(path, std::vector<uint8_t>(text.begin(), text.end()));
}

void MakeProfile(const fs::path& profile) {
  // Folders GIMP writes its resources to, so that it does not complain.
  for (const char* sub : {"brushes", "gradients", "palettes", "patterns", "plug-ins"})
    fs::create_directories(profile / sub);
  const std::string path = std::string(ZENTROW_GIMP_PLUGINS) + ":${gimp_plug_in_dir}/plug-ins";
  WriteText(profile / "gimprc", "(plug-in-path " + Scheme(path) + ")\n");
}

}  // namespace

std::string Failed(const std::string& procedure, const fs::path& file, const std::string& refusal) {
  // GIMP 3 checks a file argument before the plug-in runs, refusing a
  // folder or a link to nothing in words that do not name it: Script-Fu
  // one to open, GIMP one to export to.
  std::error_code error;
  const bool noFile = fs::is_directory(file, error) ||
                      (fs::is_symlink(file, error) && !fs::exists(file, error));
  if (ZENTROW_GIMP_MAJOR == 3 && noFile && procedure == kLoadProcedure)
    return "Error: Invalid value for argument 1";
  if (ZENTROW_GIMP_MAJOR == 3 && noFile)
    return "Procedure execution of " + procedure + " failed on invalid input arguments: Procedure '" +
           procedure + "' has been called with value '<not transformable to string>' for argument 'file'";
  return "Procedure execution of " + procedure + " failed: " + refusal;
}

std::string Scheme(const std::string& text) {
  std::string literal = "\"";
  for (char c : text) literal += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
  return literal + "\"";
}

int Spawn(const std::vector<std::string>& args, const fs::path& log) {
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(out, 2);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

GimpRun RunGimp(const fs::path& folder, const std::vector<std::string>& commands, int seconds) {
  const fs::path profile = folder / "profile", table = ZENTROW_GIMP_TABLE;
  MakeProfile(profile);
  // GIMP keeps its settings in the profile, GEGL its caches under XDG_CACHE_HOME.
  setenv(ZENTROW_GIMP_MAJOR == 3 ? "GIMP3_DIRECTORY" : "GIMP2_DIRECTORY", profile.c_str(), 1);
  setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
  std::vector<std::string> args = {"timeout", "--kill-after=10", std::to_string(seconds),
                                   ZENTROW_GIMP_CONSOLE, "-i", "-d", "-f"};
  // GIMP 3 asks which interpreter runs the batch commands, and stops at the
  // first that fails unless the failure is caught (table.scm says it
  // first); --quit ends it even when a command never returns to the last.
  if (ZENTROW_GIMP_MAJOR == 3)
    args.insert(args.end(), {"--quit", "--batch-interpreter=plug-in-script-fu-eval"});
  for (const std::string& command : commands) {
    args.push_back("-b");
    const std::string caught = ZENTROW_GIMP_MAJOR == 3 ? "(catch #f " + command + ")" : command;
    args.push_back("(begin (load " + Scheme(table.string()) + ") " + caught + ")");
  }
  args.insert(args.end(), {"-b", "(gimp-quit 0)"});
  GimpRun run;
  run.status = Spawn(args, folder / "gimp.log");
  run.log = plughost_test::ReadText(folder / "gimp.log");
  return run;
}

}  // namespace gimp_test
