/* The bare job: starts "regsvr32.exe /s <target>" from the system directory
   for each target named on the command line, hidden. Built with -DWAIT it
   then waits for all of them to end, as setup.exe does. */
#include <stdlib.h>

#include "start_registration.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR tail, int show) {
  (void)instance;
  (void)previous;
  (void)tail;
  (void)show;
  char sysdir[MAX_PATH], target[2 * MAX_PATH];
  HANDLE started[MAXIMUM_WAIT_OBJECTS];
  DWORD count = 0;
  UINT n = GetSystemDirectoryA(sysdir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || __argc > MAXIMUM_WAIT_OBJECTS) return 3;
  for (int i = 1; i < __argc; ++i) {
    if (strlen(sysdir) + strlen(__argv[i]) + 2 > sizeof target) return 3;
    lstrcpyA(target, sysdir);
    lstrcatA(target, "\\");
    lstrcatA(target, __argv[i]);
    if ((started[count] = StartRegistration(sysdir, target)) == NULL) return 1;
    ++count;
  }
#ifdef WAIT
  if (count > 0 && WaitForMultipleObjects(count, started, TRUE, 60000) != WAIT_OBJECT_0) return 1;
#endif
  while (count > 0) CloseHandle(started[--count]);
  return 0;
}
