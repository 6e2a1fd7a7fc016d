// Our own stand-in for a component the setup carries. The vendors' files
// cannot be shipped, so each payload is this small DLL, built once per
// component under that component's name, size and version. Registering it
// leaves a mark in the registry that tests can see.
//
// Built without the C runtime: DllMain is the entry point and only kernel32
// and advapi32 are imported.
#include <windows.h>

#include "app/win32_handles.h"

namespace {

constexpr wchar_t kMarkKey[] = L"Software\\Tarnvel\\StandIn\\Registered";

HINSTANCE gModule = nullptr;

// The bare file name this DLL was loaded from, as it stands on disk.
bool OwnFileName(wchar_t (&path)[MAX_PATH], const wchar_t*& name) {
  const DWORD length = GetModuleFileNameW(gModule, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  name = path;
  for (const wchar_t* p = path; *p; ++p) {
    if (*p == L'\\' || *p == L'/') name = p + 1;
  }
  return *name != L'\0';
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) gModule = instance;
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  wchar_t path[MAX_PATH];
  const wchar_t* name = nullptr;
  if (!OwnFileName(path, name)) return E_FAIL;
  tarnvel::UniqueKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kMarkKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      key.Receive(), nullptr) != ERROR_SUCCESS) {
    return E_FAIL;
  }
  const DWORD one = 1;
  if (RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                     sizeof one) != ERROR_SUCCESS) {
    return E_FAIL;
  }
  return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  wchar_t path[MAX_PATH];
  const wchar_t* name = nullptr;
  if (!OwnFileName(path, name)) return E_FAIL;
  tarnvel::UniqueKey key;
  const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, kMarkKey, 0, KEY_SET_VALUE, key.Receive());
  if (opened == ERROR_FILE_NOT_FOUND) return S_OK;  // never registered
  if (opened != ERROR_SUCCESS) return E_FAIL;
  const LONG deleted = RegDeleteValueW(key.Get(), name);
  return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND ? S_OK : E_FAIL;
}
