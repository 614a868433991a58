# The WebAssembly build with Debian's emscripten: the module, plughost's host
# and palette layers and the page's bindings, from the same sources, over the
# POSIX platform layer on emscripten's in-memory file system. Its tests run
# under Node.js: wasm32 has 32-bit pointers, as the 32-bit DLL.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
# Debian's emscripten finds acorn, which its JavaScript optimiser needs,
# only on this path; ninja runs the compiler with this environment.
set(CMAKE_C_COMPILER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
set(CMAKE_CXX_COMPILER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
set(CMAKE_C_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
# Node.js 18 and later would fetch the .wasm beside a program as a URL.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/node --no-experimental-fetch)
