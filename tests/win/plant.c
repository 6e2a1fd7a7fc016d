// Stands for a DLL planted beside the setup program, and built as a program
// for the regsvr32.exe planted there, which the setup must never start either.
// Loaded or run in a process whose environment names a folder in
// TARNVEL_PLANT_MARKS, it leaves a file there named after itself: the test
// then knows which name was loaded or run.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  char mark[MAX_PATH], path[MAX_PATH];
  const DWORD folder = GetEnvironmentVariableA("TARNVEL_PLANT_MARKS", mark, MAX_PATH - 1);
  const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
  if (reason != DLL_PROCESS_ATTACH || folder == 0 || folder >= MAX_PATH - 1 || length == 0 ||
      length >= MAX_PATH)
    return TRUE;
  const char* name = path + length;
  while (name > path && name[-1] != '\\') --name;
  lstrcpynA(mark + folder, "\\", 2);
  lstrcpynA(mark + folder + 1, name, MAX_PATH - (int)folder - 1);
  CloseHandle(CreateFileA(mark, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
  return TRUE;
}

__declspec(dllexport) int TvlPlanted(void) { return 1; }

int main(void) { return DllMain(NULL, DLL_PROCESS_ATTACH, NULL) ? 0 : 1; }
