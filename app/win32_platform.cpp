#include "app/win32_platform.h"

#include <winternl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "app/win32_startup.h"
#include "install/payload_checksum.h"

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

// What a replacement takes over from the file it replaces. ReplaceFile kept
// these; a renamed file would otherwise carry what the directory passes on.
constexpr SECURITY_INFORMATION kCopiedSecurity =
    OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

std::string DirectoryPartOf(const std::string& path) {
  const auto separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// `value` in lower-case digits of that base, without leading zeros.
void AppendNumber(std::string& text, unsigned long value, unsigned base) {
  char digits[32];
  int count = 0;
  do {
    digits[count++] = "0123456789abcdef"[value % base];
    value /= base;
  } while (value != 0);
  while (count > 0) text += digits[--count];
}

// A new, empty file beside `destination`, open for writing. CREATE_NEW never
// takes over a file that is already there, a leftover of a killed run included.
std::optional<std::pair<std::string, UniqueHandle>> CreateTemporaryBeside(
    const std::string& destination) {
  static unsigned serial = 0;
  const std::string directory = DirectoryPartOf(destination);
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Formatted by hand: the C runtime's printf family would be a quarter of
    // the program, and user32's would load user32 for a silent run.
    std::string path = directory + kTemporaryPrefix;
    AppendNumber(path, GetCurrentProcessId(), 16);
    path += '_';
    AppendNumber(path, ++serial, 10);
    path += ".tmp";
    // No sharing, delete included, until it is renamed or deleted: a sweep by
    // another run cannot take it away meanwhile.
    UniqueHandle file(::CreateFileA(path.c_str(),
                                    GENERIC_WRITE | DELETE | READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                                    0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return std::make_pair(std::move(path), std::move(file));
    if (GetLastError() != ERROR_FILE_EXISTS) return std::nullopt;
  }
  return std::nullopt;
}

// A resource of this executable, viewed in its mapped image.
bool FindOwnResource(LPCSTR type, LPCSTR name, PayloadView& view) {
  const HRSRC found = ::FindResourceA(nullptr, name, type);
  if (found == nullptr) return false;
  const HGLOBAL loaded = ::LoadResource(nullptr, found);
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (data == nullptr) return false;
  view.data = static_cast<const std::uint8_t*>(data);
  view.size = ::SizeofResource(nullptr, found);
  return true;
}

// Exactly the names CreateTemporaryBeside makes. Letters compare without
// regard to case, as the file system compares names.
bool IsTemporaryName(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::size_t at = 0;
  const auto literal = [&](const char* text) {
    const std::size_t length = std::strlen(text);
    if (name.compare(at, length, text) != 0) return false;
    at += length;
    return true;
  };
  // One to `most` characters out of `allowed`.
  const auto digits = [&](const char* allowed, std::size_t most) {
    const std::size_t end = std::min(name.find_first_not_of(allowed, at), name.size());
    const bool fits = end > at && end - at <= most;
    at = end;
    return fits;
  };
  return literal(kTemporaryPrefix) && digits("0123456789abcdef", 8) && literal("_") &&
         digits("0123456789", 10) && literal(".tmp") && at == name.size();
}

constexpr NTSTATUS kStatusBufferTooSmall = static_cast<NTSTATUS>(0xC0000023);

// The security kCopiedSecurity names, self-relative. False when it cannot be
// read; empty when the file system keeps none at all. Through ntdll, which
// GetKernelObjectSecurity wraps: advapi32 would be a library loaded for it
// alone, and a first guess at the size spares most files a second call.
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
  return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

// SetKernelObjectSecurity without advapi32; its Windows error code.
ULONG WriteSecurity(HANDLE file, std::vector<unsigned char>& descriptor) {
  return ::RtlNtStatusToDosError(::NtSetSecurityObject(file, kCopiedSecurity, descriptor.data()));
}

// Giving a file an owner other than the caller (or a group it may assign)
// takes the restore privilege, which an administrator holds disabled. It is
// enabled for the one call and then put back as it was.
bool ApplySecurityWithRestorePrivilege(HANDLE file, std::vector<unsigned char>& descriptor) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    return false;
  const UniqueHandle ownedToken(token);
  TOKEN_PRIVILEGES enable = {};
  enable.PrivilegeCount = 1;
  enable.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  TOKEN_PRIVILEGES previous = {};
  DWORD previousSize = sizeof previous;
  if (!::LookupPrivilegeValueA(nullptr, "SeRestorePrivilege", &enable.Privileges[0].Luid) ||
      !::AdjustTokenPrivileges(token, FALSE, &enable, sizeof previous, &previous, &previousSize))
    return false;
  // ERROR_NOT_ALL_ASSIGNED: the token does not hold it.
  const bool enabled = ::GetLastError() == ERROR_SUCCESS;
  const bool applied = enabled && WriteSecurity(file, descriptor) == ERROR_SUCCESS;
  if (enabled && previous.PrivilegeCount > 0)
    ::AdjustTokenPrivileges(token, FALSE, &previous, 0, nullptr, nullptr);
  return applied;
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
  return error == ERROR_INVALID_OWNER && ApplySecurityWithRestorePrivilege(file, descriptor);
}

enum class RenameOutcome { kRenamed, kFailed, kUnsupported };

// Renames the open `file` (opened with DELETE access) to `destination`,
// replacing the file there in one step. The name is resolved as the "A" calls
// resolve it: from the ANSI code page, absolute or from the current directory.
RenameOutcome RenameOpenFile(HANDLE file, const std::string& destination) {
  // Systems before Vista lack it. Looked up once per run.
  static const auto setFileInformation =
      Kernel32Function<BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD)>(
          "SetFileInformationByHandle");
  if (setFileInformation == nullptr) return RenameOutcome::kUnsupported;

  const int length = ::MultiByteToWideChar(CP_ACP, 0, destination.c_str(), -1, nullptr, 0);
  if (length <= 0) return RenameOutcome::kFailed;
  // FileName runs past the declared end of the structure; it ends with a null.
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + length * sizeof(WCHAR));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>((length - 1) * sizeof(WCHAR));
  if (::MultiByteToWideChar(CP_ACP, 0, destination.c_str(), -1, info->FileName, length) != length)
    return RenameOutcome::kFailed;
  if (setFileInformation(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size())))
    return RenameOutcome::kRenamed;
  const DWORD error = ::GetLastError();
  return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION
             ? RenameOutcome::kUnsupported
             : RenameOutcome::kFailed;
}

}  // namespace

bool Win32Platform::TemporaryFile::MoveOver(const std::string& destination) {
  switch (RenameOpenFile(file_.Get(), destination)) {
    case RenameOutcome::kRenamed:
      path_.clear();
      return file_.Reset();
    case RenameOutcome::kFailed:
      return false;
    case RenameOutcome::kUnsupported:
      break;
  }
  // MoveFileEx opens the file itself, so it is closed first; a sweep that
  // takes it in between leaves the destination with its old bytes.
  if (!file_.Reset() || !::MoveFileExA(path_.c_str(), destination.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return false;
  path_.clear();
  return true;
}

bool Win32Platform::TemporaryFile::Discard() {
  bool clean = file_.Reset();
  if (!path_.empty()) {
    clean = ::DeleteFileA(path_.c_str()) != FALSE && clean;
    path_.clear();
  }
  return clean;
}

void Win32Platform::Dispatch(MSG& message) {
  if (filter_ && filter_(message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageA(&message);
}

int Win32Platform::RunMessageLoop() {
  MSG message;
  for (;;) {
    const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got == -1) ReportUnexpectedError("GetMessage failed");
    Dispatch(message);
  }
}

std::string Win32Platform::CommandLine() { return ::GetCommandLineA(); }

int Win32Platform::MessageBox(const std::string& prompt, const std::string& title, unsigned flags) {
  const int answer = ::MessageBoxA(::GetActiveWindow(), prompt.c_str(), title.c_str(), flags);
  if (answer == 0) ReportUnexpectedError("MessageBox failed");
  return answer;
}

void Win32Platform::EndProgram(int exitCode) {
  output_.reset();  // the destination keeps what it holds; the temporary goes
  ::ExitProcess(static_cast<UINT>(exitCode));
}

void Win32Platform::PumpEvents() {
  // Only a queue can hold events, and a thread has one only once it has
  // called into user32. Asking before then would load user32 and make one,
  // most of what a silent run would otherwise spend before its first file.
  if (mayHaveQueue_ != nullptr && !mayHaveQueue_()) return;
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Left for the main loop, which ends on it.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    Dispatch(message);
  }
}

unsigned Win32Platform::GetSystemDirectoryA(char* buffer, unsigned size) {
  return ::GetSystemDirectoryA(buffer, size);
}

std::string Win32Platform::FilePresence(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  constexpr DWORD kPassedOver =
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & kPassedOver) != 0) return "";
  const auto separator = path.find_last_of("\\/");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

bool Win32Platform::ResetAttributes(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return false;
  return ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
}

bool Win32Platform::OpenOutput(const std::string& path) {
  if (output_) return false;
  std::vector<unsigned char> security;
  {
    // Fails, leaving the content alone, when another program holds the file
    // without write or delete sharing, it is a running image, or access is
    // denied: the rename over it needs the same.
    UniqueHandle destination(::CreateFileA(path.c_str(), GENERIC_WRITE | DELETE | READ_CONTROL,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!destination || !ReadSecurity(destination.Get(), security)) return false;
  }
  auto temporary = CreateTemporaryBeside(path);
  if (!temporary) return false;
  output_.emplace(path, std::move(temporary->first), std::move(temporary->second));
  if (!ApplySecurity(output_->temporary.File().Get(), security)) {
    output_.reset();
    return false;
  }
  return true;
}

bool Win32Platform::WriteOutput(const std::uint8_t* data, std::size_t size) {
  if (!output_ || !output_->temporary.File()) return false;
  TemporaryFile& temporary = output_->temporary;
  DWORD written = 0;
  const bool stored =
      size <= MAXDWORD &&
      ::WriteFile(temporary.File().Get(), data, static_cast<DWORD>(size), &written, nullptr) &&
      written == size && ::FlushFileBuffers(temporary.File().Get());
  // One rename, not ReplaceFile: Wine's ReplaceFile moves the old file aside
  // before it moves the new one in, and a kill between leaves no destination.
  if (!stored || !temporary.MoveOver(output_->destination)) {
    temporary.Discard();
    return false;
  }
  return true;
}

bool Win32Platform::CloseOutput() {
  if (!output_) return false;
  const bool clean = output_->temporary.Discard();
  output_.reset();
  return clean;
}

void Win32Platform::SweepTemporaryFiles(const std::string& directory) {
  // The pattern also matches short names, and longer names than ours.
  const std::string pattern = directory + "\\" + kTemporaryPrefix + "*.tmp";
  WIN32_FIND_DATAA found;
  const UniqueFind search(::FindFirstFileA(pattern.c_str(), &found));
  if (!search) return;
  do {
    // A failure leaves the file for a later run.
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        IsTemporaryName(found.cFileName))
      ::DeleteFileA((directory + "\\" + found.cFileName).c_str());
  } while (::FindNextFileA(search.Get(), &found));
}

bool Win32Platform::LoadPayload(const std::string& typeName, int id, PayloadView& payload) {
  PayloadView found;
  PayloadView checksums;
  // FindResource upper-cases a type name itself, as the resource compiler
  // does with the names it stores.
  if (!FindOwnResource(typeName.c_str(), MAKEINTRESOURCEA(id), found) ||
      !FindOwnResource(RT_RCDATA, kPayloadChecksumsName, checksums))
    return false;
  // A damaged download must not reach the system directory: the bytes are
  // checked before the caller touches the destination.
  if (!MatchesChecksum(checksums.data, checksums.size, typeName, id, found.data, found.size))
    return false;
  payload = found;
  return true;
}

bool Win32Platform::StartProcess(const std::string& imagePath, const std::string& commandLine,
                                 const std::string& workingDirectory) {
  std::vector<char> writableCommandLine(commandLine.begin(), commandLine.end());
  writableCommandLine.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started = {};
  if (!::CreateProcessA(imagePath.c_str(), writableCommandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, workingDirectory.empty() ? nullptr : workingDirectory.c_str(),
                        &startup, &started))
    return false;
  // Not tracked: both handles go at once.
  UniqueHandle process(started.hProcess);
  UniqueHandle thread(started.hThread);
  return true;
}

}  // namespace tarnvel
