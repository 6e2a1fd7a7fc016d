#include "app/win32_platform.h"

#include <vector>

#include "app/number_text.h"
#include "install/payload_checksum.h"

namespace tarnvel {

namespace {

// A resource of this executable, viewed in its mapped image.
bool FindOwnResource(LPCWSTR type, LPCWSTR name, PayloadView& view) {
  const HRSRC found = ::FindResourceW(nullptr, name, type);
  if (found == nullptr) return false;
  const HGLOBAL loaded = ::LoadResource(nullptr, found);
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (data == nullptr) return false;
  view.data = static_cast<const std::uint8_t*>(data);
  view.size = ::SizeofResource(nullptr, found);
  return true;
}

}  // namespace

void Win32Platform::Dispatch(MSG& message) {
  if (filter_ && filter_(message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

int Win32Platform::RunMessageLoop() {
  MSG message;
  for (;;) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got == -1) ReportUnexpectedError("GetMessage failed");
    Dispatch(message);
  }
}

std::string Win32Platform::CommandLine() { return Utf8From(::GetCommandLineW()); }

int Win32Platform::ShowMessageBox(const std::string& prompt, const std::string& title,
                                  unsigned flags) {
  const int answer = ::MessageBoxW(::GetActiveWindow(), Utf16From(prompt).c_str(),
                                   Utf16From(title).c_str(), flags);
  if (answer == 0) ReportUnexpectedError("MessageBox failed");
  return answer;
}

void Win32Platform::EndProgram(int exitCode) {
  output_.reset();  // the destination keeps what it holds; the temporary goes
  ::ExitProcess(static_cast<UINT>(exitCode));
}

void Win32Platform::ShowMessageBoxWithoutHeap(const char* prompt, const char* title,
                                              unsigned flags) {
  // Both are FixedText at the most: converted on the stack.
  wchar_t wide[2][FixedText::kCapacity + 1];
  const char* const texts[] = {prompt, title};
  for (int i = 0; i < 2; ++i) {
    if (::MultiByteToWideChar(CP_UTF8, 0, texts[i], -1, wide[i], FixedText::kCapacity + 1) == 0)
      wide[i][0] = L'\0';
  }
  ::MessageBoxW(nullptr, wide[0], wide[1], flags | MB_TASKMODAL);
}

void Win32Platform::EndAtOnce(int exitCode) {
  // Unlike ExitProcess, no library is told: none waits on a lock that the
  // damaged code may hold.
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(exitCode));
  ::ExitProcess(static_cast<UINT>(exitCode));  // should the system refuse
}

void Win32Platform::PumpEvents() {
  // Only a queue can hold events, and a thread has one only once it has
  // called into user32. Asking before then would load user32 and make one,
  // most of what a silent run would otherwise spend before its first file.
  if (mayHaveQueue_ != nullptr && !mayHaveQueue_()) return;
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Left for the main loop, which ends on it.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    Dispatch(message);
  }
}

std::string Win32Platform::SystemDirectory() {
  return PathFromSystem(
      [](LPWSTR buffer, UINT size) { return ::GetSystemDirectoryW(buffer, size); });
}

bool Win32Platform::ResetAttributes(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Utf16From(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failed(OutputStep::kAttributes);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    ::SetLastError(ERROR_DIRECTORY);
    return Failed(OutputStep::kAttributes);
  }
  clearedAttributes_.emplace_back(path, attributes);  // for a put back
  return ::SetFileAttributesW(Utf16From(path).c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE ||
         Failed(OutputStep::kAttributes);
}

static_assert(kAttributeHidden == FILE_ATTRIBUTE_HIDDEN &&
              kAttributeSystem == FILE_ATTRIBUTE_SYSTEM &&
              kAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY);

std::optional<std::uint32_t> Win32Platform::FileAttributes(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Utf16From(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return attributes;
}

bool Win32Platform::LoadPayload(const std::string& typeName, int id, PayloadView& payload) {
  // The run loads a payload for its version and again to write it: the image
  // is mapped read-only, so bytes checked once stay checked.
  if (checked_ && checked_->id == id && checked_->typeName == typeName) {
    payload = checked_->view;
    return true;
  }
  PayloadView found;
  PayloadView checksums;
  // FindResource upper-cases a type name itself, as the resource compiler
  // does with the names it stores.
  if (!FindOwnResource(Utf16From(typeName).c_str(), MAKEINTRESOURCEW(id), found) ||
      !FindOwnResource(MAKEINTRESOURCEW(10) /* RT_RCDATA */,
                       Utf16From(kPayloadChecksumsName).c_str(), checksums))
    return Failed(OutputStep::kLoad);
  // A damaged download must not reach the system directory: the bytes are
  // checked before the caller touches the destination.
  if (!MatchesChecksum(checksums.data, checksums.size, typeName, id, found.data, found.size)) {
    ::SetLastError(ERROR_CRC);
    return Failed(OutputStep::kLoad);
  }
  payload = found;
  checked_ = CheckedPayload{typeName, id, found};
  return true;
}

std::uint32_t Win32Platform::StartProcess(const std::string& imagePath,
                                          const std::string& commandLine,
                                          const std::string& workingDirectory) {
  // CreateProcessW may write into its command line.
  std::wstring writableCommandLine = Utf16From(commandLine);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started = {};
  const std::wstring folder = Utf16From(workingDirectory);
  if (!::CreateProcessW(Utf16From(imagePath).c_str(), writableCommandLine.data(), nullptr, nullptr,
                        FALSE, 0, nullptr, folder.empty() ? nullptr : folder.c_str(), &startup,
                        &started))
    return 0;
  // The process is kept for its exit code; its thread is not needed.
  const UniqueHandle thread(started.hThread);
  processes_.emplace_back(started.dwProcessId, UniqueHandle(started.hProcess));
  return started.dwProcessId;
}

HANDLE Win32Platform::ProcessHandle(std::uint32_t processId) const {
  for (const auto& [id, handle] : processes_)
    if (id == processId) return handle.Get();
  return nullptr;
}

std::optional<std::uint32_t> Win32Platform::ExitCode(std::uint32_t processId) {
  // GetExitCodeProcess alone cannot tell a running process from one that
  // exited with STILL_ACTIVE's value.
  const HANDLE process = ProcessHandle(processId);
  DWORD code = 0;
  if (process == nullptr || ::WaitForSingleObject(process, 0) != WAIT_OBJECT_0 ||
      !::GetExitCodeProcess(process, &code))
    return std::nullopt;
  return code;
}

void Win32Platform::WaitForProcessOrEvent(const std::vector<std::uint32_t>& processIds,
                                          std::uint32_t timeoutMs) {
  // One slot stays free for the message queue; the rest wait their turn.
  std::vector<HANDLE> handles;
  for (const std::uint32_t id : processIds) {
    const HANDLE process = ProcessHandle(id);
    if (process != nullptr && handles.size() < MAXIMUM_WAIT_OBJECTS - 1) handles.push_back(process);
  }
  if (handles.empty()) return;
  const DWORD count = static_cast<DWORD>(handles.size());
  const DWORD woken =
      mayHaveQueue_ == nullptr || mayHaveQueue_()
          ? ::MsgWaitForMultipleObjects(count, handles.data(), FALSE, timeoutMs, QS_ALLINPUT)
          : ::WaitForMultipleObjects(count, handles.data(), TRUE, timeoutMs);
  if (woken == WAIT_FAILED) ReportUnexpectedError("waiting for the registrations failed");
}

bool Win32Platform::RunAtRestart(const std::string& name, const std::string& commandLine) {
  // The 64-bit view: a 32-bit program's HKLM\Software is redirected to
  // Wow6432Node, and the restart runs this key as 64-bit Windows sees it.
  // 32-bit Windows ignores the flag.
  UniqueKey key;
  LONG error = ::RegCreateKeyExW(
      HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0, nullptr, 0,
      KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, key.Receive(), nullptr);
  if (error == ERROR_SUCCESS) {
    const std::wstring data = Utf16From(commandLine);
    error = ::RegSetValueExW(key.Get(), Utf16From(name).c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  }
  if (error == ERROR_SUCCESS) return true;
  ::SetLastError(static_cast<DWORD>(error));
  return Failed(OutputStep::kQueueRegistration);
}

DisplayFacts Win32Platform::Display() {
  DisplayFacts display;
  USEROBJECTFLAGS flags{};
  DWORD size = 0;
  if (::GetUserObjectInformationW(::GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                  &size))
    display.stationFlags = flags.dwFlags;
  DWORD session = 0;
  if (::ProcessIdToSessionId(::GetCurrentProcessId(), &session)) display.sessionId = session;
  display.vistaOrLater = LOBYTE(::GetVersion()) >= 6;
  return display;
}

bool Win32Platform::TakeSetupLock() {
  // In the global namespace: a copy a deployment service starts and one a
  // user starts, in another session, see each other.
  setupLock_ = UniqueHandle(::CreateMutexW(nullptr, FALSE, L"Global\\TarnvelPreInstallationSetup"));
  const DWORD error = ::GetLastError();
  // Denied: another account's copy made it. Any other failure cannot tell,
  // and does not stop the run.
  if (!setupLock_) return error != ERROR_ACCESS_DENIED;
  return error != ERROR_ALREADY_EXISTS;
}

std::uint32_t Win32Platform::Milliseconds() { return ::GetTickCount(); }

std::string Win32Platform::ErrorText(std::uint32_t error) {
  wchar_t text[512];
  // One line: the width mask turns the text's line breaks into blanks. In
  // the system's language, whatever the ANSI code page holds of it.
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
      nullptr, error, 0, text, ARRAYSIZE(text), nullptr);
  while (length > 0 &&
         (text[length - 1] == L' ' || text[length - 1] == L'\r' || text[length - 1] == L'\n'))
    --length;
  return length > 0 ? Utf8From(text, length) : "no text for this code";
}

bool Win32Platform::Failed(OutputStep step) {
  failure_ = {step, ::GetLastError()};
  return false;
}

}  // namespace tarnvel
