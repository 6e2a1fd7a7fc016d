// A regsvr32.exe planted beside the setup and in its current folder. The
// setup starts the system's tool by its full path, so this one must never
// run; if it does, it leaves a note beside itself.
#include <windows.h>

#include <memory>
#include <string>

namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  std::string note(path, length);
  note.erase(note.find_last_of('\\') + 1);
  note += TARNVEL_E2E_PLANTED_MARKER;

  const HANDLE opened = CreateFileA(note.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return 1;
  const UniqueHandle file(opened);
  const std::string commandLine = GetCommandLineA();
  DWORD written = 0;
  WriteFile(file.get(), commandLine.data(), static_cast<DWORD>(commandLine.size()), &written,
            nullptr);
  return 0;
}
