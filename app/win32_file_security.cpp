#include "app/win32_file_security.h"

#include <winternl.h>

#include "app/win32_handles.h"

// ntdll's security calls, which mingw's headers leave out.
extern "C" {
NTSTATUS NTAPI NtQuerySecurityObject(HANDLE handle, SECURITY_INFORMATION information,
                                     PSECURITY_DESCRIPTOR descriptor, ULONG length,
                                     PULONG lengthNeeded);
NTSTATUS NTAPI NtSetSecurityObject(HANDLE handle, SECURITY_INFORMATION information,
                                   PSECURITY_DESCRIPTOR descriptor);
}

namespace tarnvel {

namespace {

// What a replacement takes over from the file it replaces; a renamed file
// would otherwise carry what the directory passes on.
constexpr SECURITY_INFORMATION kCopiedSecurity =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

constexpr NTSTATUS kStatusBufferTooSmall = static_cast<NTSTATUS>(0xC0000023);

// SetKernelObjectSecurity without advapi32; its Windows error code.
ULONG WriteSecurity(HANDLE file, std::vector<unsigned char>& descriptor) {
  return ::RtlNtStatusToDosError(::NtSetSecurityObject(file, kCopiedSecurity, descriptor.data()));
}

// Giving a file an owner other than the caller (or a group it may assign)
// takes the restore privilege, which an administrator holds disabled. It is
// enabled for the one call and then put back as it was.
bool ApplySecurityWithRestorePrivilege(HANDLE file, std::vector<unsigned char>& descriptor) {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token.Receive()))
    return false;
  TOKEN_PRIVILEGES enable = {};
  enable.PrivilegeCount = 1;
  enable.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  TOKEN_PRIVILEGES previous = {};
  DWORD previousSize = sizeof previous;
  if (!::LookupPrivilegeValueW(nullptr, L"SeRestorePrivilege", &enable.Privileges[0].Luid) ||
      !::AdjustTokenPrivileges(token.Get(), FALSE, &enable, sizeof previous, &previous,
                               &previousSize))
    return false;
  // ERROR_NOT_ALL_ASSIGNED: the token does not hold it.
  const bool enabled = ::GetLastError() == ERROR_SUCCESS;
  const bool applied = enabled && WriteSecurity(file, descriptor) == ERROR_SUCCESS;
  if (enabled && previous.PrivilegeCount > 0)
    ::AdjustTokenPrivileges(token.Get(), FALSE, &previous, 0, nullptr, nullptr);
  return applied;
}

}  // namespace

// NtQuerySecurityObject is what GetKernelObjectSecurity wraps; a first guess
// at the size spares most files a second call.
bool ReadSecurity(HANDLE file, std::vector<unsigned char>& descriptor) {
  descriptor.resize(256);
  ULONG needed = 0;
  NTSTATUS status = ::NtQuerySecurityObject(file, kCopiedSecurity, descriptor.data(),
                                            static_cast<ULONG>(descriptor.size()), &needed);
  if (status == kStatusBufferTooSmall && needed > descriptor.size()) {
    descriptor.resize(needed);
    status = ::NtQuerySecurityObject(file, kCopiedSecurity, descriptor.data(),
                                     static_cast<ULONG>(descriptor.size()), &needed);
  }
  if (NT_SUCCESS(status) && needed <= descriptor.size()) {
    descriptor.resize(needed);
    return true;
  }
  descriptor.clear();
  const ULONG error = ::RtlNtStatusToDosError(status);
  ::SetLastError(error);
  return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

// All or nothing: a destination whose descriptor can be read but not given to
// its replacement is left alone rather than replaced with wider access. Only
// a file system that keeps no security (an empty descriptor) lets the replace
// go on without one. Wine without stored ACLs builds a file's descriptor from
// its Unix owner and mode and maps an applied DACL back onto the mode (owner
// and group stay Wine's user), so there the mode bits carry over.
bool ApplySecurity(HANDLE file, std::vector<unsigned char>& descriptor) {
  if (descriptor.empty()) return true;
  // Left alone when alike already, as when both take it from the directory;
  // under Wine the file then also keeps the Unix mode it was made with.
  std::vector<unsigned char> current;
  if (ReadSecurity(file, current) && current == descriptor) return true;
  const ULONG error = WriteSecurity(file, descriptor);
  if (error == ERROR_SUCCESS) return true;
  if (error == ERROR_INVALID_OWNER && ApplySecurityWithRestorePrivilege(file, descriptor))
    return true;
  ::SetLastError(error);
  return false;
}

}  // namespace tarnvel
