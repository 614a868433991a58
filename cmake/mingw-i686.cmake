# Cross build of the 32-bit Windows DLL with Debian's mingw-w64, tests under wine.
set(ZENTROW_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
