# Cross build of the 64-bit Windows DLL with Debian's mingw-w64, tests under
# 64-bit wine.
set(ZENTROW_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
