// plughost save: images in, palettes out, one file or a batch.
#include <algorithm>
#include <memory>
#include <new>

#include "interface/result_codes.h"
#include "plughost/files/atomic_file.h"
#include "plughost/commands/batch.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/input_file.h"
#include "plughost/images/image_files.h"
#include "plughost/images/palette_files.h"
#include "plughost/commands/session.h"

namespace plughost {

namespace {

constexpr int kGrid = 16;  // a palette is 16 x 16 colours

std::string OutputFor(const SaveRequest& request, const std::string& image) {
  if (request.outDir.empty()) return request.out;
  return InFolder(request.outDir, image, ".kcf");
}

bool CheckSaveRequest(const SaveRequest& request, Streams io) {
  const std::string choice = CheckOutputChoice(request.images.size(), request.out,
                                               request.outDir, "images", "FILE.kcf");
  if (!choice.empty()) io.err << "plughost save: " << choice << "\n";
  return choice.empty();
}

// What of the image does not reach the palette, and which entries stay black.
std::string CoverageNote(const SaveImage& image) {
  const int rows = std::min(image.rows, kGrid), columns = std::min(image.columns, kGrid);
  std::string note;
  if (image.rows > kGrid || image.columns > kGrid) {
    const int64_t dropped = int64_t{image.rows} * image.columns - int64_t{rows} * columns;
    const std::string kept = image.rows > kGrid && image.columns > kGrid ? "16 rows and 16 columns"
                             : image.rows > kGrid                       ? "16 rows"
                                                                        : "16 columns";
    note = "only the first " + kept + " of the " + std::to_string(image.columns) + " x " +
           std::to_string(image.rows) + " image are saved; " + std::to_string(dropped) +
           " pixels are not in the palette";
  }
  const int black = kGrid * kGrid - rows * columns;
  if (black == 0) return note;
  std::string where;
  if (columns < kGrid)
    where = "columns " + std::to_string(columns) + " to 15 of every row";
  if (rows < kGrid) {
    where += (where.empty() ? "" : ", and ") + std::string("rows ") + std::to_string(rows) +
             " to 15 (entries " + std::to_string(rows * kGrid) + " to 255)";
  }
  return note + (note.empty() ? "" : "; ") + "the image is " + std::to_string(image.columns) +
         " x " + std::to_string(image.rows) + ", so " + std::to_string(black) +
         " of the 256 entries are black: " + where;
}

// A GIMP or JASC palette as the image of its colours, 16 to a row.
bool ReadPaletteFile(const std::string& path, PaletteText kind, SaveImage* image,
                     std::string* error, std::string* note) {
  InputFile file;
  int colours = 0;
  if (!file.Open(path, error) ||
      !DecodePaletteText(FileBytes(file), kind, path, &image->top, &colours, error))
    return false;
  image->rows = image->top.rows;
  image->columns = image->top.columns;
  if (colours < kGrid * kGrid)
    *note = "it holds " + std::to_string(colours) + " colours, so entries " +
            std::to_string(colours) + " to 255 are black";
  return true;
}

// The image as the module is to save it: its top rows, or of a swatch one
// pixel per tile.
int ReadSource(const SaveRequest& request, const std::string& path, SaveImage* image,
               Streams io) {
  std::string error, note;
  const PaletteText palette = PaletteTextFromPath(path);
  bool read = false;
  try {
    read = palette != PaletteText::kNone ? ReadPaletteFile(path, palette, image, &error, &note)
                                         : ReadForSave(path, request.swatch, image, &error);
  } catch (const std::bad_alloc&) {
    error = path + " is too big for the memory at hand";
  }
  if (note.empty()) note = image->note;
  if (!note.empty()) io.err << "plughost: note: " << path << ": " << note << "\n";
  if (!read) io.err << "plughost: " << error << "\n";
  return read ? kExitSuccess : kExitHost;
}

// The module writes into a new file beside the target, which replaces the
// target only when every selector answered 0.
int SaveThroughModule(Session& session, const std::string& out, const std::string& label,
                      const Image& image, AtomicFile* target) {
  Streams io = session.io();
  io.err << ExtensionNote(session.module(), session.module().propertyList().writeExtensions, out,
                          "writes");
  std::unique_ptr<Host> host = session.NewHost("save", out);
  ProgressBar bar(session.ShowProgress(), label);
  session.AttachProgress(*host, bar);
  const int16_t result = host->Save(target->ref(), image);
  bar.Finish();
  session.NoteUnreadParams(*host, "save");
  if (result != kNoError) {
    io.err << "plughost: " << out << ": " << session.DescribeResult(*host, result)
           << "; nothing was written there\n";
  }
  session.ReportTail(*host);
  return result == kNoError ? kExitSuccess : kExitModule;
}

int SaveOne(Session& session, const SaveRequest& request, const std::string& path,
            const std::string& label) {
  SaveImage image;
  const int read = ReadSource(request, path, &image, session.io());
  if (read != kExitSuccess) return read;
  const std::string out = OutputFor(request, path);
  AtomicFile target;
  std::string error;
  if (!target.Begin(out, Content::kPalette, request.force, &error)) {
    session.io().err << "plughost: " << error << "\n";
    return kExitHost;
  }
  const int saved = SaveThroughModule(session, out, label, image.top, &target);
  if (saved != kExitSuccess) return saved;
  const uint64_t bytes = target.BytesWritten();
  if (!target.Commit(&error)) {
    session.io().err << "plughost: " << error << "\n";
    return kExitHost;
  }
  session.io().out << path << " -> " << out << " (" << bytes << " bytes)\n";
  const std::string note = CoverageNote(image);
  if (!note.empty()) session.io().err << "plughost: note: " << path << ": " << note << "\n";
  return kExitSuccess;
}

}  // namespace

int RunSave(const Options& options, const SaveRequest& request, Streams io) {
  if (!CheckSaveRequest(request, io)) return kExitUsage;
  const auto saveOne = [&](Session& session, const std::string& file, const std::string& label) {
    return SaveOne(session, request, file, label);
  };
  return RunCommandBatch(options, io, "save", request.images, request.outDir,
                         [&](const std::string& image) { return OutputFor(request, image); },
                         saveOne);
}

}  // namespace plughost
