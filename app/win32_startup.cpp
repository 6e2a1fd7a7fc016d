#include "app/win32_startup.h"

#include <windows.h>

namespace tarnvel {

void HardenProcess() {
  // Looked up by name: systems without the update that brought it lack it.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  if (const HMODULE kernel = ::GetModuleHandleA("kernel32.dll")) {
    if (const FARPROC found = ::GetProcAddress(kernel, "SetDefaultDllDirectories")) {
      const auto setDefaultDllDirectories =
          reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(found));
      setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
  }
  // Where it is missing, this at least takes the current directory out.
  ::SetDllDirectoryA("");
}

}  // namespace tarnvel
