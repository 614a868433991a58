#include "tests/gimp/gimp_batch.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/plughost/test_files.h"

namespace gimp_test {

namespace fs = std::filesystem;

namespace {

// What the commands call. kcf-open loads a file with `load` (file-kcf-load,
// or gimp-file-load to let GIMP choose) and exports its layers with GIMP's
// own PNG export, the image's comment included: one below the other in one
// image, since each export is a process of its own and a palette may have
// many layers, as STEM.NAMES.png, NAMES being the layers' names from the
// top, between commas. kcf-save exports a PNG that GIMP loaded through
// file-kcf-save; kcf-save-alpha first gives it an alpha channel with a
// transparent and a half-transparent pixel, and exports that as a PNG too,
// keeping the colours of transparent pixels. kcf-roundtrip loads a palette
// and exports it back to the same file; kcf-edit does the same after
// painting one pixel of the layer at `index` (0 the top); kcf-keep-top
// after removing every layer but the top `count`; kcf-flatten after
// flattening the image.
constexpr const char* kProcedures = R"scheme(
(define (kcf-names layers)
  (let ((name (car (gimp-item-get-name (car layers)))))
    (if (pair? (cdr layers)) (string-append name "," (kcf-names (cdr layers))) name)))
(define (kcf-stack image layers)
  (let* ((height (car (gimp-image-height image)))
         (stack (car (gimp-image-new (car (gimp-image-width image))
                                     (* height (length layers)) RGB))))
    (let loop ((rest layers) (top 0))
      (if (pair? rest)
          (let ((copy (car (gimp-layer-new-from-drawable (car rest) stack))))
            (gimp-image-insert-layer stack copy 0 -1)
            (gimp-layer-set-offsets copy 0 top)
            (loop (cdr rest) (+ top height)))))
    (gimp-image-attach-parasite stack (car (gimp-image-get-parasite image "gimp-comment")))
    stack))
(define (kcf-open load file stem)
  (let* ((image (car (load RUN-NONINTERACTIVE file file)))
         (layers (vector->list (cadr (gimp-image-get-layers image))))
         (stack (kcf-stack image layers))
         (merged (car (gimp-image-merge-visible-layers stack CLIP-TO-IMAGE)))
         (name (string-append stem "." (kcf-names layers) ".png")))
    (file-png-save2 RUN-NONINTERACTIVE stack merged name name 0 9 0 0 0 0 0 1 0)))
(define (kcf-png png)
  (let ((image (car (file-png-load RUN-NONINTERACTIVE png png))))
    (list image (car (gimp-image-get-active-drawable image)))))
(define (kcf-save png palette)
  (let ((loaded (kcf-png png)))
    (file-kcf-save RUN-NONINTERACTIVE (car loaded) (cadr loaded) palette palette)))
(define (kcf-roundtrip palette)
  (let* ((image (car (file-kcf-load RUN-NONINTERACTIVE palette palette)))
         (drawable (car (gimp-image-get-active-drawable image))))
    (file-kcf-save RUN-NONINTERACTIVE image drawable palette palette)))
(define (kcf-edit palette index x r g b)
  (let* ((image (car (file-kcf-load RUN-NONINTERACTIVE palette palette)))
         (layer (vector-ref (cadr (gimp-image-get-layers image)) index)))
    (gimp-drawable-set-pixel layer x 0 3 (vector r g b))
    (file-kcf-save RUN-NONINTERACTIVE image layer palette palette)))
(define (kcf-keep-top palette count)
  (let* ((image (car (file-kcf-load RUN-NONINTERACTIVE palette palette)))
         (layers (vector->list (cadr (gimp-image-get-layers image)))))
    (for-each (lambda (layer) (gimp-image-remove-layer image layer)) (list-tail layers count))
    (file-kcf-save RUN-NONINTERACTIVE image (car layers) palette palette)))
(define (kcf-flatten palette)
  (let* ((image (car (file-kcf-load RUN-NONINTERACTIVE palette palette)))
         (layer (car (gimp-image-flatten image))))
    (file-kcf-save RUN-NONINTERACTIVE image layer palette palette)))
(define (kcf-save-alpha png rgba palette)
  (let* ((loaded (kcf-png png)) (image (car loaded)) (layer (cadr loaded)))
    (gimp-layer-add-alpha layer)
    (gimp-drawable-set-pixel layer 0 0 4 (vector 10 20 30 0))
    (gimp-drawable-set-pixel layer 1 0 4 (vector 200 100 50 128))
    (file-png-save2 RUN-NONINTERACTIVE image layer rgba rgba 0 9 0 0 0 0 0 0 1)
    (file-kcf-save RUN-NONINTERACTIVE image layer palette palette)))
)scheme";

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
  const fs::path profile = folder / "profile", table = folder / "table.scm";
  MakeProfile(profile);
  WriteText(table, kProcedures);
  // GIMP keeps its settings in the profile, GEGL its caches under XDG_CACHE_HOME.
  setenv("GIMP2_DIRECTORY", profile.c_str(), 1);
  setenv("XDG_CACHE_HOME", (folder / "cache").c_str(), 1);
  std::vector<std::string> args = {"timeout", "--kill-after=10", std::to_string(seconds),
                                   ZENTROW_GIMP_CONSOLE, "-i", "-d", "-f"};
  for (const std::string& command : commands) {
    args.push_back("-b");
    args.push_back("(begin (load " + Scheme(table.string()) + ") " + command + ")");
  }
  args.insert(args.end(), {"-b", "(gimp-quit 0)"});
  GimpRun run;
  run.status = Spawn(args, folder / "gimp.log");
  run.log = plughost_test::ReadText(folder / "gimp.log");
  return run;
}

}  // namespace gimp_test
