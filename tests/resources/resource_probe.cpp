// Refers to the string table only, as the POSIX layer does, so that the
// object holding the property list is linked in without being referred to.
#include "resources/resource_bytes.h"

extern "C" __attribute__((visibility("default"))) int ProbeStringCount() { return kStringTableSize; }
