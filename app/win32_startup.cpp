#include "app/win32_startup.h"

namespace tarnvel {

FARPROC Kernel32Address(const char* name) {
  const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  return kernel != nullptr ? ::GetProcAddress(kernel, name) : nullptr;
}

void HardenProcess() {
  // Systems without the update that brought it lack it.
  if (const auto setDefaultDllDirectories =
          Kernel32Function<BOOL(WINAPI*)(DWORD)>("SetDefaultDllDirectories")) {
    setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  // Where it is missing, this at least takes the current directory out.
  ::SetDllDirectoryA("");
}

}  // namespace tarnvel
