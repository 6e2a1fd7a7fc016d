#include <windows.h>

#include "app/setup_app.h"
#include "app/win32_fault_end.h"
#include "app/win32_lazy_imports.h"
#include "app/win32_platform.h"
#include "app/win32_startup.h"
#include "ui/win32_toolkit.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything can fail: the system's own boxes (a fault, a drive
  // without a disk) would wait for a click that an unattended run never
  // gets. The registrations the run starts inherit the mode.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  tarnvel::HardenProcess();  // before anything can load a DLL

  tarnvel::Win32Platform platform;
  // From here on every unexpected failure, the runtime's and the hardware's
  // included, ends through this platform's report.
  tarnvel::SetUnexpectedErrorPlatform(&platform);
  tarnvel::EndFaultsThroughUnexpectedError();

  tarnvel::ui::Win32Backend backend;
  tarnvel::ui::SetBackend(&backend);
  platform.SetMessageFilter(&tarnvel::ui::PreTranslate);
  platform.SetMessageQueueProbe(&tarnvel::UserLibraryBound);

  // The program ends through EndProgram: a confirmed Cancel or the end of
  // the install run.
  tarnvel::SetupApp app(platform);
  app.Start();
  platform.RunMessageLoop();
  return tarnvel::kExitUnexpectedError;
}
