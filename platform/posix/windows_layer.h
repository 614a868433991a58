// The few Windows calls the module makes, for POSIX systems: file access by
// descriptor, movable global memory over the heap, the string table compiled
// in from resources/strings.inc, and a message box shown on the terminal.
#pragma once

#include <cstdint>

typedef int HFILE;
typedef uint32_t UINT;
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef int BOOL;
typedef void* HGLOBAL;
typedef void* LPVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef const char* LPCCH;
typedef struct PosixInstance* HINSTANCE;
typedef struct PosixWindow* HWND;

#define WINAPI
#define HFILE_ERROR ((HFILE)-1)
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define MB_OK 0x00000000u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONINFORMATION 0x00000040u
#define IDOK 1
#define DLL_PROCESS_ATTACH 1
#define DLL_PROCESS_DETACH 0

// Reads up to n bytes at the current position; the count read (short only at
// the end of the file), or HFILE_ERROR.
UINT _lread(HFILE file, LPVOID buffer, UINT n);
// Writes n bytes at the current position; the count written (short when the
// disk is full), or HFILE_ERROR.
UINT _lwrite(HFILE file, LPCCH buffer, UINT n);
LONG _llseek(HFILE file, LONG offset, int origin);

// Movable memory: the handle stays valid while the block is locked or not;
// GlobalHandle maps a locked address back to its handle.
HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
LPVOID GlobalLock(HGLOBAL memory);
BOOL GlobalUnlock(HGLOBAL memory);
HGLOBAL GlobalHandle(const void* address);
HGLOBAL GlobalFree(HGLOBAL memory);

// Copies string `id` of the module's table into buffer, at most size - 1
// characters and a terminating zero; returns the characters copied, 0 when
// there is no such string. Texts are in the Windows ANSI code page (1252).
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);

// Shows the box on stderr as one line and answers IDOK (see posix_test_hooks.h).
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// The module's own attach routine, called once when the library is loaded.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
    __attribute__((weak));
