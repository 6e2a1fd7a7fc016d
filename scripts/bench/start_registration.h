/* What every reference starts for a target, as setup.exe starts it:
   "regsvr32.exe /s" and the quoted path, hidden, in the system directory.
   The process handle, or NULL when it cannot be started. */
#include <string.h>
#include <windows.h>

static HANDLE StartRegistration(const char* sysdir, const char* target) {
  char image[MAX_PATH + 16], command[3 * MAX_PATH];
  if (strlen(sysdir) + 16 > sizeof image || strlen(target) + 20 > sizeof command) return NULL;
  lstrcpyA(image, sysdir);
  lstrcatA(image, "\\regsvr32.exe");
  lstrcpyA(command, "regsvr32.exe /s \"");
  lstrcatA(command, target);
  lstrcatA(command, "\"");
  STARTUPINFOA startup = {0};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(image, command, NULL, NULL, FALSE, 0, NULL, sysdir, &startup, &process))
    return NULL;
  CloseHandle(process.hThread);
  return process.hProcess;
}
