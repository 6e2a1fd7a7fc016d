#include "app/win32_startup.h"

namespace tarnvel {

FARPROC SystemFunctionAddress(const char* library, const char* name) {
  const HMODULE module = ::GetModuleHandleA(library);
  return module != nullptr ? ::GetProcAddress(module, name) : nullptr;
}

void HardenProcess() {
  // Systems without the update that brought it lack it.
  if (const auto setDefaultDllDirectories =
          SystemFunction<BOOL(WINAPI*)(DWORD)>("kernel32.dll", "SetDefaultDllDirectories")) {
    setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  // Where it is missing, this at least takes the current directory out.
  ::SetDllDirectoryA("");
}

}  // namespace tarnvel
