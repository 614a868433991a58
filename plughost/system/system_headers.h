// The operating system's headers on the host side: windows.h in the Windows
// build (trimmed by the build's WIN32_LEAN_AND_MEAN and NOMINMAX), the POSIX
// headers natively. The module has its own in
// platform/platform.h.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
