// plughost save: images in, palettes out, one file or a batch; or one
// image's colours put back into an existing palette in its own form.
#include <algorithm>
#include <memory>
#include <new>

#include "interface/result_codes.h"
#include "kiss/kiss_palette.h"
#include "plughost/files/atomic_file.h"
#include "plughost/commands/batch.h"
#include "plughost/images/palette_groups.h"
#include "plughost/files/file_checks.h"
#include "plughost/files/input_file.h"
#include "plughost/files/scratch_file.h"
#include "plughost/images/image_files.h"
#include "plughost/images/palette_files.h"
#include "plughost/commands/session.h"

namespace plughost {

namespace {

constexpr int kGrid = 16;  // a palette is 16 x 16 colours

// The palette written from `image`: --into's is read and written both, so
// the command's files are checked with it as an output.
std::string OutputFor(const SaveRequest& request, const std::string& image) {
  if (!request.into.empty()) return request.into;
  if (request.outDir.empty()) return request.out;
  return InFolder(request.outDir, image, ".kcf");
}

bool CheckSaveRequest(const SaveRequest& request, Streams io) {
  std::string wrong;
  if (request.into.empty()) {
    wrong = CheckOutputChoice(request.images.size(), request.out, request.outDir, "images",
                              "FILE.kcf");
    if (wrong.empty() && request.group != kNoGroup)
      wrong = "--group chooses a group of the palette given with --into";
  } else if (!request.out.empty() || !request.outDir.empty()) {
    wrong = "give --into PALETTE.kcf, or --out or --out-dir, not both";
  } else if (request.images.size() != 1) {
    wrong = request.images.empty() ? "no images given" : "--into takes one image";
  }
  if (!wrong.empty()) io.err << "plughost save: " << wrong << "\n";
  return wrong.empty();
}

// Why an existing palette at `out` is not to be replaced by one of the form
// the module writes: the form it would lose. "" when it has none to lose.
std::string FormLost(const std::string& out) {
  InputFile file;
  std::string ignored;
  if (!file.Open(out, &ignored)) return "";
  const std::vector<uint8_t> head = file.Head(kPaletteHeaderSize);
  PaletteForm form;
  if (!ReadPaletteForm(head, &form, &ignored) || IsWrittenForm(form)) return "";
  // Any file reads as headerless; only a .kcf that is no image is taken for one.
  if (form.headerless && (ExtensionOf(out) != "kcf" || LooksLikeImage(head))) return "";
  return out + " is a palette of another form (" + FormText(form) +
         "), which saving would lose: the module writes 24-bit, 1 group of 256 colours; give "
         "--into " + out + " to put the colours into it in its own form, or --force to "
         "replace it";
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
  const int tile = read && request.swatch == 0 ? SwatchTileOf(image->columns, image->rows) : 0;
  // Saved as it is, the grid's corner pixels would become the palette.
  if (note.empty() && tile > 0)
    note = "a " + std::to_string(image->columns) + " x " + std::to_string(image->rows) +
           " image has the size of a swatch of " + std::to_string(tile) +
           "-pixel tiles; if it is one, add --swatch " + std::to_string(tile) +
           " to save one colour from each tile";
  if (!note.empty()) io.err << "plughost: note: " << path << ": " << note << "\n";
  if (!read) io.err << "plughost: " << error << "\n";
  return read ? kExitSuccess : kExitHost;
}

// The module writes into a new file beside the target, which replaces the
// target only when every selector answered 0.
int SaveThroughModule(Session& session, const std::string& out, const std::string& label,
                      const Image& image, int32_t ref, std::unique_ptr<Host>* saved) {
  Streams io = session.io();
  io.err << ExtensionNote(session.module(), session.module().propertyList().writeExtensions, out,
                          "writes");
  std::unique_ptr<Host>& host = *saved;
  host = session.NewHost("save", out);
  ProgressBar bar(session.ShowProgress(), label);
  session.AttachProgress(*host, bar);
  const int16_t result = host->Save(ref, image);
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
  std::unique_ptr<Host> host;
  const int saved = SaveThroughModule(session, out, label, image.top, target.ref(), &host);
  if (saved != kExitSuccess) return saved;
  const uint64_t bytes = target.BytesWritten();
  if (!request.force) error = FormLost(out);
  if (!error.empty() || !target.Commit(&error)) {
    session.io().err << "plughost: " << error << "\n";
    return kExitHost;
  }
  session.io().out << path << " -> " << out << " (" << bytes << " bytes)\n";
  const std::string note = CoverageNote(image);
  if (!note.empty()) session.io().err << "plughost: note: " << path << ": " << note << "\n";
  return session.Verdict(*host, kExitSuccess, path);
}

// Where an image's colours go in the --into palette: `count` entries from
// entry `first`.
struct IntoPlace {
  PaletteForm form;
  int first = 0;
  int count = 0;
};

// Where the colours go in the palette `bytes`; "" or the refusal.
std::string PlanInto(const SaveRequest& request, const std::vector<uint8_t>& bytes,
                     IntoPlace* place) {
  const std::string& into = request.into;
  const PaletteForm& form = place->form;
  std::string why;
  if (!ReadPaletteForm(bytes, &place->form, &why)) return into + " is not a KiSS palette: " + why;
  if (form.headerless && (ExtensionOf(into) != "kcf" || LooksLikeImage(bytes)))
    return into + " is not a KiSS palette: it does not begin with \"KiSS\", and only a .kcf "
                  "file that is no image is read without a header";
  if (request.group == kNoGroup && form.Colours() > kMaxColors)
    return into + " holds " + FormText(form) + ", more than the 256 colours of one image; " +
           "give --group N to put the colours into one group";
  why = request.group == kNoGroup ? "" : GroupPastTheLast(into, form, request.group);
  if (!why.empty()) return why;
  if (form.perGroup > kMaxColors)
    return into + ": a group of " + std::to_string(form.perGroup) +
           " colours is more than the 256 of an image";
  place->first = request.group == kNoGroup ? 0 : request.group * form.perGroup;
  place->count = request.group == kNoGroup ? int(form.Colours()) : form.perGroup;
  const uint64_t end = form.colorsAt + uint64_t(place->first + place->count) * uint64_t(form.EntrySize());
  if (bytes.size() >= end) return "";
  return into + " is cut short: the colours to replace end at byte " + std::to_string(end) +
         ", and the file has " + std::to_string(bytes.size()) + " bytes";
}

// The colours the module saved, red, green, blue from entry 0.
bool SavedColours(const ScratchFile& scratch, std::vector<uint8_t>* colours, std::string* error) {
  std::vector<uint8_t> saved;
  if (!scratch.ReadBack(&saved, error)) return false;
  if (saved.size() == size_t{kWrittenFileSize}) {
    colours->assign(saved.begin() + kPaletteHeaderSize, saved.end());
    return true;
  }
  *error = "the module saved " + std::to_string(saved.size()) + " bytes, where a palette it " +
           "writes has " + std::to_string(kWrittenFileSize) + "; nothing was put back";
  return false;
}

// How many of the entries put back lie outside the image, and so are black.
int BlackEntries(const SaveImage& image, const IntoPlace& place) {
  int black = 0;
  for (int k = 0; k < std::min(place.count, kGrid * kGrid); ++k)
    black += k / kGrid >= image.rows || k % kGrid >= image.columns;
  return black;
}

void ReportInto(Session& session, const SaveRequest& request, const std::string& path,
                const SaveImage& image, const IntoPlace& place, uint64_t size, int rounded) {
  const std::string into = request.into +
      (request.group == kNoGroup ? "" : " group " + std::to_string(request.group));
  session.io().out << path << " -> " << into << " (" << place.count << " colours, " << size
                   << " bytes, " << FormText(place.form) << ")\n";
  const int black = BlackEntries(image, place);
  if (black > 0) {
    session.io().err << "plughost: note: " << path << ": the image is " << image.columns << " x "
                     << image.rows << ", so " << black << " of the " << place.count
                     << " colours put into " << into << " are black\n";
  }
  if (rounded > 0) {
    session.io().err << "plughost: note: " << request.into << ": 12 bits keep each channel's top "
                     << "four bits, so " << rounded << " of the " << place.count
                     << " colours put back changed\n";
  }
}

// The module saves the image into a temporary file as always; its colours
// then go into the palette's own bytes, which replace the palette whole.
int SaveIntoOne(Session& session, const SaveRequest& request, const std::string& path,
                const std::string& label) {
  SaveImage image;
  const int read = ReadSource(request, path, &image, session.io());
  if (read != kExitSuccess) return read;
  InputFile file;
  if (!session.OpenInput(request.into, &file)) return kExitHost;
  std::vector<uint8_t> bytes, colours;
  IntoPlace place;
  std::string error;
  if (file.ReadAll(&bytes, &error)) error = PlanInto(request, bytes, &place);
  // Windows replaces no file that is open.
  file.Close();
  ScratchFile saved;
  if (error.empty()) saved.Begin(request.into, &error);
  std::unique_ptr<Host> host;
  if (error.empty()) {
    const int status = SaveThroughModule(session, request.into, label, image.top, saved.ref(), &host);
    if (status != kExitSuccess) return status;
  }
  int rounded = 0;
  if (error.empty() && SavedColours(saved, &colours, &error)) {
    rounded = PutColours(place.form, colours.data(), place.first, place.count, &bytes);
    WriteFileAtomically(request.into, bytes, Content::kPalette, request.force, &error);
  }
  if (!error.empty()) {
    session.io().err << "plughost: " << error << "\n";
    return kExitHost;
  }
  ReportInto(session, request, path, image, place, bytes.size(), rounded);
  return session.Verdict(*host, kExitSuccess, path);
}

}  // namespace

int RunSave(const Options& options, const SaveRequest& request, Streams io) {
  if (!CheckSaveRequest(request, io)) return kExitUsage;
  const auto saveOne = [&](Session& session, const std::string& file, const std::string& label) {
    return request.into.empty() ? SaveOne(session, request, file, label)
                                : SaveIntoOne(session, request, file, label);
  };
  return RunCommandBatch(options, io, "save", request.images, request.outDir,
                         [&](const std::string& image) { return OutputFor(request, image); },
                         saveOne);
}

}  // namespace plughost
