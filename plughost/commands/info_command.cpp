// plughost info: the module's property list, decoded without running its code.
#include <CLI/CLI.hpp>
#include <memory>

#include "plughost/commands/commands.h"
#include "plughost/commands/terminal.h"
#include "plughost/host/module_loader.h"

namespace plughost {

namespace {

// info reads the property list and runs none of the module's code.
const HostOptionUse kInfoUses = {false, false, nullptr, false};

// The host's image modes in the order of the "mode" bits (top bit first)
// and of the "mxch" entries.
constexpr const char* kModeNames[] = {
    "bitmap", "grayscale",    "indexed",           "RGB",      "CMYK",   "HSL",
    "HSB",    "multichannel", "duotone",           "Lab",      "gray16", "RGB48",
    "Lab48",  "CMYK64",       "deep multichannel", "duotone16"};

std::string JoinExtensions(const std::vector<std::string>& list) {
  std::string text;
  for (const std::string& e : list) text += (text.empty() ? "" : ", ") + ExtensionText(e);
  return text.empty() ? "none" : text;
}

std::string Hex(uint32_t value, int digits) {
  static const char* const kDigits = "0123456789abcdef";
  std::string text;
  for (int i = digits - 1; i >= 0; --i) text += kDigits[(value >> (4 * i)) & 0xF];
  return "0x" + text;
}

void PrintPropertyList(const PropertyList& p, std::ostream& out) {
  out << "kind:              " << CodeText(p.kind)
      << (p.kind == MakeFourCharCode("8BIF") ? " (file-format module)" : "") << "\n";
  out << "name:              " << p.name << "\n";
  out << "interface version: " << p.interfaceMajor << "." << p.interfaceMinor << "\n";
  out << "entry point:       " << (p.entryPointX64.empty() ? p.entryPointX86 : p.entryPointX64)
      << "\n";
  if (!p.entryPointX64.empty()) out << "code:              x86-64 (\"8664\")\n";
  std::string modes;
  for (int bit = 0; bit < 16; ++bit) {
    if ((p.modes & (0x8000u >> bit)) != 0)
      modes += (modes.empty() ? "" : ", ") + std::string(kModeNames[bit]);
  }
  out << "image modes:       " << Hex(p.modes, 4) << " (" << (modes.empty() ? "none" : modes)
      << ")\n";
  out << "enabled when:      " << p.enableExpression << "\n";
  out << "reads:             " << JoinExtensions(p.readExtensions) << "\n";
  out << "writes:            " << JoinExtensions(p.writeExtensions) << "\n";
  out << "filters:           " << JoinExtensions(p.filterExtensions);
  for (const FilterType& t : p.filterTypes)
    out << "; type \"" << CodeText(t.fileType) << "\" creator \"" << CodeText(t.creator) << "\"";
  out << "\n";
  out << "file type:         \"" << CodeText(p.fileType) << "\" creator \""
      << CodeText(p.fileCreator) << "\"\n";
  out << "format flags:      " << Hex(p.formatFlags, 2) << "\n";
  out << "largest size:      " << p.maxRows << " rows x " << p.maxColumns << " columns\n";
  out << "channels:         ";
  for (size_t i = 0; i < p.maxChannels.size(); ++i) {
    out << (i == 0 ? " " : ", ") << (i < 16 ? kModeNames[i] : "mode " + std::to_string(i)) << " "
        << p.maxChannels[i];
  }
  out << "\n";
  if (p.hasTerminology) {
    out << "terminology:       AETE " << p.terminologyId << ", class \""
        << CodeText(p.terminologyClass) << "\", scope \"" << p.terminologyScope << "\"\n";
  }
}

}  // namespace

int RunInfo(const Options& options, const std::string& module, Streams io) {
  const std::string path = !module.empty()           ? module
                           : !options.module.empty() ? options.module
                                                     : DefaultModulePath();
  PropertyList list;
  std::string error;
  if (!LoadModulePropertyList(path, &list, &error)) {
    io.err << "plughost: " << Printable(error) << "\n";
    return kExitHost;
  }
  io.out << "module:            " << path << "\n";
  PrintPropertyList(list, io.out);
  return kExitSuccess;
}

CommandRow InfoCommand() {
  return {"info", "Print the module's property list, decoded, without running its code",
          kInfoUses, [](CLI::App& command) -> CommandRun {
            auto module = std::make_shared<std::string>();
            command.add_option("MODULE", *module, "The module file (default: as --module)")
                ->type_name("");
            return [module](const Options& options, Streams io) {
              return RunInfo(options, *module, io);
            };
          }};
}

}  // namespace plughost
