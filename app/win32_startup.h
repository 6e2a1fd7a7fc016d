#pragma once

#include <windows.h>

namespace tarnvel {

// First thing the program does: DLLs loaded from now on come only from the
// system directory, never from the current directory or the one the setup
// was started from (where a planted copy could wait beside a download).
void HardenProcess();

// Loads one of the libraries the program loads after start-up, by its full
// path in the system directory, with the libraries it brings in loaded from
// there before it (win32_startup.cpp lists them all, with the reason for each).
// Null when it cannot be loaded; a name that is not in the list is never loaded.
HMODULE LoadSystemLibrary(const char* name);

// Loads the library `name` (at most 30 ASCII characters) by its full path in
// the system directory, with the loader told to look for its own imports
// there too. Null when it cannot be loaded.
HMODULE LoadFromSystemDirectory(const char* name);

// A function that older systems lack, looked up by name in a system library
// the process has already loaded; null where either is missing. Wine answers
// GetModuleHandle by searching the disk, so a caller that needs one
// repeatedly looks it up once.
FARPROC SystemFunctionAddress(const wchar_t* library, const char* name);
template <typename Function>
Function SystemFunction(const wchar_t* library, const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void (*)()>(SystemFunctionAddress(library, name)));
}

}  // namespace tarnvel
