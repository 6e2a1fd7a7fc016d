/* The limit: what setup.exe's job takes at the least. For each argument
   NAME=SIZE it writes SIZE bytes durably over NAME in the system directory
   (a new temporary file beside it, one write, a flush, a rename over it) and
   starts "regsvr32.exe /s <target>" hidden; at the end it waits for every
   registration. Nothing else: no payload store, no checks, no log. */
#include <stdlib.h>

#include "start_registration.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR tail, int show) {
  (void)instance;
  (void)previous;
  (void)tail;
  (void)show;
  char sysdir[MAX_PATH], target[2 * MAX_PATH], temporary[2 * MAX_PATH];
  HANDLE started[MAXIMUM_WAIT_OBJECTS];
  DWORD count = 0;
  UINT n = GetSystemDirectoryA(sysdir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || __argc > MAXIMUM_WAIT_OBJECTS) return 3;
  for (int i = 1; i < __argc; ++i) {
    char* size = strchr(__argv[i], '=');
    if (size == NULL || strlen(sysdir) + strlen(__argv[i]) + 40 > sizeof target) return 3;
    *size++ = '\0';
    const DWORD bytes = strtoul(size, NULL, 10);
    void* data = VirtualAlloc(NULL, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (data == NULL) return 3;
    lstrcpyA(target, sysdir);
    lstrcatA(target, "\\");
    lstrcatA(target, __argv[i]);
    lstrcpyA(temporary, sysdir);
    lstrcatA(temporary, "\\~limit.tmp");
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              NULL);
    DWORD written = 0;
    const BOOL stored = file != INVALID_HANDLE_VALUE &&
                        WriteFile(file, data, bytes, &written, NULL) && written == bytes &&
                        FlushFileBuffers(file);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    VirtualFree(data, 0, MEM_RELEASE);
    if (!stored || !MoveFileExA(temporary, target, MOVEFILE_REPLACE_EXISTING)) return 1;

    if ((started[count] = StartRegistration(sysdir, target)) == NULL) return 1;
    ++count;
  }
  if (count > 0 && WaitForMultipleObjects(count, started, TRUE, 60000) != WAIT_OBJECT_0) return 1;
  while (count > 0) CloseHandle(started[--count]);
  return 0;
}
