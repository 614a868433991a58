# What both Windows cross builds share, with Debian's mingw-w64: the triplet
# (i686 or x86_64) is set by the toolchain file that includes this one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZENTROW_MINGW_ARCH})
# The posix-threads variant: GoogleTest needs std::mutex.
set(CMAKE_C_COMPILER ${ZENTROW_MINGW_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZENTROW_MINGW_ARCH}-w64-mingw32-g++-posix)
# SSE2 arithmetic, so number text does not depend on the x87 precision a host sets.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_RC_COMPILER ${ZENTROW_MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZENTROW_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# CMAKE_CROSSCOMPILING_EMULATOR is set by the project to its generated wine-run.sh
# Only Windows' own DLLs at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
