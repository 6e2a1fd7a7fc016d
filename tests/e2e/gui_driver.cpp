#include "gui_driver.h"

#include <algorithm>
#include <cctype>

namespace tarnvel::e2e {

namespace {

std::string TextOf(HWND hwnd) {
  // For another process's window this reads the caption the window manager
  // holds, without a round trip through that process.
  char buffer[1024] = {};
  GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

std::string ClassOf(HWND hwnd) {
  char buffer[256] = {};
  GetClassNameA(hwnd, buffer, sizeof buffer);
  return buffer;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

struct EnumState {
  DWORD pid;
  std::vector<WindowInfo>* out;
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param) {
  auto* state = reinterpret_cast<EnumState*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == state->pid && IsWindowVisible(hwnd)) state->out->push_back(Describe(hwnd));
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
  reinterpret_cast<std::vector<WindowInfo>*>(param)->push_back(Describe(hwnd));
  return TRUE;
}

}  // namespace

SetupProcess SetupProcess::Start(const std::string& exePath, const std::string& tail) {
  SetupProcess process;
  std::string commandLine = "\"" + exePath + "\"";
  if (!tail.empty()) commandLine += " " + tail;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
    return process;
  }
  process.process_ = UniqueHandle(info.hProcess);
  process.thread_ = UniqueHandle(info.hThread);
  process.pid_ = info.dwProcessId;
  process.threadId_ = info.dwThreadId;
  return process;
}

SetupProcess::~SetupProcess() {
  if (Running()) {
    TerminateProcess(process_.Get(), 255);
    WaitForSingleObject(process_.Get(), kStepTimeoutMs);
  }
}

bool SetupProcess::Running() const {
  return process_.Valid() && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

bool SetupProcess::WaitForExit(DWORD timeoutMs, DWORD& exitCode) const {
  if (!process_.Valid() || WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) {
    return false;
  }
  return GetExitCodeProcess(process_.Get(), &exitCode) != 0;
}

WindowInfo Describe(HWND hwnd) {
  WindowInfo info;
  info.hwnd = hwnd;
  info.className = ClassOf(hwnd);
  info.text = TextOf(hwnd);
  info.visible = IsWindowVisible(hwnd) != 0;
  info.style = GetWindowLongA(hwnd, GWL_STYLE);
  info.exStyle = GetWindowLongA(hwnd, GWL_EXSTYLE);
  info.id = GetDlgCtrlID(hwnd);
  GetWindowRect(hwnd, &info.rect);
  HWND root = GetAncestor(hwnd, GA_ROOT);
  if (root != nullptr && root != hwnd) {
    MapWindowPoints(HWND_DESKTOP, root, reinterpret_cast<POINT*>(&info.rect), 2);
  }
  return info;
}

std::vector<WindowInfo> TopLevelWindows(DWORD pid) {
  std::vector<WindowInfo> windows;
  EnumState state{pid, &windows};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&state));
  return windows;
}

HWND WaitForWindow(const SetupProcess& process, const std::string& title, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil(timeoutMs, [&] {
    for (const WindowInfo& w : TopLevelWindows(process.Pid())) {
      if (w.text == title) {
        found = w.hwnd;
        return true;
      }
    }
    return !process.Running();
  });
  return found;
}

HWND WaitForDialog(const SetupProcess& process, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil(timeoutMs, [&] {
    for (const WindowInfo& w : TopLevelWindows(process.Pid())) {
      if (w.className == "#32770") {
        found = w.hwnd;
        return true;
      }
    }
    return !process.Running();
  });
  return found;
}

bool WaitUntilHidden(HWND hwnd, DWORD timeoutMs) {
  return WaitUntil(timeoutMs, [&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); });
}

std::string DescribeWindows(DWORD pid) {
  std::string out;
  for (const WindowInfo& w : TopLevelWindows(pid)) {
    out += "[" + w.className + "] \"" + w.text + "\"";
    if (w.className == "#32770") out += ": \"" + ReadMessageBox(w.hwnd).text + "\"";
    out += "\n";
  }
  return out.empty() ? "(no visible window)\n" : out;
}

std::vector<WindowInfo> Children(HWND topLevel) {
  std::vector<WindowInfo> children;
  EnumChildWindows(topLevel, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

WindowInfo FindChild(HWND topLevel, const std::string& className, const std::string& text) {
  for (const WindowInfo& child : Children(topLevel)) {
    if (SameTextIgnoringCase(child.className, className) && child.text == text) return child;
  }
  return {};
}

HWND FocusOf(DWORD threadId) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(threadId, &info)) return nullptr;
  return info.hwndFocus;
}

RECT ClientOnScreen(HWND hwnd) {
  RECT client{};
  GetClientRect(hwnd, &client);
  MapWindowPoints(hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
  return client;
}

void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

void Close(HWND topLevel) { PostMessageA(topLevel, WM_SYSCOMMAND, SC_CLOSE, 0); }

void PressEnter(HWND target) {
  PostMessageA(target, WM_KEYDOWN, VK_RETURN, 0x001C0001);
  PostMessageA(target, WM_KEYUP, VK_RETURN, 0xC01C0001);
}

void MoveTo(HWND topLevel, int x, int y) {
  SetWindowPos(topLevel, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void RepaintNow(HWND topLevel) {
  RedrawWindow(topLevel, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  // Returns once the window's thread has handled what was sent before it.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(topLevel, WM_NULL, 0, 0, SMTO_NORMAL, kStepTimeoutMs, &ignored);
}

bool IsChecked(HWND option) {
  DWORD_PTR state = 0;
  SendMessageTimeoutA(option, BM_GETCHECK, 0, 0, SMTO_NORMAL, kStepTimeoutMs, &state);
  return state == BST_CHECKED;
}

MessageBoxInfo ReadMessageBox(HWND box) {
  MessageBoxInfo info;
  info.hwnd = box;
  info.title = TextOf(box);
  for (const WindowInfo& child : Children(box)) {
    if (SameTextIgnoringCase(child.className, "Static") && !child.text.empty()) {
      info.text = child.text;  // the prompt; the icon is a static without text
    } else if (SameTextIgnoringCase(child.className, "Button") && child.visible) {
      // Wine's box holds every kind of button and hides the ones not asked for.
      info.buttons.push_back(child);
      if ((child.style & 0x0F) == BS_DEFPUSHBUTTON) info.defaultId = child.id;
    }
  }
  // Left to right, as the user reads them.
  std::sort(info.buttons.begin(), info.buttons.end(),
            [](const WindowInfo& a, const WindowInfo& b) { return a.rect.left < b.rect.left; });
  return info;
}

std::vector<std::string> ButtonTexts(const MessageBoxInfo& box) {
  std::vector<std::string> texts;
  for (const WindowInfo& button : box.buttons) {
    std::string text;
    for (char c : button.text) {
      if (c != '&') text += c;  // access-key marks are not part of what is read
    }
    texts.push_back(text);
  }
  return texts;
}

void Answer(const MessageBoxInfo& box, int id) {
  HWND button = GetDlgItem(box.hwnd, id);
  PostMessageA(box.hwnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

}  // namespace tarnvel::e2e
