// Where the program's libraries come from. An elevated setup is started from
// wherever it was saved, typically beside whatever else was downloaded: a DLL
// waiting there under a system library's name must never be loaded.
//
// The executable imports only kernel32, ntdll and msvcrt, which Windows loads
// from its own list of known DLLs before the program runs. Everything else is
// in kLibraries below.
#include "app/win32_startup.h"

#include <cstring>
#include <iterator>

namespace tarnvel {

namespace {

struct Library {
  const char* name;
  // Loaded before it, by their full paths: libraries it brings in on demand
  // or through a forwarded export, which the loader looks for by a plain
  // search that older systems (and Wine, for forwards) start in the
  // program's folder. One that a system lacks is passed over.
  const char* brings[2];
};

// Every library the program loads after start-up, and why.
constexpr Library kLibraries[] = {
    // Windows and message boxes: the interactive run, and a run's event
    // pumps once a window exists. Themes and desktop composition come on
    // demand.
    {"user32.dll", {"uxtheme.dll", "dwmapi.dll"}},
    // Painting the two windows.
    {"gdi32.dll", {}},
    // The registry (the restart's RunOnce value, the renames pending for it)
    // and the restore privilege for a replacement's owner: only a run with a
    // component in use or a leftover to sweep. Windows 7's advapi32 loads
    // cryptbase by name.
    {"advapi32.dll", {"cryptbase.dll"}},
    // Whether Windows protects a target: SfcIsFileProtected is forwarded to
    // sfc_os.dll, which the loader finds by a search of its own.
    {"sfc.dll", {"sfc_os.dll"}},
};

// LOAD_LIBRARY_SEARCH_SYSTEM32 came with the update that brought
// SetDefaultDllDirectories; without it, a full path with
// LOAD_WITH_ALTERED_SEARCH_PATH at least starts the search for static
// dependencies in the system directory rather than the program's folder.
DWORD GuardFlags() {
  static const DWORD flags =
      SystemFunctionAddress(L"kernel32.dll", "SetDefaultDllDirectories") != nullptr
          ? LOAD_LIBRARY_SEARCH_SYSTEM32
          : LOAD_WITH_ALTERED_SEARCH_PATH;
  return flags;
}

}  // namespace

// On the stack, not the heap: the unexpected-error end may bind user32 here.
HMODULE LoadFromSystemDirectory(const char* name) {
  WCHAR path[MAX_PATH + 32];
  const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  const std::size_t nameLength = std::strlen(name);
  if (length == 0 || length >= MAX_PATH || nameLength >= 31) return nullptr;
  path[length] = L'\\';
  // The names are ASCII.
  for (std::size_t i = 0; i <= nameLength; ++i) path[length + 1 + i] = static_cast<WCHAR>(name[i]);
  return ::LoadLibraryExW(path, nullptr, GuardFlags());
}

FARPROC SystemFunctionAddress(const wchar_t* library, const char* name) {
  const HMODULE module = ::GetModuleHandleW(library);
  return module != nullptr ? ::GetProcAddress(module, name) : nullptr;
}

HMODULE LoadSystemLibrary(const char* name) {
  // Each function bound on first use asks again: loaded once, kept for the run.
  static HMODULE loaded[std::size(kLibraries)] = {};
  for (std::size_t i = 0; i < std::size(kLibraries); ++i) {
    const Library& library = kLibraries[i];
    if (_stricmp(library.name, name) != 0) continue;
    if (loaded[i] != nullptr) return loaded[i];
    for (const char* brought : library.brings)
      if (brought != nullptr) LoadFromSystemDirectory(brought);
    return loaded[i] = LoadFromSystemDirectory(library.name);
  }
  return nullptr;
}

void HardenProcess() {
  // For the system's own loads on the program's behalf. Systems without the
  // update that brought it lack it.
  if (const auto setDefaultDllDirectories =
          SystemFunction<BOOL(WINAPI*)(DWORD)>(L"kernel32.dll", "SetDefaultDllDirectories")) {
    setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  // Where it is missing, this at least takes the current directory out.
  ::SetDllDirectoryW(L"");
}

}  // namespace tarnvel
