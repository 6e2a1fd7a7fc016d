/* An empty Windows program: what starting one costs. It also stands in for
   regsvr32.exe while the benchmark times the installers. Built with -DRECORD
   it writes its command line into a new file in the folder that
   TARNVEL_BENCH_RECORD names, so the benchmark can check what each
   installer started. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR tail, int show) {
  (void)instance;
  (void)previous;
  (void)tail;
  (void)show;
#ifdef RECORD
  /* One new file per start in the folder that TARNVEL_BENCH_RECORD names:
     appends of processes running side by side could lose a line. */
  char folder[MAX_PATH], path[MAX_PATH + 32];
  const DWORD length = GetEnvironmentVariableA("TARNVEL_BENCH_RECORD", folder, sizeof folder);
  if (length == 0 || length >= sizeof folder) return 0;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int n = 0; file == INVALID_HANDLE_VALUE && n < 1000; ++n) {
    wsprintfA(path, "%s\\%lu_%d.txt", folder, GetCurrentProcessId(), n);
    file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return 1;
  }
  if (file == INVALID_HANDLE_VALUE) return 1;
  /* One write, newline included: the benchmark counts finished lines. */
  char line[1024];
  lstrcpynA(line, GetCommandLineA(), sizeof line - 1);
  lstrcatA(line, "\n");
  DWORD written;
  WriteFile(file, line, (DWORD)lstrlenA(line), &written, NULL);
  CloseHandle(file);
#endif
  return 0;
}
