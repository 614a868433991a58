#include "plughost/usecases/save_palette.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <set>

#include "interface/result_codes.h"
#include "kiss/palette_bytes.h"
#include "plughost/files/atomic_file.h"
#include "plughost/files/input_file.h"
#include "plughost/files/lock_file.h"
#include "plughost/files/scratch_file.h"
#include "plughost/images/formats.h"
#include "plughost/images/palette_files.h"
#include "plughost/usecases/palette_words.h"
#include "plughost/usecases/replacing.h"
#include "plughost/words/image_words.h"

namespace plughost {

namespace {

constexpr int kGrid = 16;  // a palette is 16 x 16 colours

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
  if (columns < kGrid) where = "columns " + std::to_string(columns) + " to 15 of every row";
  if (rows < kGrid) {
    where += (where.empty() ? "" : ", and ") + std::string("rows ") + std::to_string(rows) +
             " to 15 (entries " + std::to_string(rows * kGrid) + " to 255)";
  }
  return note + (note.empty() ? "" : "; ") + "the image is " + std::to_string(image.columns) +
         " x " + std::to_string(image.rows) + ", so " + std::to_string(black) +
         " of the 256 entries are black: " + where;
}

// A GIMP, JASC or RIFF palette as the image of its colours, 16 to a row.
bool ReadPaletteText(const std::string& path, ImageFormat kind, SaveImage* image,
                     std::string* error, std::string* note) {
  InputFile file;
  int colours = 0;
  ImageFault fault;
  if (!file.Open(path, error)) return false;
  if (!DecodePaletteText(FileBytes(file), kind, path, &image->top, &colours, &fault))
    return *error = ImageWords(fault), false;
  image->rows = image->top.rows;
  image->columns = image->top.columns;
  // Only a RIFF palette holds more than a palette image, and is read in part.
  if (colours > kGrid * kGrid)
    *note = "it holds " + std::to_string(colours) + " colours, and only the first 256 are saved";
  else if (colours < kGrid * kGrid)
    *note = "it holds " + Counted(colours, "colour", "colours") + ", so " +
            (colours == 255 ? "entry 255 is" : "entries " + std::to_string(colours) + " to 255 are") +
            " black";
  return true;
}

// The module writes into `ref`; a refusal says that nothing was written.
int SaveThroughModule(Caller& caller, const std::string& out, const std::string& label,
                      const Image& image, int32_t ref, std::unique_ptr<Host>* saved) {
  const std::string note = ExtensionNote(caller.module(), true, out);
  if (!note.empty()) caller.Note(note);
  std::unique_ptr<Host>& host = *saved;
  host = caller.NewHost("save", out);
  caller.RunStarts(*host, label);
  const int16_t result = host->Save(ref, image);
  caller.RunEnds(*host, "save");
  if (result != kNoError)
    caller.Refused(out + ": " + DescribeResult(caller, *host, result) + "; nothing was written there");
  // The module's own writes met a full or failing disk: a batch stops there.
  if ((result == kDiskFull || result == kWriteError) && caller.outputs() != nullptr)
    caller.outputs()->HostFailed(ErrnoText(result == kDiskFull ? ENOSPC : EIO));
  caller.Tail(*host);
  return result == kNoError ? kExitSuccess : kExitModule;
}

// Where one part's colours go in the palette: `count` entries from `first`.
struct IntoPlace {
  int first = 0;
  int count = 0;
};

// Where the colours of `group` go in the palette `bytes` of `form`; "" or the refusal.
std::string PlanInto(const Caller& caller, const std::string& into, const PaletteForm& form, int group,
                     const std::vector<uint8_t>& bytes, IntoPlace* place) {
  if (group == kNoGroup && form.Colours() > kMaxColors)
    return into + " holds " + FormText(form) + ", more than the 256 colours of one image" +
           caller.Advise({Hint::kChooseGroup, into, form.groups});
  const std::string past = group == kNoGroup ? "" : GroupPastTheLast(into, form, group);
  if (!past.empty()) return past;
  if (form.perGroup > kMaxColors)
    return into + ": a group of " + std::to_string(form.perGroup) +
           " colours is more than the 256 of an image";
  place->first = group == kNoGroup ? 0 : group * form.perGroup;
  place->count = group == kNoGroup ? int(form.Colours()) : form.perGroup;
  const uint64_t end =
      form.colorsAt + uint64_t(place->first + place->count) * uint64_t(form.EntrySize());
  if (bytes.size() >= end) return "";
  return into + " is cut short: the colours to replace end at byte " + std::to_string(end) +
         ", and the file has " + Counted(int64_t(bytes.size()), "byte", "bytes");
}

// The palette `into` read whole, and its form; "" or the refusal.
std::string ReadInto(const std::string& into, std::vector<uint8_t>* bytes, PaletteForm* form) {
  InputFile file;
  std::string error;
  if (!file.Open(into, &error) || !file.ReadAll(bytes, &error)) return error;
  const PaletteHead head = ReadPaletteHead(*bytes);
  std::string why;
  if (head.signature || bytes->size() < 4) why = FormFaultText(head, ReadPaletteForm(head, form));
  const size_t headSize = std::min<size_t>(bytes->size(), kExistingHeadBytes);
  const ExistingFile existing{into, std::vector<uint8_t>(bytes->begin(), bytes->begin() + long(headSize)),
                              bytes->size(), FileIdentity{}, 0};
  if (!head.signature && why.empty() && !PaletteFormOf(existing, form, &why) &&
      FormatOf(existing.head.data(), existing.head.size(), into) == nullptr)
    why = "it does not begin with \"KiSS\", and only a .kcf file of at least " +
          std::to_string(kHeaderlessFileSize) + " bytes laid out as 12-bit colours is read without a header";
  return why.empty() ? "" : into + " is not a KiSS palette: " + why;
}

// The colours the module saved, red, green, blue from entry 0.
bool SavedColours(const ScratchFile& scratch, std::vector<uint8_t>* colours, std::string* error) {
  std::vector<uint8_t> saved;
  if (!scratch.ReadBack(&saved, error)) return false;
  if (saved.size() == size_t{kWrittenFileSize}) {
    colours->assign(saved.begin() + kPaletteHeaderSize, saved.end());
    return true;
  }
  *error = "the module saved " + Counted(int64_t(saved.size()), "byte", "bytes") + ", where a palette it " +
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

// What putting one part back came to: how many colours 12 bits rounded,
// and which tiles of the image hold a colour the palette has no entry for.
struct PartDone {
  int rounded = 0;
  std::vector<int> leftOut;
};

// "20, 37 and 200", at most eight named.
std::string TileList(const std::vector<int>& tiles) {
  std::string text;
  const size_t named = std::min<size_t>(tiles.size(), 8);
  for (size_t i = 0; i < named; ++i)
    text += (i == 0 ? "" : i + 1 == named && named == tiles.size() ? " and " : ", ") +
            std::to_string(tiles[i]);
  if (named < tiles.size()) text += " and " + std::to_string(tiles.size() - named) + " more";
  return text;
}

void ReportInto(Caller& caller, const std::string& into, const IntoPart& part,
                const PaletteForm& form, const IntoPlace& place, uint64_t size,
                const PartDone& done) {
  const std::string where = into + (part.group == kNoGroup ? "" : " group " + std::to_string(part.group));
  caller.Done(part.source + " -> " + where + " (" + Counted(place.count, "colour", "colours") +
                  ", " + Counted(int64_t(size), "byte", "bytes") + ", " + FormText(form) + ")",
              into);
  const int black = BlackEntries(part.image, place);
  if (black > 0) {
    caller.Note(part.source + ": the image is " + std::to_string(part.image.columns) + " x " +
                std::to_string(part.image.rows) + ", so " + std::to_string(black) + " of the " +
                Counted(place.count, "colour", "colours") + " put into " + where +
                (black == 1 ? " is black" : " are black"));
  }
  if (done.rounded > 0) {
    caller.Note(into + ": 12 bits keep each channel's top four bits, so " +
                std::to_string(done.rounded) + " of the " + std::to_string(place.count) +
                " colours put back changed");
  }
  if (!done.leftOut.empty()) {
    caller.Note(part.source + ": " + (done.leftOut.size() == 1 ? "tile " : "tiles ") +
                TileList(done.leftOut) + (done.leftOut.size() == 1 ? " holds" : " hold") +
                " a colour, but " + where + " has " + std::to_string(place.count) +
                " entries (tiles 0 to " + std::to_string(place.count - 1) +
                "): what lies past them is left out");
  }
}

// One part's colours, saved by the module into a scratch file and put into
// `bytes`; the status, after the caller was told why when it is not 0.
int PutPart(Caller& caller, const std::string& into, const PaletteForm& form, const IntoPart& part,
            const IntoPlace& place, const std::string& label, std::vector<uint8_t>* bytes,
            std::unique_ptr<Host>* host, PartDone* done) {
  ScratchFile saved;
  std::string error;
  std::vector<uint8_t> colours;
  if (!saved.Begin(into, &error, caller.outputs())) return caller.Refused(error), kExitHost;
  const int status = SaveThroughModule(caller, into, label, part.image.top, saved.ref(), host);
  if (status != kExitSuccess) return status;
  if (!SavedColours(saved, &colours, &error)) return caller.Refused(error), kExitHost;
  done->rounded = PutColours(form, colours.data(), place.first, place.count, bytes);
  // A tile past the entries (a group of 16 opens as 256 tiles) painted in vain.
  for (int k = place.count; k < kGrid * kGrid; ++k) {
    const uint8_t* c = colours.data() + 3 * k;
    if (c[0] != 0 || c[1] != 0 || c[2] != 0) done->leftOut.push_back(k);
  }
  return kExitSuccess;
}

// The palette, once every part is in its bytes, put in place: whole or not
// at all, and only while it is still the file that was read.
bool ReplaceInto(const std::string& into, const std::vector<uint8_t>& bytes, const PaletteForm& form,
                 const FileStatus& read, std::shared_ptr<LockFile> lock, CommitTogether* together,
                 std::string* error) {
  AtomicFile file;
  if (!file.Begin(into, MayReplaceInto(form, read), error, together) || !file.Write(bytes, error))
    return false;
  // The lock stays until the new palette is in place, whenever that is.
  file.HoldUntilPlaced(std::move(lock));
  return file.Commit(error);
}

}  // namespace

int ReadForSaving(Caller& caller, const std::string& path, int swatch, SaveImage* image) {
  std::string error, note;
  const Format* named = FormatByName(path);
  const bool text = named != nullptr && named->kind == FileKind::kPaletteText;
  bool read = false;
  ImageFault fault;
  try {
    read = text ? ReadPaletteText(path, named->id, image, &error, &note)
                : ReadForSave(path, swatch, image, &fault);
  } catch (const std::bad_alloc&) {
    fault = ImageFault(ImageSaid::kTooBigForMemory);
    fault.file = path;
  }
  if (fault.said != ImageSaid::kNone) error = ImageWords(fault);
  if (note.empty()) note = ImageWords(image->notes);
  const int tile = read && swatch == kSwatchByLook ? SwatchTileOf(image->columns, image->rows) : 0;
  // Saved as it is, the grid's corner pixels would become the palette: a
  // swatch as plughost draws one is read one colour a tile; one edited
  // inside a tile is saved as it is, and said to look like one.
  if (read && image->swatchFound > 0)
    caller.Note(path + ": read as a swatch of " + std::to_string(image->swatchFound) +
                "-pixel tiles, one colour a tile" + caller.Advise({Hint::kSwatchFound, path, 0}));
  else if (note.empty() && tile > 0)
    note = "a " + std::to_string(image->columns) + " x " + std::to_string(image->rows) +
           " image has the size of a swatch of " + std::to_string(tile) + "-pixel tiles" +
           caller.Advise({Hint::kSwatchIfOne, path, tile});
  if (!note.empty()) caller.Note(path + ": " + note);
  // An image refused as no swatch of the tile asked, whose size is one's.
  if (!read && image->swatchOfTile > 0)
    error += caller.Advise({Hint::kSwatch, path, image->swatchOfTile});
  if (!read) caller.Refused(error);
  return read ? kExitSuccess : kExitHost;
}

int SaveNewPalette(Caller& caller, const std::string& source, const SaveImage& image,
                   const std::string& out, bool force, const std::string& label) {
  AtomicFile target;
  std::string error;
  if (!target.Begin(out, MayReplaceWithPalette(force, caller), &error, caller.outputs()))
    return caller.Refused(error), kExitHost;
  std::unique_ptr<Host> host;
  const int saved = SaveThroughModule(caller, out, label, image.top, target.ref(), &host);
  if (saved != kExitSuccess) return saved;
  const uint64_t bytes = target.BytesWritten();
  if (!target.Commit(&error)) return caller.Refused(error), kExitHost;
  caller.Done(source + " -> " + out + " (" + std::to_string(bytes) + " bytes)", out);
  const std::string note = CoverageNote(image);
  if (!note.empty()) caller.Note(source + ": " + note);
  return Verdict(caller, *host, kExitSuccess, source);
}

namespace {

// A palette's bytes as read, and each part's colours put into them.
struct PutInto {
  std::vector<uint8_t> bytes;
  PaletteForm form;
  std::vector<IntoPlace> places;
  std::vector<std::unique_ptr<Host>> hosts;
  std::vector<PartDone> done;
};

// The palette `from` read, and every part saved by the module and put into
// its bytes, said of `into`; the status, after the caller was told why
// when it is not 0.
int PutParts(Caller& caller, const std::string& from, const std::string& into,
             const std::vector<IntoPart>& parts, const std::string& label, PutInto* put) {
  put->places.resize(parts.size());
  put->hosts.resize(parts.size());
  put->done.resize(parts.size());
  std::string error = ReadInto(from, &put->bytes, &put->form);
  for (size_t i = 0; i < parts.size() && error.empty(); ++i)
    error = PlanInto(caller, into, put->form, parts[i].group, put->bytes, &put->places[i]);
  if (!error.empty()) return caller.Refused(error), kExitHost;
  for (size_t i = 0; i < parts.size(); ++i) {
    const int status = PutPart(caller, into, put->form, parts[i], put->places[i], label, &put->bytes,
                               &put->hosts[i], &put->done[i]);
    if (status != kExitSuccess) return status;
  }
  return kExitSuccess;
}

// What was put where, once the palette is in place, and the module's verdict.
int ReportParts(Caller& caller, const std::string& into, const std::vector<IntoPart>& parts,
                const PutInto& put) {
  int status = kExitSuccess;
  for (size_t i = 0; i < parts.size(); ++i) {
    ReportInto(caller, into, parts[i], put.form, put.places[i], put.bytes.size(), put.done[i]);
    status = std::max(status, Verdict(caller, *put.hosts[i], kExitSuccess, parts[i].source));
  }
  return status;
}

}  // namespace

int SaveIntoPalette(Caller& caller, const std::string& into, const std::vector<IntoPart>& parts,
                    const std::string& label) {
  // One save into a palette at a time, from its reading to its replacing.
  auto lock = std::make_shared<LockFile>();
  std::string error;
  if (!lock->Acquire(into, &error, caller.outputs())) return caller.Refused(error), kExitHost;
  const FileStatus read = StatusOf(FollowLinks(into));
  PutInto put;
  const int status = PutParts(caller, into, into, parts, label, &put);
  if (status != kExitSuccess) return status;
  if (!ReplaceInto(into, put.bytes, put.form, read, std::move(lock), caller.outputs(), &error))
    return caller.Refused(error), kExitHost;
  // The new palette is a new file: any other name of the old one keeps it.
  if (read.links > 1)
    caller.Note(into + (read.links == 2 ? " had another name (a hard link), which keeps"
                                          : " had " + std::to_string(read.links - 1) +
                                                " other names (hard links), which keep") +
                " the old bytes; the new palette is a file of its own");
  return ReportParts(caller, into, parts, put);
}

int SaveIntoCopy(Caller& caller, const std::string& from, const std::string& out,
                 const std::vector<IntoPart>& parts, const std::string& label) {
  PutInto put;
  const int status = PutParts(caller, from, out, parts, label, &put);
  if (status != kExitSuccess) return status;
  AtomicFile file;
  std::string error;
  if (!file.Begin(out, MayReplaceWithPalette(false, caller), &error, caller.outputs()) ||
      !file.Write(put.bytes, &error) || !file.Commit(&error))
    return caller.Refused(error), kExitHost;
  return ReportParts(caller, out, parts, put);
}

int SaveToFile(Caller& caller, const SaveRequest& request, const std::string& path,
               const std::string& label) {
  SaveImage image;
  const int read = ReadForSaving(caller, path, request.swatch, &image);
  if (read != kExitSuccess) return read;
  if (request.into.empty())
    return SaveNewPalette(caller, path, image, OutputFor(request, path), request.force, label);
  return SaveIntoPalette(caller, request.into, {IntoPart{path, request.group, image}}, label);
}

namespace {

// The group a layer goes back into, by its name as palettes open: "palette"
// the whole, "group N" group N; false for any other name.
bool GroupOfLayer(const std::string& name, int* group) {
  if (name == "palette") return *group = kNoGroup, true;
  const std::string prefix = "group ";
  return name.compare(0, prefix.size(), prefix) == 0 && GroupNumberOf(name.substr(prefix.size()), group);
}

// The parts of an export into a palette of another form; "" or the refusal.
std::string LayersAsParts(const std::string& target, const PaletteForm& form,
                          const std::vector<NamedLayer>& layers, std::vector<IntoPart>* parts) {
  std::set<int> seen;
  for (const NamedLayer& layer : layers) {
    int group = kNoGroup;
    if (!GroupOfLayer(layer.name, &group))
      return target + " is a palette of " + FormText(form) + ", whose colours go back from layers "
             "named as it opens (\"palette\", or \"group 0\" and on); this image has a layer \"" +
             layer.name + "\", and the file is left as it was";
    if (!seen.insert(group).second)
      return target + ": two layers are named \"" + layer.name + "\"; the file is left as it was";
    parts->push_back(IntoPart{"layer \"" + layer.name + "\"", group, layer.image});
  }
  if (!parts->empty()) return "";
  return target + " is a palette of " + FormText(form) + ", and the image has no layer to put back";
}

// "group 3", "groups 0 to 4", "groups 0, 2 and 5 to 9".
std::string GroupsNamed(const std::vector<int>& groups) {
  std::vector<std::string> runs;
  for (size_t i = 0; i < groups.size();) {
    size_t j = i;
    while (j + 1 < groups.size() && groups[j + 1] == groups[j] + 1) ++j;
    runs.push_back(std::to_string(groups[i]) + (j > i ? " to " + std::to_string(groups[j]) : ""));
    i = j + 1;
  }
  std::string text = groups.size() == 1 ? "group " : "groups ";
  for (size_t r = 0; r < runs.size(); ++r)
    text += (r == 0 ? "" : r + 1 == runs.size() ? " and " : ", ") + runs[r];
  return text;
}

// An export whose layers are not the palette's groups one for one says
// which groups it wrote and which it kept.
void NoteGroupsKept(Caller& caller, const std::string& target, const PaletteForm& form,
                    const std::vector<IntoPart>& parts) {
  std::vector<bool> written(size_t(form.groups), false);
  for (const IntoPart& part : parts) {
    if (part.group == kNoGroup) return;  // the whole palette
    written[size_t(part.group)] = true;
  }
  std::vector<int> put, kept;
  for (int g = 0; g < form.groups; ++g) (written[size_t(g)] ? put : kept).push_back(g);
  if (kept.empty()) return;
  caller.Note(target + ": " + GroupsNamed(put) + " written from " +
              (put.size() == 1 ? "its layer" : "their layers") + "; " + GroupsNamed(kept) + ", with no layer, " +
              (kept.size() == 1 ? "is" : "are") + " kept as " + (kept.size() == 1 ? "it was" : "they were"));
}

}  // namespace

namespace {

// Whether `path` holds a palette of another form than the module writes,
// and which.
bool OtherFormAt(const std::string& path, PaletteForm* form) {
  InputFile existing;
  std::string ignored;
  bool other = false;
  if (existing.Open(path, &ignored)) {
    const ExistingFile file{path, existing.Head(kExistingHeadBytes), existing.size(), FileIdentity{}, 0};
    other = PaletteFormOf(file, form, &ignored) && !form->IsWritten();
  }
  existing.Close();  // Windows replaces no file that is open
  return other;
}

// An image of layers opened from `origin`, a palette of another form,
// exported under a name of its own: a copy of that palette with each
// layer's colours put back, rather than the top layer alone, so that no
// group is lost; the flattened image, or one not of its groups, as it is.
int ExportCopy(Caller& caller, const std::string& origin, const PaletteForm& form,
               const std::string& target, const SaveImage& flat,
               const std::vector<NamedLayer>& layers) {
  std::vector<IntoPart> parts;
  const std::string label = "Exporting " + target;
  if (!LayersAsParts(target, form, layers, &parts).empty() ||
      (parts.size() == 1 && parts.front().group != kNoGroup && form.groups > 1))
    return SaveNewPalette(caller, target, flat, target, false, label);
  const int status = SaveIntoCopy(caller, origin, target, parts, label);
  if (status == kExitSuccess) NoteGroupsKept(caller, target, form, parts);
  return status;
}

}  // namespace

int ExportPalette(Caller& caller, const std::string& target, const SaveImage& flat,
                  const std::vector<NamedLayer>& layers, const std::string& origin) {
  PaletteForm form;
  if (!OtherFormAt(target, &form)) {
    PaletteForm from;
    if (!origin.empty() && OtherFormAt(origin, &from))
      return ExportCopy(caller, origin, from, target, flat, layers);
    return SaveNewPalette(caller, target, flat, target, false, "Exporting " + target);
  }
  std::vector<IntoPart> parts;
  std::string refusal = LayersAsParts(target, form, layers, &parts);
  // One layer of a group over a palette of many is what flattening leaves:
  // the composite of every layer, under the bottom one's name.
  if (refusal.empty() && parts.size() == 1 && parts.front().group != kNoGroup && form.groups > 1)
    refusal = target + " has " + std::to_string(form.groups) + " groups, and the image has one " +
              "layer, " + parts.front().source.substr(std::string("layer ").size()) +
              ", as flattening leaves it: its colours would go into that group alone; the file " +
              "is left as it was" + caller.Advise({Hint::kOneLayerOfMany, target, form.groups});
  if (!refusal.empty()) return caller.Refused(refusal), kExitHost;
  const int status = SaveIntoPalette(caller, target, parts, "Exporting " + target);
  if (status == kExitSuccess) NoteGroupsKept(caller, target, form, parts);
  return status;
}

}  // namespace plughost
