/* Put in the system directory in place of regsvr32.exe while a test runs: it
   counts its calls by their whole command line under
   HKCU\Software\Tarnvel\StandIn\Calls, fails MSINET.OCX's registration as
   the real tool does (5), and exits 0 for every other file without
   registering anything. While a test holds the mutex TarnvelStandInHold, it
   waits for it after counting: a registration caught running. */
#include <string.h>
#include <windows.h>

int main(void) {
  const char *key = "Software\\Tarnvel\\StandIn\\Calls", *commandLine = GetCommandLineA();
  DWORD count = 0, size = sizeof count;
  RegGetValueA(HKEY_CURRENT_USER, key, commandLine, RRF_RT_REG_DWORD, NULL, &count, &size);
  ++count;
  RegSetKeyValueA(HKEY_CURRENT_USER, key, commandLine, REG_DWORD, &count, sizeof count);
  HANDLE hold = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "TarnvelStandInHold");
  if (hold) {
    WaitForSingleObject(hold, INFINITE); /* abandoned, too, when the test ends */
    ReleaseMutex(hold);
  }
  return strstr(commandLine, "\\MSINET.OCX") ? 5 : 0;
}
