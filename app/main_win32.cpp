#include <windows.h>

#include <cstdlib>
#include <exception>

#include "app/setup_app.h"
#include "app/win32_platform.h"
#include "app/win32_startup.h"
#include "ui/win32_toolkit.h"

// The runtime's default terminate handler prints demangled type names, which
// links in the whole demangler. Every failure is caught before it can get
// there, so a plain abort is enough.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  tarnvel::HardenProcess();  // before anything can load a DLL

  tarnvel::Win32Platform platform;
  try {
    tarnvel::ui::Win32Backend backend;
    tarnvel::ui::SetBackend(&backend);
    platform.SetMessageFilter(&tarnvel::ui::PreTranslate);

    // The program ends through EndProgram: a confirmed Cancel or the end of
    // the install run.
    tarnvel::SetupApp app(platform);
    app.Start();
    platform.RunMessageLoop();
  } catch (const std::exception& failure) {
    platform.ReportUnexpectedError(failure.what());
  } catch (...) {
    platform.ReportUnexpectedError("unknown failure");
  }
  return tarnvel::kExitUnexpectedError;
}
