// The palette an image was opened from, kept on the image for the length of
// the session (a parasite GIMP does not save in an XCF), so that an export
// under another name writes that palette with each layer put back, in both
// GIMPs' plug-ins.
#pragma once

namespace file_kcf {

constexpr char kOriginParasite[] = "zentrow-palette-origin";

}  // namespace file_kcf
