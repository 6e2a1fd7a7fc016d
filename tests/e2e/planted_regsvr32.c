// A regsvr32.exe planted beside setup.exe, in its current folder. The setup
// starts the system's own tool by its full path, so this one must never run;
// if it does, it leaves a note beside itself.
#include <windows.h>

int main(void) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
  while (length > 0 && path[length - 1] != '\\') --length;
  lstrcpyA(path + length, "planted-regsvr32-ran.txt");
  CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
  return 0;
}
