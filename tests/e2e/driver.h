// What the Windows test programs share. Every wait is for a condition, by the
// one deadline the rig sized to this machine, and says what it last saw when
// it gives up.
#pragma once

#include <windows.h>
// <tlhelp32.h> needs <windows.h> first.
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tarnvel::test {

// TARNVEL_DEADLINE_MS, which the rig sets from how long a process takes to start.
DWORD DeadlineMs();

// Paths and texts are UTF-8. A path from the build with Windows separators.
std::string BuildPath(std::string path);
std::string SystemDirectory();
// A new, empty folder of its own in the temporary folder.
std::string NewFolder(const std::string& name);
std::optional<std::string> ReadWhole(const std::string& path);
bool WriteWhole(const std::string& path, const std::string& bytes, DWORD attributes = 0);
void Remove(const std::string& path);
DWORD Attributes(const std::string& path);
// CopyFile, overwriting.
bool Copy(const std::string& from, const std::string& to);
// Names in `folder` that match `pattern` (wildcards as FindFirstFile takes them).
std::vector<std::string> Matching(const std::string& folder, const std::string& pattern);
// An older copy of a component: "MZ", then filler naming it, 4096 bytes.
std::string OlderCopy(const std::string& name);

// Points TMP and TEMP at `path` while it lives, for this process and its children.
class TemporaryFolderAt {
 public:
  explicit TemporaryFolderAt(const std::string& path);
  ~TemporaryFolderAt();
  TemporaryFolderAt(const TemporaryFolderAt&) = delete;
  TemporaryFolderAt& operator=(const TemporaryFolderAt&) = delete;

 private:
  std::vector<std::pair<std::wstring, std::optional<std::wstring>>> before_;
};
// This run's logs in `folder`: "Tarnvel setup *.log", by name.
std::vector<std::string> LogsIn(const std::string& folder);

// Runs `image` to its end as its debugger, as Process starts it: the exit
// code (none at the deadline) and the lower-case file name of every library
// it loaded.
struct Traced {
  std::optional<DWORD> exitCode;
  std::set<std::string> libraries;
};
Traced RunTracingLibraries(const std::string& image, const std::string& arguments,
                           const std::string& folder = "", const std::string& temporary = "");

// For a process this thread started with DEBUG_ONLY_THIS_PROCESS: holds it at
// its first read of the page at `offset` from its image's base, stops
// debugging it, runs `held` meanwhile, then lets the read go ahead. False,
// having said why, when it ends or the deadline passes first.
bool HoldAtFirstRead(std::uintptr_t offset, const std::function<void()>& held);

// Every process running now.
std::vector<PROCESSENTRY32> Processes();

// Polls `done` until it holds; false, printing `what` and `seen`, at the deadline.
bool WaitUntil(const std::string& what, const std::function<bool()>& done,
               const std::function<std::string()>& seen = nullptr);

// A started program, in `folder`, with its temporary folder at `temporary`
// and on `desktop` ("station\\desktop") where given. One still running when
// this goes (a failed test) is ended.
class Process {
 public:
  Process(const std::string& image, const std::string& arguments, const std::string& folder = "",
          DWORD creationFlags = 0, const std::string& temporary = "",
          const std::string& desktop = "");
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  bool Started() const { return info_.hProcess != nullptr; }
  DWORD Id() const { return info_.dwProcessId; }
  bool Running() const;
  // Nothing when it still runs at the deadline.
  std::optional<DWORD> Exit() const;
  // Its error mode, as a thread started in it reads it: Wine answers a query
  // of another process's mode with the caller's own. Nothing by the deadline.
  std::optional<DWORD> ErrorMode() const;

 private:
  std::string name_;
  PROCESS_INFORMATION info_{};
};

std::string TextOf(HWND window);
// Visible top-level windows of the process; of every process for 0.
std::vector<HWND> WindowsOf(DWORD processId);
// Its visible top-level window with this title; null when it ends first.
HWND WaitForWindow(const Process& process, const std::string& title);
// A child button by its text.
HWND ButtonOf(HWND window, const std::string& text);
// A user's click, as the button's own keyboard and mouse handling makes it.
void Click(HWND button);

struct MessageBoxShown {
  HWND box = nullptr;
  std::string title;
  std::string text;
};
// The next message box, once its prompt is set; empty when the process ends first.
MessageBoxShown WaitForMessageBox(const Process& process);
// Presses button `id` and waits for the box to go; false when none or it stays.
bool Answer(const MessageBoxShown& shown, int id);

// Screen pixels as 0xRRGGBB, row by row.
struct Pixels {
  int width = 0;
  std::vector<std::uint32_t> rgb;
  bool operator==(const Pixels& other) const { return width == other.width && rgb == other.rgb; }
  int Count(std::uint32_t colour) const { return int(std::count(rgb.begin(), rgb.end(), colour)); }
};
// `area` of the client area once two captures in a row agree and `shows` holds
// for them (`what` names that); the last capture at the deadline.
Pixels WaitForPainted(HWND window, const RECT& area, const std::string& what,
                      const std::function<bool(const Pixels&)>& shows);

}  // namespace tarnvel::test
