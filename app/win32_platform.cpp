#include "app/win32_platform.h"

#include <cstdio>
#include <vector>

#include "install/payload_checksum.h"

namespace tarnvel {

namespace {

std::string DirectoryPartOf(const std::string& path) {
  const auto separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// A new, empty file beside `destination`, open for writing. CREATE_NEW never
// takes over a file that is already there, a leftover of a killed run included.
std::optional<std::pair<std::string, UniqueHandle>> CreateTemporaryBeside(
    const std::string& destination) {
  static unsigned serial = 0;
  const std::string directory = DirectoryPartOf(destination);
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[40];
    std::snprintf(name, sizeof name, "%s%lx_%u.tmp", kTemporaryPrefix, GetCurrentProcessId(),
                  ++serial);
    std::string path = directory + name;
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
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

}  // namespace

bool Win32Platform::TemporaryFile::Discard() {
  bool clean = file_.Close();
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
  {
    // Fails, leaving the content alone, when another program holds the file
    // without write sharing, it is a running image, or access is denied.
    UniqueHandle probe(::CreateFileA(path.c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe) return false;
  }
  auto temporary = CreateTemporaryBeside(path);
  if (!temporary) return false;
  output_.emplace(path, std::move(temporary->first), std::move(temporary->second));
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
  if (!temporary.File().Close() || !stored) {
    temporary.Discard();
    return false;
  }
  // ReplaceFile rather than MoveFileEx: the destination keeps its security
  // descriptor, owner and creation time, which a renamed temporary file would
  // take from the directory instead. It swaps the names in one step; when it
  // fails without a backup name, the destination is still the old file.
  if (!::ReplaceFileA(output_->destination.c_str(), temporary.Path().c_str(), nullptr,
                      REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    temporary.Discard();
    return false;
  }
  temporary.MovedIntoPlace();
  return true;
}

bool Win32Platform::CloseOutput() {
  if (!output_) return false;
  const bool clean = output_->temporary.Discard();
  output_.reset();
  return clean;
}

void Win32Platform::SweepTemporaryFiles(const std::string& directory) {
  // A live run keeps its temporary file open without delete sharing, so
  // DeleteFile fails on it and it stays.
  const std::string pattern = directory + "\\" + kTemporaryPrefix + "*.tmp";
  WIN32_FIND_DATAA found;
  const HANDLE search = ::FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      ::DeleteFileA((directory + "\\" + found.cFileName).c_str());
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
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
