/* An empty Windows program: what starting one costs. It also stands in for
   regsvr32.exe while the benchmark times the installers. Built with -DRECORD
   it appends its command line to the file that TARNVEL_BENCH_RECORD names,
   so the benchmark can check what each installer started. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR tail, int show) {
  (void)instance;
  (void)previous;
  (void)tail;
  (void)show;
#ifdef RECORD
  char path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("TARNVEL_BENCH_RECORD", path, sizeof path);
  if (length == 0 || length >= sizeof path) return 0;
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return 1;
  /* One write per line, so that lines of processes running side by side
     do not interleave. */
  char line[1024];
  lstrcpynA(line, GetCommandLineA(), sizeof line - 1);
  lstrcatA(line, "\n");
  DWORD written;
  WriteFile(file, line, (DWORD)lstrlenA(line), &written, NULL);
  CloseHandle(file);
#endif
  return 0;
}
