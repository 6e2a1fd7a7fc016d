#include <windows.h>

#include "app/win32_startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  tarnvel::HardenProcess();  // before anything can load a DLL
  return 0;
}
