// The module's property list as plughost info reads it: the bytes as a
// native library file, its ".zentrow_pipl" section found and decoded, and
// the same bytes decoded as a property list themselves. A section found
// lies inside the file; a decoding that stops says where, inside the bytes.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "plughost/host/elf_sections.h"
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
  size_t offset = 0, length = 0;
  if (FindElfSection(data, size, ".zentrow_pipl", &offset, &length) == PropertyListError::kNone) {
    FUZZ_REQUIRE(offset <= size && length <= size - offset, "a section of %zu bytes at %zu in %zu",
                 length, offset, size);
    Decode(data + offset, length);
  }
  Decode(data, size);
  return 0;
}
