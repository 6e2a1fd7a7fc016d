// Drives setup.exe like a user: starts it, finds its windows and message
// boxes, reads their controls, clicks and answers, and reads the exit code.
// Everything goes through the window manager of the running Wine session, so
// what is checked is what a user would see.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tarnvel::e2e {

// Generous bounds for everything that waits on setup.exe: a 32-bit process
// takes about a minute to start under emulation.
constexpr DWORD kStartTimeoutMs = 8 * 60 * 1000;
constexpr DWORD kStepTimeoutMs = 4 * 60 * 1000;

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = other.Release();
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Release() {
    HANDLE h = handle_;
    handle_ = nullptr;
    return h;
  }
  void Reset() {
    if (Valid()) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

// One started setup.exe. A process still running when this goes away (a
// failed scenario) is ended, so the next scenario starts clean.
class SetupProcess {
 public:
  // Starts `exePath` with the command line "<quoted path> <tail>"; an empty
  // tail gives just the quoted path.
  static SetupProcess Start(const std::string& exePath, const std::string& tail);
  SetupProcess(SetupProcess&&) = default;
  SetupProcess& operator=(SetupProcess&&) = default;
  ~SetupProcess();

  bool Started() const { return process_.Valid(); }
  DWORD Pid() const { return pid_; }
  DWORD MainThreadId() const { return threadId_; }
  bool Running() const;
  // Waits for the end; false when it is still running after `timeoutMs`.
  bool WaitForExit(DWORD timeoutMs, DWORD& exitCode) const;

 private:
  SetupProcess() = default;
  UniqueHandle process_;
  UniqueHandle thread_;
  DWORD pid_ = 0;
  DWORD threadId_ = 0;
};

// A window of another process as a user sees it.
struct WindowInfo {
  HWND hwnd = nullptr;
  std::string className;
  std::string text;
  RECT rect{};  // top-level: screen; child: relative to its top-level's client area
  bool visible = false;
  LONG style = 0;
  LONG exStyle = 0;
  int id = 0;
};

WindowInfo Describe(HWND hwnd);

// Visible top-level windows of the process.
std::vector<WindowInfo> TopLevelWindows(DWORD pid);
// Polls for a visible top-level window of the process with exactly this
// title. Null when the process ends first or the time runs out.
HWND WaitForWindow(const SetupProcess& process, const std::string& title,
                   DWORD timeoutMs = kStepTimeoutMs);
// Polls until the window is hidden or destroyed.
bool WaitUntilHidden(HWND hwnd, DWORD timeoutMs = kStepTimeoutMs);
// One line per visible top-level window of the process, for failure reports.
std::string DescribeWindows(DWORD pid);

// Every descendant window, in the order the window manager keeps them.
std::vector<WindowInfo> Children(HWND topLevel);
// The descendant with this class (compared without case) and exact text.
WindowInfo FindChild(HWND topLevel, const std::string& className, const std::string& text);

// The thread's keyboard focus, as the window manager records it.
HWND FocusOf(DWORD threadId);
// The client area's top-left on screen and its size.
RECT ClientOnScreen(HWND hwnd);

// A user's click on a push button, option button or message-box button.
void Click(HWND button);
// The frame's close command (close box).
void Close(HWND topLevel);
// Enter pressed while `target` has the focus.
void PressEnter(HWND target);
// Moves a top-level window so its outer top-left is at (x, y).
void MoveTo(HWND topLevel, int x, int y);
// Makes the window repaint itself now and waits until it has.
void RepaintNow(HWND topLevel);
// Checked state of an option button.
bool IsChecked(HWND option);

// A message box: its title, its prompt (the static text) and its buttons.
struct MessageBoxInfo {
  HWND hwnd = nullptr;
  std::string title;
  std::string text;
  std::vector<WindowInfo> buttons;  // in the box's order
  int defaultId = 0;                // the button marked as default
};

MessageBoxInfo ReadMessageBox(HWND box);
std::vector<std::string> ButtonTexts(const MessageBoxInfo& box);
// Presses the button with this id (IDYES, IDNO, IDCANCEL, IDOK).
void Answer(const MessageBoxInfo& box, int id);

// Polls `done` until it holds; false when the time runs out first.
template <typename Predicate>
bool WaitUntil(DWORD timeoutMs, Predicate done) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(100);
  }
}

// The first visible dialog window (a message box) of the process; null when
// the process ends first or the time runs out.
HWND WaitForDialog(const SetupProcess& process, DWORD timeoutMs = kStepTimeoutMs);

}  // namespace tarnvel::e2e
