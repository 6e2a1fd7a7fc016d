// A regsvr32.exe planted beside setup.exe, in its current folder. The setup
// starts the system's own tool by its full path, so this one must never run;
// if it does, it leaves its mark in the folder TARNVEL_PLANT_MARKS names.
#include <windows.h>

int main(void) {
  char path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("TARNVEL_PLANT_MARKS", path, MAX_PATH - 16);
  if (length == 0 || length >= MAX_PATH - 16) return 1;
  lstrcpyA(path + length, "\\regsvr32.exe");
  CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
  return 0;
}
