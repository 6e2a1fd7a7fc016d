// Takes the screenshots of the two windows for the documentation: drives
// setup.exe like the GUI tests do and writes what the screen shows as BMP
// files into the directory given as the only argument.
//
// Two starts of setup.exe: one at 96 DPI (welcome window, installation
// window before Install, and mid-run with a replace question open), one at
// 144 DPI (welcome window).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "build_paths.h"
#include "gui_driver.h"
#include "gui_image.h"
#include "gui_targets.h"
#include "setup_texts.h"

namespace tarnvel::e2e {
namespace {

// A component late enough in the manifest that the bar is about half grown
// when its replace question opens.
constexpr char kMidRunTarget[] = "MSINET.OCX";

bool Fail(const std::string& what) {
  std::fprintf(stderr, "screenshots: %s\n", what.c_str());
  return false;
}

RECT OuterRect(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return r;
}

bool Save(const RECT& area, const std::string& dir, const char* name) {
  const std::string path = dir + "\\" + name;
  if (!CaptureSettled(area).SaveBmp(path)) return Fail("cannot write " + path);
  std::printf("screenshots: %s\n", path.c_str());
  return true;
}

bool SaveWindow(HWND hwnd, const std::string& dir, const char* name) {
  RepaintNow(hwnd);
  return Save(OuterRect(hwnd), dir, name);
}

// Sets HKCU\Control Panel\Desktop LogPixels for the programs started while
// it lives, and puts back what was there.
class LogPixelsSetting {
 public:
  explicit LogPixelsSetting(DWORD dpi) {
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_,
                        nullptr) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    DWORD size = sizeof previous_;
    DWORD type = 0;
    hadValue_ = RegQueryValueExA(key_, kValue, nullptr, &type, reinterpret_cast<BYTE*>(&previous_),
                                 &size) == ERROR_SUCCESS &&
                type == REG_DWORD;
    set_ = RegSetValueExA(key_, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                          sizeof dpi) == ERROR_SUCCESS;
  }
  ~LogPixelsSetting() {
    if (key_ == nullptr) return;
    if (hadValue_) {
      RegSetValueExA(key_, kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous_),
                     sizeof previous_);
    } else {
      RegDeleteValueA(key_, kValue);
    }
    RegCloseKey(key_);
  }
  LogPixelsSetting(const LogPixelsSetting&) = delete;
  LogPixelsSetting& operator=(const LogPixelsSetting&) = delete;
  bool Set() const { return set_; }

 private:
  static constexpr char kValue[] = "LogPixels";
  HKEY key_ = nullptr;
  DWORD previous_ = 0;
  bool hadValue_ = false;
  bool set_ = false;
};

bool ShootAt96Dpi(const std::string& dir) {
  PlacedTarget target(kMidRunTarget, kPayloadDir);
  if (!target.Placed()) return Fail(target.Error());

  SetupProcess process = SetupProcess::Start(kSetupExe, "");
  if (!process.Started()) return Fail("cannot start " + kSetupExe);
  const HWND welcome = WaitForWindow(process, kWelcomeTitle, kStartTimeoutMs);
  if (welcome == nullptr) return Fail("no welcome window");
  if (!SaveWindow(welcome, dir, "welcome.bmp")) return false;

  Click(FindChild(welcome, "Button", kNextText).hwnd);
  const HWND installation = WaitForWindow(process, kInstallationTitle);
  if (installation == nullptr || !WaitUntilHidden(welcome)) return Fail("no installation window");
  if (!SaveWindow(installation, dir, "installation.bmp")) return false;

  const HWND ask = FindChild(installation, "Button", kAskText).hwnd;
  Click(ask);
  if (!WaitUntil(kStepTimeoutMs, [&] { return IsChecked(ask); })) return Fail("option not taken");
  Click(FindChild(installation, "Button", kInstallText).hwnd);
  const HWND box = WaitForDialog(process);
  if (box == nullptr) return Fail("no replace question");

  // The question over the lower part of the window, where a user might have
  // moved it, so the bar and the file-name line stay in view.
  const RECT window = OuterRect(installation);
  const RECT boxRect = OuterRect(box);
  const int boxWidth = boxRect.right - boxRect.left;
  const int boxHeight = boxRect.bottom - boxRect.top;
  MoveTo(box, window.left + (window.right - window.left - boxWidth) / 2, window.bottom - 60);
  RepaintNow(installation);
  RECT both{};
  const RECT moved{window.left + (window.right - window.left - boxWidth) / 2, window.bottom - 60,
                   window.left + (window.right - window.left + boxWidth) / 2,
                   window.bottom - 60 + boxHeight};
  UnionRect(&both, &window, &moved);
  if (!Save(both, dir, "installation-running.bmp")) return false;

  Answer(ReadMessageBox(box), IDNO);
  if (!WaitUntilHidden(box)) return Fail("replace question stayed");
  const HWND finish = WaitForDialog(process);
  if (finish != nullptr) Answer(ReadMessageBox(finish), IDOK);
  DWORD code = 0;
  return process.WaitForExit(kStepTimeoutMs, code) || Fail("setup did not end");
}

bool ShootAt144Dpi(const std::string& dir) {
  LogPixelsSetting dpi(144);
  if (!dpi.Set()) return Fail("cannot set LogPixels");
  SetupProcess process = SetupProcess::Start(kSetupExe, "");
  if (!process.Started()) return Fail("cannot start " + kSetupExe);
  const HWND welcome = WaitForWindow(process, kWelcomeTitle, kStartTimeoutMs);
  if (welcome == nullptr) return Fail("no welcome window");
  if (!SaveWindow(welcome, dir, "welcome-144dpi.bmp")) return false;

  Close(welcome);
  const HWND box = WaitForDialog(process);
  if (box == nullptr) return Fail("no cancel confirmation");
  Answer(ReadMessageBox(box), IDYES);
  DWORD code = 0;
  return process.WaitForExit(kStepTimeoutMs, code) || Fail("setup did not end");
}

}  // namespace
}  // namespace tarnvel::e2e

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: e2e_gui_screenshots <output directory>\n");
    return 2;
  }
  const std::string dir = argv[1];
  const bool ok = tarnvel::e2e::ShootAt96Dpi(dir) && tarnvel::e2e::ShootAt144Dpi(dir);
  return ok ? 0 : 1;
}
