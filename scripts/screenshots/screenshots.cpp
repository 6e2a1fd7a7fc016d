// Takes the README's screenshots: drives setup.exe under Wine like the
// end-to-end tests and writes what the screen shows as PPM files.
//   screenshots.exe <folder> 96    welcome, installation, installation mid-run
//   screenshots.exe <folder> 144   welcome (the caller sets LogPixels first)
#include <cstdio>
#include <string>

#include "driver.h"

using namespace tarnvel::test;

namespace {

constexpr char kWelcome[] = "Welcome to Tarnvel Installation setup";
constexpr char kInstallation[] = "Tarnvel Vivi-Installation Setup";
constexpr std::uint32_t kLavender = 0xF7F4FF;
std::string folder;

bool Fail(const char* what) {
  std::fprintf(stderr, "screenshots: %s\n", what);
  return false;
}

std::uint32_t SystemColour(int index) {
  const COLORREF c = ::GetSysColor(index);
  return GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c);
}

// `area` on screen, once painted: the title bar (in `caption`, a system
// colour) and at least `least` pixels of `colour`.
bool Shoot(HWND window, RECT area, const char* name, int caption, std::uint32_t colour, int least) {
  POINT origin{0, 0};
  ::ClientToScreen(window, &origin);
  ::OffsetRect(&area, -origin.x, -origin.y);
  const Pixels shot =
      WaitForPainted(window, area, std::string(name) + " painted", [&](const Pixels& p) {
        return p.Count(SystemColour(caption)) >= 100 && p.Count(colour) >= least;
      });
  const std::string path = folder + "\\" + name + ".ppm";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return Fail("cannot write a file");
  std::fprintf(file, "P6\n%d %d\n255\n", shot.width, int(shot.rgb.size()) / shot.width);
  for (std::uint32_t rgb : shot.rgb) {
    const unsigned char bytes[] = {(unsigned char)(rgb >> 16), (unsigned char)(rgb >> 8),
                                   (unsigned char)rgb};
    std::fwrite(bytes, 1, 3, file);
  }
  std::fclose(file);
  return true;
}

bool Shoot(HWND window, const char* name) {
  RECT outer;
  ::GetWindowRect(window, &outer);
  return Shoot(window, outer, name, COLOR_ACTIVECAPTION, kLavender, 1000);
}

bool AnswerNext(const Process& setup, int id) {
  const MessageBoxShown shown = WaitForMessageBox(setup);
  return shown.box != nullptr && Answer(shown, id);
}

bool At96Dpi() {
  // A component late enough that the bar is half grown at its question.
  const std::string target = SystemDirectory() + "\\MSINET.OCX";
  if (!WriteWhole(target, OlderCopy("MSINET.OCX"))) return Fail("cannot place MSINET.OCX");
  Process setup(BuildPath(TARNVEL_SETUP_EXE), "");
  const HWND welcome = WaitForWindow(setup, kWelcome);
  if (welcome == nullptr || !Shoot(welcome, "welcome")) return Fail("no welcome window");
  Click(ButtonOf(welcome, "Next >>"));
  const HWND installation = WaitForWindow(setup, kInstallation);
  if (installation == nullptr ||
      !WaitUntil("the welcome window to hide", [&] { return !::IsWindowVisible(welcome); }) ||
      !Shoot(installation, "installation"))
    return Fail("no installation window");
  const HWND ask = ButtonOf(installation, "Ask me before over write.");
  Click(ask);
  WaitUntil("the ask option to be checked",
            [&] { return ::SendMessageA(ask, BM_GETCHECK, 0, 0) == BST_CHECKED; });
  Click(ButtonOf(installation, "Install"));
  const MessageBoxShown question = WaitForMessageBox(setup);
  if (question.box == nullptr) return Fail("no replace question");
  // The question over the window's lower part, where a user might move it,
  // so the bar and the file-name line stay in view.
  RECT window, box, both;
  ::GetWindowRect(installation, &window);
  ::GetWindowRect(question.box, &box);
  const int x = (window.left + window.right - (box.right - box.left)) / 2;
  ::SetWindowPos(question.box, nullptr, x, window.bottom - 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ::OffsetRect(&box, x - box.left, window.bottom - 60 - box.top);
  ::UnionRect(&both, &window, &box);
  if (!Shoot(installation, both, "installation-running", COLOR_INACTIVECAPTION, 0x00FF00, 100))
    return false;
  const bool ended = Answer(question, IDNO) && AnswerNext(setup, IDOK) && setup.Exit();
  Remove(target);
  return ended || Fail("setup did not end");
}

bool At144Dpi() {
  Process setup(BuildPath(TARNVEL_SETUP_EXE), "");
  const HWND welcome = WaitForWindow(setup, kWelcome);
  if (welcome == nullptr || !Shoot(welcome, "welcome-144dpi")) return Fail("no welcome window");
  ::PostMessageA(welcome, WM_SYSCOMMAND, SC_CLOSE, 0);
  return (AnswerNext(setup, IDYES) && setup.Exit()) || Fail("setup did not end");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: screenshots <folder> 96|144"), 2;
  folder = argv[1];
  return (std::string(argv[2]) == "144" ? At144Dpi() : At96Dpi()) ? 0 : 1;
}
