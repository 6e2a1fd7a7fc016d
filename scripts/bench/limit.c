/* The limit: what setup.exe's job takes at the least. For each argument
   NAME=SIZE it writes SIZE bytes durably over NAME in the system directory
   (a new temporary file beside it, one write, a flush, a rename of the open
   file over it) and starts "regsvr32.exe /s <target>" hidden; at the end it
   waits for every registration. Nothing else: no payload store, no checks, no log. */
#include <stdlib.h>

#include "start_registration.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR tail, int show) {
  (void)instance;
  (void)previous;
  (void)tail;
  (void)show;
  char sysdir[MAX_PATH], target[2 * MAX_PATH], temporary[2 * MAX_PATH];
  HANDLE started[MAXIMUM_WAIT_OBJECTS];
  DWORD count = 0, sizes[MAXIMUM_WAIT_OBJECTS], largest = 0;
  UINT n = GetSystemDirectoryA(sysdir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || __argc > MAXIMUM_WAIT_OBJECTS) return 3;
  for (int i = 1; i < __argc; ++i) {
    char* size = strchr(__argv[i], '=');
    if (size == NULL || strlen(sysdir) + strlen(__argv[i]) + 16 > sizeof target) return 3;
    *size++ = '\0';
    sizes[i] = strtoul(size, NULL, 10);
    if (sizes[i] > largest) largest = sizes[i];
  }
  /* One buffer for all: setup.exe's payloads are already in its image. */
  void* data = VirtualAlloc(NULL, largest + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (data == NULL) return 3;
  lstrcpyA(temporary, sysdir);
  lstrcatA(temporary, "\\~limit.tmp");
  for (int i = 1; i < __argc; ++i) {
    lstrcpyA(target, sysdir);
    lstrcatA(target, "\\");
    lstrcatA(target, __argv[i]);
    /* Renamed by its handle, in one step over the target, as setup.exe does. */
    struct {
      FILE_RENAME_INFO info;
      WCHAR rest[2 * MAX_PATH];
    } rename;
    ZeroMemory(&rename, sizeof rename);
    rename.info.ReplaceIfExists = TRUE;
    const int length = MultiByteToWideChar(CP_ACP, 0, target, -1, rename.info.FileName,
                                           2 * MAX_PATH);
    if (length <= 0) return 3;
    rename.info.FileNameLength = (DWORD)(length - 1) * sizeof(WCHAR);
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE | DELETE, 0, NULL, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD written = 0;
    const BOOL stored =
        file != INVALID_HANDLE_VALUE && WriteFile(file, data, sizes[i], &written, NULL) &&
        written == sizes[i] && FlushFileBuffers(file) &&
        SetFileInformationByHandle(file, FileRenameInfo, &rename, sizeof rename);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!stored) return 1;
    if ((started[count] = StartRegistration(sysdir, target)) == NULL) return 1;
    ++count;
  }
  if (count > 0 && WaitForMultipleObjects(count, started, TRUE, 60000) != WAIT_OBJECT_0) return 1;
  while (count > 0) CloseHandle(started[--count]);
  return 0;
}
