/* Put in the system directory in place of regsvr32.exe while a test runs: it
   counts its calls by their whole command line under
   HKCU\Software\Tarnvel\StandIn\Calls, answers as the real tool does for a
   file whose registration fails (5) and for a file without DllRegisterServer
   (4), by the component's name, and exits 0 for every other file without
   registering anything. */
#include <windows.h>

static int Names(const char* commandLine, const char* name) {
  const int length = lstrlenA(name);
  for (const char* at = commandLine; *at != '\0'; ++at)
    if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, at, length, name, length) ==
        CSTR_EQUAL)
      return 1;
  return 0;
}

static void Count(const char* commandLine) {
  const char* key = "Software\\Tarnvel\\StandIn\\Calls";
  DWORD count = 0, size = sizeof count;
  RegGetValueA(HKEY_CURRENT_USER, key, commandLine, RRF_RT_REG_DWORD, NULL, &count, &size);
  ++count;
  RegSetKeyValueA(HKEY_CURRENT_USER, key, commandLine, REG_DWORD, &count, sizeof count);
}

int main(void) {
  const char* commandLine = GetCommandLineA();
  Count(commandLine);
  if (Names(commandLine, "\\MSINET.OCX")) return 5;
  if (Names(commandLine, "\\SYSINFO.OCX")) return 4;
  return 0;
}
