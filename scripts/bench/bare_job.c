/* The bare job: starts "regsvr32.exe /s <target>" from the system directory
   for each target named on the command line, hidden, without waiting. */
#include <stdlib.h>
#include <string.h>
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR tail, int show) {
  (void)instance;
  (void)previous;
  (void)tail;
  (void)show;
  char sysdir[MAX_PATH], image[MAX_PATH + 16], command[3 * MAX_PATH];
  UINT n = GetSystemDirectoryA(sysdir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 3;
  lstrcpyA(image, sysdir);
  lstrcatA(image, "\\regsvr32.exe");
  for (int i = 1; i < __argc; ++i) {
    if (strlen(sysdir) + strlen(__argv[i]) + 40 > sizeof command) return 3;
    lstrcpyA(command, "regsvr32.exe /s \"");
    lstrcatA(command, sysdir);
    lstrcatA(command, "\\");
    lstrcatA(command, __argv[i]);
    lstrcatA(command, "\"");
    STARTUPINFOA startup = {0};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started;
    if (!CreateProcessA(image, command, NULL, NULL, FALSE, 0, NULL, sysdir, &startup, &started))
      return 1;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
  }
  return 0;
}
