// The program's calls into user32, gdi32 and advapi32, bound on first use
// instead of at start-up. A silent run with nothing to write then never loads
// them: under Wine, user32 and the libraries it pulls in are most of the
// start-up of a process that only looks at a few files.
//
// Each function here gets the import slot the compiler calls through
// (__imp__Name@bytes), first pointing at a stub. The stub asks
// TarnvelBindLazyImport for the real address, which replaces the slot, and
// jumps there with the caller's arguments untouched. binutils' own delay-import
// libraries (dlltool -y) produce unusable i386 stubs, hence this table.
//
// A function the program starts to use that is missing here is linked
// straight from the import library; the build then fails (cmake/setup_size.cmake).
#include "app/win32_lazy_imports.h"

#include <windows.h>

#include <cstring>

#include "app/platform.h"
#include "app/win32_startup.h"

namespace {
bool userLibraryBound = false;
}  // namespace

bool tarnvel::UserLibraryBound() { return userLibraryBound; }

extern "C" FARPROC TarnvelBindLazyImport(const char* library, const char* name, FARPROC* slot) {
  // Set first: loading user32 may already call back into the program.
  if (std::strcmp(library, "user32.dll") == 0) userLibraryBound = true;
  // The caller may have set the last error for the function to leave alone
  // (SetWindowLong, say): binding must not change it.
  const DWORD lastError = ::GetLastError();
  const HMODULE module = tarnvel::LoadSystemLibrary(library);
  const FARPROC found = module != nullptr ? ::GetProcAddress(module, name) : nullptr;
  if (found == nullptr) tarnvel::FailUnexpectedly("a system library is missing a function");
  *slot = found;
  ::SetLastError(lastError);
  return found;
}

// The stub keeps the stack as the caller left it: three arguments pushed and
// popped around the cdecl call, then a jump. eax, ecx and edx are the caller's
// to lose in both calling conventions.
asm(R"(
  .section .rdata$lazy_libraries, "dr"
lazy_user32: .asciz "user32.dll"
lazy_gdi32: .asciz "gdi32.dll"
lazy_advapi32: .asciz "advapi32.dll"

  .macro LAZY library, name, suffix
  .section .rdata$lazy_names, "dr"
lazy_name_\name: .asciz "\name"
  .data
  .globl __imp__\name\()\suffix
  .p2align 2
__imp__\name\()\suffix: .long lazy_stub_\name
  .text
lazy_stub_\name:
  pushl $__imp__\name\()\suffix
  pushl $lazy_name_\name
  pushl $lazy_\library
  call _TarnvelBindLazyImport
  addl $12, %esp
  jmp *%eax
  .endm

  LAZY advapi32, AdjustTokenPrivileges, @24
  LAZY advapi32, LookupPrivilegeValueW, @12
  LAZY advapi32, OpenProcessToken, @12
  LAZY advapi32, RegCloseKey, @4
  LAZY advapi32, RegCreateKeyExW, @36
  LAZY advapi32, RegOpenKeyExW, @20
  LAZY advapi32, RegQueryValueExW, @24
  LAZY advapi32, RegSetValueExW, @24

  LAZY gdi32, BitBlt, @36
  LAZY gdi32, CreateCompatibleBitmap, @12
  LAZY gdi32, CreateCompatibleDC, @4
  LAZY gdi32, CreateFontIndirectW, @4
  LAZY gdi32, CreatePen, @12
  LAZY gdi32, CreateSolidBrush, @4
  LAZY gdi32, DeleteDC, @4
  LAZY gdi32, DeleteObject, @4
  LAZY gdi32, GetDeviceCaps, @8
  LAZY gdi32, GetObjectW, @12
  LAZY gdi32, GetStockObject, @4
  LAZY gdi32, RoundRect, @28
  LAZY gdi32, SelectObject, @8
  LAZY gdi32, SetBkColor, @8
  LAZY gdi32, SetBkMode, @8
  LAZY gdi32, SetTextColor, @8
  LAZY gdi32, SetViewportOrgEx, @16

  LAZY user32, AdjustWindowRectEx, @16
  LAZY user32, BeginPaint, @8
  LAZY user32, CallWindowProcW, @20
  LAZY user32, CreateWindowExW, @48
  LAZY user32, DefWindowProcW, @16
  LAZY user32, DeleteMenu, @12
  LAZY user32, DestroyIcon, @4
  LAZY user32, DestroyWindow, @4
  LAZY user32, DispatchMessageW, @4
  LAZY user32, DrawEdge, @16
  LAZY user32, DrawFocusRect, @8
  LAZY user32, DrawIconEx, @36
  LAZY user32, DrawTextW, @20
  LAZY user32, EndPaint, @8
  LAZY user32, EqualRect, @8
  LAZY user32, FillRect, @12
  LAZY user32, FrameRect, @12
  LAZY user32, GetActiveWindow, @0
  LAZY user32, GetAncestor, @8
  LAZY user32, GetClientRect, @8
  LAZY user32, GetDC, @4
  LAZY user32, GetFocus, @0
  LAZY user32, GetIconInfo, @8
  LAZY user32, GetKeyState, @4
  LAZY user32, GetMessageW, @16
  LAZY user32, GetProcessWindowStation, @0
  LAZY user32, GetSysColor, @4
  LAZY user32, GetSysColorBrush, @4
  LAZY user32, GetSystemMenu, @8
  LAZY user32, GetSystemMetrics, @4
  LAZY user32, GetUserObjectInformationW, @20
  LAZY user32, GetWindowLongW, @8
  LAZY user32, GetWindowRect, @8
  LAZY user32, GetWindowTextW, @12
  LAZY user32, GetWindowTextLengthW, @4
  LAZY user32, InflateRect, @12
  LAZY user32, IntersectRect, @12
  LAZY user32, InvalidateRect, @12
  LAZY user32, IsChild, @8
  LAZY user32, IsDialogMessageW, @8
  LAZY user32, IsIconic, @4
  LAZY user32, IsWindow, @4
  LAZY user32, IsWindowEnabled, @4
  LAZY user32, IsWindowVisible, @4
  LAZY user32, LoadCursorW, @8
  LAZY user32, LoadImageW, @24
  LAZY user32, MapWindowPoints, @16
  LAZY user32, MessageBoxW, @16
  LAZY user32, MsgWaitForMultipleObjects, @20
  LAZY user32, OffsetRect, @12
  LAZY user32, PeekMessageW, @20
  LAZY user32, PostQuitMessage, @4
  LAZY user32, RedrawWindow, @16
  LAZY user32, RegisterClassExW, @4
  LAZY user32, ReleaseDC, @8
  LAZY user32, SendMessageW, @16
  LAZY user32, SetFocus, @4
  LAZY user32, SetWindowLongW, @12
  LAZY user32, SetWindowPos, @28
  LAZY user32, SetWindowTextW, @8
  LAZY user32, ShowWindow, @8
  LAZY user32, TranslateMessage, @4
  LAZY user32, UnionRect, @12
  LAZY user32, ValidateRect, @8
  .text
)");
