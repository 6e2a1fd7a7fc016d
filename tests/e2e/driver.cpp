#include "driver.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <utility>

#include "app/win32_handles.h"
#include "app/win32_text.h"

namespace tarnvel::test {

DWORD DeadlineMs() {
  static const DWORD deadline = [] {
    char text[16] = "";
    const DWORD n = ::GetEnvironmentVariableA("TARNVEL_DEADLINE_MS", text, sizeof text);
    const unsigned long ms = n > 0 && n < sizeof text ? std::strtoul(text, nullptr, 10) : 0;
    return ms > 0 ? DWORD(ms) : DWORD(10 * 60 * 1000);  // not started by the rig: no figure
  }();
  return deadline;
}

namespace {

// Printed where the test's own failure follows it.
void GiveUp(const std::string& what, const std::string& seen) {
  std::printf("Gave up after %lu s waiting for %s%s%s\n", DeadlineMs() / 1000, what.c_str(),
              seen.empty() ? "" : "; last saw ", seen.c_str());
  std::fflush(stdout);
}

std::string ClassOf(HWND window) {
  char name[64] = "";
  ::GetClassNameA(window, name, sizeof name);
  return name;
}

bool IsClass(HWND window, const char* name) { return _stricmp(ClassOf(window).c_str(), name) == 0; }

BOOL CALLBACK Collect(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

std::vector<HWND> ChildrenOf(HWND window) {
  std::vector<HWND> children;
  ::EnumChildWindows(window, Collect, reinterpret_cast<LPARAM>(&children));
  return children;
}

// The windows as "title" (class), for a report.
std::string Describe(const std::vector<HWND>& windows) {
  std::string text = windows.empty() ? "no window" : "windows";
  for (HWND window : windows) text += " \"" + TextOf(window) + "\" (" + ClassOf(window) + ")";
  return text;
}

// The file name, in lower case, of the file a handle is open on.
std::string FileNameOf(HANDLE file) {
  char path[MAX_PATH];
  const DWORD length = ::GetFinalPathNameByHandleA(file, path, MAX_PATH, FILE_NAME_NORMALIZED);
  std::string name(path, length < MAX_PATH ? length : 0);
  name.erase(0, name.find_last_of('\\') + 1);
  for (char& c : name) c = char(::tolower(static_cast<unsigned char>(c)));
  return name;
}

// The next debug event by the deadline (false, said, after it), its file closed.
bool NextDebugEvent(DEBUG_EVENT& event, ULONGLONG deadline, const std::string& what,
                    const std::string& seen = "") {
  const ULONGLONG now = ::GetTickCount64();
  if (now >= deadline || !::WaitForDebugEvent(&event, DWORD(deadline - now))) {
    GiveUp(what, seen);
    return false;
  }
  if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT)
    ::CloseHandle(event.u.CreateProcessInfo.hFile);
  return true;
}

bool IsOwnException(const DEBUG_EVENT& event) {
  return event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT &&
         event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT;
}

// Lets the process go on, handling its own exceptions, bar the loader's breakpoint.
void ContinueAfter(const DEBUG_EVENT& event) {
  if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && event.u.LoadDll.hFile != nullptr)
    ::CloseHandle(event.u.LoadDll.hFile);
  ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId,
                       IsOwnException(event) ? DBG_EXCEPTION_NOT_HANDLED : DBG_CONTINUE);
}

// Ends, by process id, what `parent` started and still runs, theirs first:
// registrations, or Wine's crash window (winedbg) for a fault, which would
// otherwise hold it and the test run's output.
void EndStartedBy(DWORD parent) {
  for (const PROCESSENTRY32& entry : Processes()) {
    if (entry.th32ParentProcessID != parent || entry.th32ProcessID == parent) continue;
    EndStartedBy(entry.th32ProcessID);
    const UniqueHandle child(
        ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (child && ::TerminateProcess(child.Get(), 255))
      ::WaitForSingleObject(child.Get(), DeadlineMs());
  }
}

BOOL ReleaseScreen(HDC screen) { return ::ReleaseDC(nullptr, screen); }

Pixels Capture(const RECT& area) {
  Pixels pixels;
  pixels.width = area.right - area.left;
  const int height = area.bottom - area.top;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, pixels.width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  const Unique<HDC, &ReleaseScreen> screen(::GetDC(nullptr));
  const Unique<HDC, &::DeleteDC> memory(::CreateCompatibleDC(screen.Get()));
  void* bits = nullptr;
  const Unique<HGDIOBJ, &::DeleteObject> bitmap(
      ::CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  const HGDIOBJ previous = ::SelectObject(memory.Get(), bitmap.Get());
  if (bits != nullptr && ::BitBlt(memory.Get(), 0, 0, pixels.width, height, screen.Get(), area.left,
                                  area.top, SRCCOPY | CAPTUREBLT)) {
    ::GdiFlush();
    const auto* bgrx = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; i < pixels.width * height; ++i) pixels.rgb.push_back(bgrx[i] & 0xFFFFFF);
  }
  ::SelectObject(memory.Get(), previous);
  return pixels;
}

// Whether it held still, and how many colours it shows.
std::string Describe(const Pixels& pixels, bool steady) {
  const std::set<std::uint32_t> colours(pixels.rgb.begin(), pixels.rgb.end());
  return std::string(steady ? "a steady" : "a changing") + " capture of " +
         std::to_string(colours.size()) + " colours";
}

}  // namespace

std::string BuildPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string SystemDirectory() {
  char buffer[MAX_PATH];
  return std::string(buffer, ::GetSystemDirectoryA(buffer, MAX_PATH));
}

std::string NewFolder(const std::string& name) {
  const std::string folder =
      PathFromSystem([](LPWSTR buffer, UINT size) { return ::GetTempPathW(size, buffer); }) + name;
  for (const std::string& left : Matching(folder, "*")) Remove(folder + "\\" + left);
  ::CreateDirectoryW(Utf16From(folder).c_str(), nullptr);
  return folder;
}

std::optional<std::string> ReadWhole(const std::string& path) {
  const UniqueHandle file(::CreateFileW(Utf16From(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
  std::string bytes(file ? ::GetFileSize(file.Get(), nullptr) : 0, '\0');
  DWORD read = 0;
  const bool whole = file &&
                     ::ReadFile(file.Get(), bytes.data(), DWORD(bytes.size()), &read, nullptr) &&
                     read == bytes.size();
  return whole ? std::optional(bytes) : std::nullopt;
}

bool WriteWhole(const std::string& path, const std::string& bytes, DWORD attributes) {
  Remove(path);
  const std::wstring wide = Utf16From(path);
  UniqueHandle file(::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  DWORD written = 0;
  return file && ::WriteFile(file.Get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
         written == bytes.size() && file.Reset() &&
         (attributes == 0 || ::SetFileAttributesW(wide.c_str(), attributes));
}

void Remove(const std::string& path) {
  const std::wstring wide = Utf16From(path);
  ::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!::DeleteFileW(wide.c_str())) ::RemoveDirectoryW(wide.c_str());
}

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(Utf16From(path).c_str()); }

bool Copy(const std::string& from, const std::string& to) {
  return ::CopyFileW(Utf16From(from).c_str(), Utf16From(to).c_str(), FALSE) != FALSE;
}

std::vector<std::string> Matching(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  const UniqueFind search(::FindFirstFileW(Utf16From(folder + "\\" + pattern).c_str(), &found));
  for (BOOL more = bool(search); more; more = ::FindNextFileW(search.Get(), &found))
    if (found.cFileName[0] != L'.') names.push_back(Utf8From(found.cFileName));
  return names;
}

std::string OlderCopy(const std::string& name) {
  std::string bytes = "MZ older copy of " + name + ". ";
  while (bytes.size() < 4096) bytes += bytes;
  return bytes.substr(0, 4096);
}

TemporaryFolderAt::TemporaryFolderAt(const std::string& path) {
  for (const wchar_t* name : {L"TMP", L"TEMP"}) {
    wchar_t value[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    before_.emplace_back(name, length > 0 && length < MAX_PATH
                                   ? std::optional<std::wstring>(std::wstring(value, length))
                                   : std::nullopt);
    ::SetEnvironmentVariableW(name, Utf16From(path).c_str());
  }
}

TemporaryFolderAt::~TemporaryFolderAt() {
  for (const auto& [name, value] : before_)
    ::SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
}

std::vector<std::string> LogsIn(const std::string& folder) {
  std::vector<std::string> logs = Matching(folder, "Tarnvel setup *.log");
  std::sort(logs.begin(), logs.end());
  return logs;
}

Traced RunTracingLibraries(const std::string& image, const std::string& arguments,
                           const std::string& folder, const std::string& temporary) {
  Traced traced;
  // Its debugger is this thread; the Process ends it should the deadline pass.
  const Process process(image, arguments, folder, DEBUG_ONLY_THIS_PROCESS, temporary);
  const ULONGLONG deadline = ::GetTickCount64() + DeadlineMs();
  DEBUG_EVENT event{};
  while (process.Started() && !traced.exitCode &&
         NextDebugEvent(event, deadline, image + " to end under its debugger",
                        std::to_string(traced.libraries.size()) + " libraries loaded")) {
    if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && event.u.LoadDll.hFile != nullptr)
      traced.libraries.insert(FileNameOf(event.u.LoadDll.hFile));
    if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT)
      traced.exitCode = event.u.ExitProcess.dwExitCode;
    ContinueAfter(event);
  }
  return traced;
}

bool HoldAtFirstRead(std::uintptr_t offset, const std::function<void()>& held) {
  const std::string what = "the first read at " + std::to_string(offset) + " in the image";
  const ULONGLONG deadline = ::GetTickCount64() + DeadlineMs();
  HANDLE process = nullptr;
  char* page = nullptr;
  DWORD protection = 0;
  DEBUG_EVENT event{};
  while (NextDebugEvent(event, deadline, what)) {
    if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) {
      // A guard page: its first touch raises an exception, which comes here
      // first. The process raises none of its own.
      process = event.u.CreateProcessInfo.hProcess;
      page = static_cast<char*>(event.u.CreateProcessInfo.lpBaseOfImage) + (offset & ~4095u);
      if (!::VirtualProtectEx(process, page, 1, PAGE_READONLY | PAGE_GUARD, &protection))
        return false;
    }
    if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
      GiveUp(what, "the process ended");
      ContinueAfter(event);
      return false;
    }
    if (IsOwnException(event)) {
      // From here its reading thread is held suspended, the process no
      // longer debugged: `held` may start threads in it. The read goes ahead
      // on resumption. Under an emulator Wine reports the touch as another
      // exception and keeps the guard: it is taken off here.
      const UniqueHandle thread(::OpenThread(THREAD_SUSPEND_RESUME, FALSE, event.dwThreadId));
      DWORD guarded = 0;
      ::VirtualProtectEx(process, page, 1, protection, &guarded);
      // Detached, it handles its own exceptions and outlives this thread.
      ::DebugSetProcessKillOnExit(FALSE);
      const bool detached =
          thread && ::SuspendThread(thread.Get()) != DWORD(-1) &&
          ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE) &&
          ::DebugActiveProcessStop(event.dwProcessId);
      if (detached) held();
      if (thread) ::ResumeThread(thread.Get());
      return detached;
    }
    ContinueAfter(event);
  }
  return false;
}

std::vector<PROCESSENTRY32> Processes() {
  std::vector<PROCESSENTRY32> all;
  const UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snapshot.Get(), &entry); more;
       more = ::Process32Next(snapshot.Get(), &entry))
    all.push_back(entry);
  return all;
}

bool WaitUntil(const std::string& what, const std::function<bool()>& done,
               const std::function<std::string()>& seen) {
  const ULONGLONG deadline = ::GetTickCount64() + DeadlineMs();
  while (!done()) {
    if (::GetTickCount64() > deadline) {
      GiveUp(what, seen ? seen() : "");
      return false;
    }
    ::Sleep(25);  // the polling interval; nothing is assumed to be ready after it
  }
  return true;
}

Process::Process(const std::string& image, const std::string& arguments, const std::string& folder,
                 DWORD creationFlags, const std::string& temporary, const std::string& desktop)
    : name_(image.substr(image.find_last_of('\\') + 1)) {
  std::optional<TemporaryFolderAt> inherited;
  if (!temporary.empty()) inherited.emplace(temporary);
  std::wstring commandLine = Utf16From("\"" + image + "\" " + arguments);
  const std::wstring current = Utf16From(folder);
  std::wstring onDesktop = Utf16From(desktop);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!desktop.empty()) startup.lpDesktop = onDesktop.data();
  if (!::CreateProcessW(Utf16From(image).c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        creationFlags, nullptr, folder.empty() ? nullptr : current.c_str(),
                        &startup, &info_))
    info_ = {};
}

Process::~Process() {
  if (!Started()) return;
  if (Running()) {
    EndStartedBy(Id());
    ::TerminateProcess(info_.hProcess, 255);
  }
  ::WaitForSingleObject(info_.hProcess, DeadlineMs());
  ::CloseHandle(info_.hThread);
  ::CloseHandle(info_.hProcess);
}

bool Process::Running() const {
  return Started() && ::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::Exit() const {
  DWORD code = 0;
  if (!Started() ||
      !WaitUntil(
          name_ + " to end", [&] { return !Running(); },
          [&] { return "it still runs, with " + Describe(WindowsOf(Id())); }) ||
      !::GetExitCodeProcess(info_.hProcess, &code))
    return std::nullopt;
  return code;
}

std::optional<DWORD> Process::ErrorMode() const {
  // GetErrorMode takes nothing and returns the mode, the thread's exit code;
  // a system library lies at the same address in every process.
  const auto read = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetErrorMode")));
  const UniqueHandle thread(
      ::CreateRemoteThread(info_.hProcess, nullptr, 0, read, nullptr, 0, nullptr));
  DWORD mode = 0;
  const bool ended = thread && ::WaitForSingleObject(thread.Get(), DeadlineMs()) == WAIT_OBJECT_0 &&
                     ::GetExitCodeThread(thread.Get(), &mode);
  return ended ? std::optional(mode) : std::nullopt;
}

// The text the window manager holds: nothing is asked of another process.
std::string TextOf(HWND window) {
  char text[512] = "";
  ::GetWindowTextA(window, text, sizeof text);
  return text;
}

std::vector<HWND> WindowsOf(DWORD processId) {
  std::vector<HWND> all, visible;
  ::EnumWindows(Collect, reinterpret_cast<LPARAM>(&all));
  for (HWND window : all) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if ((processId == 0 || owner == processId) && ::IsWindowVisible(window))
      visible.push_back(window);
  }
  return visible;
}

HWND WaitForWindow(const Process& process, const std::string& title) {
  HWND found = nullptr;
  std::vector<HWND> windows;
  WaitUntil(
      "a window titled \"" + title + "\"",
      [&] {
        windows = WindowsOf(process.Id());
        for (HWND window : windows)
          if (TextOf(window) == title) found = window;
        return found != nullptr || !process.Running();
      },
      [&] { return Describe(windows); });
  return found;
}

HWND ButtonOf(HWND window, const std::string& text) {
  for (HWND child : ChildrenOf(window))
    if (IsClass(child, "Button") && TextOf(child) == text) return child;
  return nullptr;
}

void Click(HWND button) { ::PostMessageA(button, BM_CLICK, 0, 0); }

MessageBoxShown WaitForMessageBox(const Process& process) {
  MessageBoxShown shown;
  std::vector<HWND> windows;
  WaitUntil(
      "a message box with its prompt",
      [&] {
        windows = WindowsOf(process.Id());
        for (HWND window : windows)
          for (HWND child : ChildrenOf(window))  // the prompt; the icon is a static without text
            if (ClassOf(window) == "#32770" && IsClass(child, "Static") && !TextOf(child).empty())
              shown = {window, TextOf(window), TextOf(child)};
        return shown.box != nullptr || !process.Running();
      },
      [&] { return Describe(windows); });
  return shown;
}

bool Answer(const MessageBoxShown& shown, int id) {
  ::PostMessageA(shown.box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(shown.box, id)));
  return shown.box != nullptr && WaitUntil("the box \"" + shown.title + "\" to go", [&] {
           return !::IsWindow(shown.box) || !::IsWindowVisible(shown.box);
         });
}

Pixels WaitForPainted(HWND window, const RECT& area, const std::string& what,
                      const std::function<bool(const Pixels&)>& shows) {
  Pixels last, current;
  WaitUntil(
      what,
      [&] {
        POINT origin{0, 0};
        ::ClientToScreen(window, &origin);
        last = std::exchange(current, Capture({origin.x + area.left, origin.y + area.top,
                                               origin.x + area.right, origin.y + area.bottom}));
        return !current.rgb.empty() && current == last && shows(current);
      },
      [&] { return Describe(current, current == last); });
  return current;
}

}  // namespace tarnvel::test
