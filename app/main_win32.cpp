#include <windows.h>

#include "app/setup_app.h"
#include "app/win32_lazy_imports.h"
#include "app/win32_platform.h"
#include "app/win32_startup.h"
#include "ui/win32_toolkit.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  tarnvel::HardenProcess();  // before anything can load a DLL

  tarnvel::Win32Platform platform;
  // From here on every unexpected failure, the runtime's included, ends
  // through this platform's report.
  tarnvel::SetUnexpectedErrorPlatform(&platform);

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
