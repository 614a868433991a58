// The module file as plughost reads it before loading it: its headers
// checked for parts past its end, its property list found as an ELF section
// or a DLL's "PIPL" resource and decoded, and the same bytes decoded as a
// property list themselves. What is found lies inside the file; a decoding
// that stops says where, inside the bytes.
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "plughost/host/elf_sections.h"
#include "plughost/host/module_file.h"
#include "plughost/host/property_list.h"

namespace {

void Decode(const uint8_t* bytes, size_t size) {
  PropertyList list;
  size_t stopped = 0;
  const PropertyListError error = DecodePropertyList(bytes, size, &list, &stopped);
  FUZZ_REQUIRE(PropertyListErrorText(error) != nullptr, "an error without words");
  if (error != PropertyListError::kNone) {
    FUZZ_REQUIRE(stopped <= size, "stopped at %zu of %zu bytes", stopped, size);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> file(data, data + size);
  const bool loadable = plughost::UnloadableReason(file).empty();
  size_t offset = 0, length = 0;
  if (plughost::FindPeResource(file, "PIPL", &offset, &length)) {
    FUZZ_REQUIRE(loadable, "a resource found in a file that may not be loaded");
    FUZZ_REQUIRE(offset <= size && length <= size - offset, "a resource of %zu bytes at %zu in %zu",
                 length, offset, size);
    Decode(data + offset, length);
  }
  if (FindElfSection(data, size, ".zentrow_pipl", &offset, &length) == PropertyListError::kNone) {
    FUZZ_REQUIRE(offset <= size && length <= size - offset, "a section of %zu bytes at %zu in %zu",
                 length, offset, size);
    Decode(data + offset, length);
  }
  Decode(data, size);
  return 0;
}
