// The two windows end to end: the real setup.exe under Wine, driven the way a
// user drives it. Each test is one start of setup.exe (about a minute under
// emulation), so each walks a whole path through the windows and checks
// every step on the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "build_paths.h"
#include "gui_driver.h"
#include "gui_image.h"
#include "gui_targets.h"
#include "install/manifest.h"
#include "setup_texts.h"

namespace tarnvel::e2e {
namespace {

// Exit codes a caller of setup.exe relies on.
constexpr DWORD kExitSuccess = 0;
constexpr DWORD kExitFailures = 1;
constexpr DWORD kExitCancelled = 2;

constexpr Rgb kWhite = Rgb::Of(0xFFFFFF);
constexpr Rgb kLavender = Rgb::Of(0xF7F4FF);
constexpr Rgb kDarkBlue = Rgb::Of(0x0000C0);
constexpr Rgb kPaleGreen = Rgb::Of(0xEFFEE9);
constexpr Rgb kGreen = Rgb::Of(0x00C000);
constexpr Rgb kLightGrey = Rgb::Of(0xE0E0E0);
constexpr Rgb kSilver = Rgb::Of(0xC0C0C0);
constexpr Rgb kBarGreen = Rgb::Of(0x00FF00);
constexpr Rgb kRed = Rgb::Of(0xFF0000);

Rgb SystemColour(int index) { return Rgb::FromColorRef(GetSysColor(index)); }

// Client-area rectangles of the design at 96 DPI, in pixels.
constexpr Box kBanner{184, -8, 200, 80};
constexpr Box kBar{80, 152, 321, 17};
constexpr Box kFileNameLine{80, 176, 321, 25};
constexpr Box kFailureLine{8, 312, 185, 17};
constexpr Box kFrame1{104, 128, 273, 97};
constexpr FontSpec kFailureLineFont{"MS Sans Serif", 8.25, FW_BOLD};
// The windows' default font, which the file-name line uses: the classic
// dialog font.
constexpr FontSpec kDefaultFont{"MS Sans Serif", 8, FW_NORMAL};
constexpr int kFullScaleTwips = 4815;
constexpr int kTwipsPerPixel = 15;

// The design's Left, Top, Width, Height of a child window, read back.
Box BoxOf(const WindowInfo& w) {
  return {w.rect.left, w.rect.top, w.rect.right - w.rect.left, w.rect.bottom - w.rect.top};
}

// What the shell counts as a window with a task-bar button.
bool HasTaskbarButton(HWND hwnd) {
  const LONG exStyle = GetWindowLongA(hwnd, GWL_EXSTYLE);
  if (!IsWindowVisible(hwnd) || (exStyle & WS_EX_TOOLWINDOW) != 0) return false;
  return (exStyle & WS_EX_APPWINDOW) != 0 || GetWindow(hwnd, GW_OWNER) == nullptr;
}

int VisibleLists(HWND topLevel) {
  int n = 0;
  for (const WindowInfo& child : Children(topLevel)) {
    if (child.visible && _stricmp(child.className.c_str(), "ListBox") == 0) ++n;
  }
  return n;
}

int ManifestPosition(const std::string& name) {
  for (std::size_t i = 0; i < kManifest.size(); ++i) {
    if (name == kManifest[i].name) return static_cast<int>(i) + 1;
  }
  return 0;
}

// The bar's pixel width once k entries are done: k of 28 of the full scale,
// rounded to whole twips; before the first entry it keeps its design width.
double ExpectedBarPixels(int doneEntries) {
  if (doneEntries == 0) return 1;
  const double twips = std::nearbyint(static_cast<double>(kFullScaleTwips) * doneEntries /
                                      static_cast<double>(kManifest.size()));
  return twips / kTwipsPerPixel;
}

// From the bar's left edge to the first pixel of its white background.
int MeasuredBarPixels(const Image& client) {
  const int y = kBar.y + kBar.height / 2;
  int x = kBar.x;
  while (x < kBar.x + kBar.width && client.At(x, y) != kWhite) ++x;
  return x - kBar.x;
}

// How far the text shown in `area` is from `text` drawn here in `font`:
// pixels where one has ink and the other not, at the best small shift. Ink
// on screen is what differs from the area's background before the text.
int TextMismatch(const Image& shown, const Image& background, const Box& area,
                 const std::string& text, const FontSpec& font) {
  const Image drawn = RenderText(text, font, 96, area.width, area.height);
  const auto inkShown = [&](int x, int y) {
    return shown.At(area.x + x, area.y + y) != background.At(area.x + x, area.y + y);
  };
  const auto inkDrawn = [&](int x, int y) {
    return drawn.Contains(x, y) && drawn.At(x, y) != kWhite;
  };
  constexpr int kShift = 3;
  int best = area.width * area.height;
  for (int dy = -kShift; dy <= kShift; ++dy) {
    for (int dx = -kShift; dx <= kShift; ++dx) {
      int mismatch = 0;
      for (int y = 0; y < area.height; ++y) {
        for (int x = 0; x < area.width; ++x) {
          if (inkShown(x, y) != inkDrawn(x - dx, y - dy)) ++mismatch;
        }
      }
      best = std::min(best, mismatch);
    }
  }
  return best;
}

// Waits for the next message box and reads it; the previous one must have
// gone first.
MessageBoxInfo NextBox(const SetupProcess& process) {
  HWND box = WaitForDialog(process);
  return box != nullptr ? ReadMessageBox(box) : MessageBoxInfo{};
}

// Answers and waits until the box is gone.
void AnswerAndWait(const MessageBoxInfo& box, int id) {
  Answer(box, id);
  EXPECT_TRUE(WaitUntilHidden(box.hwnd)) << "\"" << box.title << "\" stayed open";
}

void ExpectCancelConfirmation(const MessageBoxInfo& box) {
  EXPECT_EQ(box.title, kCancelTitle);
  EXPECT_EQ(box.text, kCancelPrompt);
  EXPECT_EQ(ButtonTexts(box), (std::vector<std::string>{"Yes", "No"}));
  EXPECT_EQ(box.defaultId, IDYES);
}

// Puts a message box beside the window, so the window can be seen whole,
// and captures the window's client area once it has repainted.
Image CaptureClientBeside(HWND window, HWND box) {
  RECT outer{};
  GetWindowRect(window, &outer);
  RECT boxRect{};
  GetWindowRect(box, &boxRect);
  const int boxWidth = boxRect.right - boxRect.left;
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  if (outer.right + 8 + boxWidth <= screenWidth) {
    MoveTo(box, outer.right + 8, outer.top);
  } else {
    MoveTo(box, outer.left, outer.bottom + 8);
  }
  RepaintNow(window);
  return CaptureSettled(ClientOnScreen(window));
}

Image CaptureClient(HWND window) {
  RepaintNow(window);
  return CaptureSettled(ClientOnScreen(window));
}

DWORD ExitCodeOf(const SetupProcess& process) {
  DWORD code = 0xFFFFFFFF;
  EXPECT_TRUE(process.WaitForExit(kStepTimeoutMs, code)) << "still running; windows:\n"
                                                         << DescribeWindows(process.Pid());
  return code;
}

struct PixelCase {
  const char* what;
  int x;
  int y;
  Rgb expected;
};

void ExpectPixels(const Image& client, const std::vector<PixelCase>& cases) {
  for (const PixelCase& c : cases) {
    EXPECT_EQ(client.At(c.x, c.y), c.expected) << c.what << " at (" << c.x << ", " << c.y << ")";
  }
}

// The welcome window as the design draws it, at 96 DPI.
void ExpectWelcomeWindow(const SetupProcess& process, HWND welcome) {
  SCOPED_TRACE("welcome window");
  const WindowInfo window = Describe(welcome);
  EXPECT_EQ(window.text, kWelcomeTitle);
  const RECT client = ClientOnScreen(welcome);
  EXPECT_EQ((Box{client.left, client.top, client.right - client.left, client.bottom - client.top}),
            (Box{183, 132, 464, 342}));
  EXPECT_NE(window.style & WS_SYSMENU, 0) << "close box";
  EXPECT_EQ(window.style & WS_MINIMIZEBOX, 0);
  EXPECT_EQ(window.style & WS_MAXIMIZEBOX, 0);
  EXPECT_EQ(window.style & WS_THICKFRAME, 0) << "the window cannot be resized";
  EXPECT_FALSE(HasTaskbarButton(welcome));

  const WindowInfo next = FindChild(welcome, "Button", kNextText);
  const WindowInfo cancel = FindChild(welcome, "Button", kCancelText);
  ASSERT_NE(next.hwnd, nullptr);
  ASSERT_NE(cancel.hwnd, nullptr);
  EXPECT_EQ(BoxOf(next), (Box{368, 304, 81, 25}));
  EXPECT_EQ(BoxOf(cancel), (Box{280, 304, 81, 25}));
  EXPECT_EQ(FocusOf(process.MainThreadId()), next.hwnd) << "Next >> has the focus";

  const Image image = CaptureClient(welcome);
  ASSERT_EQ(image.Width(), 464);
  const Rgb frameText = SystemColour(COLOR_WINDOWTEXT);
  ExpectPixels(image, {
                          {"white background, left", 4, 4, kWhite},
                          {"white background, top", 100, 8, kWhite},
                          {"white background, right", 461, 200, kWhite},
                          {"lavender panel", 20, 250, kLavender},
                          {"lavender panel beside the emblem", 140, 140, kLavender},
                          {"lavender panel border, left", 8, 250, kDarkBlue},
                          {"lavender panel border, left inner", 9, 250, kDarkBlue},
                          {"lavender panel border, top", 140, 16, kDarkBlue},
                          {"lavender panel border, top inner", 140, 17, kDarkBlue},
                          {"green panel", 300, 220, kPaleGreen},
                          {"green panel, right", 440, 240, kPaleGreen},
                          {"green panel border, left", 160, 220, kGreen},
                          {"green panel border, left inner", 161, 220, kGreen},
                          {"green panel border, top", 420, 80, kGreen},
                          {"green panel border, top inner", 420, 81, kGreen},
                          {"grey footer", 100, 312, kLightGrey},
                          {"grey footer, bottom left", 30, 330, kLightGrey},
                          {"grey footer border, left", 8, 312, frameText},
                          {"grey footer border, top", 100, 288, frameText},
                          {"Next >> face", 376, 312, kSilver},
                          {"Cancel face", 288, 312, kSilver},
                      });

  // The banner's first 8 rows lie above the client area: row 0 of the
  // window shows row 8 of the picture.
  const Image banner = Image::LoadBmp(kBannerBmp);
  ASSERT_EQ(banner.Width(), kBanner.width) << "banner picture " << kBannerBmp;
  ASSERT_EQ(banner.Height(), kBanner.height);
  int differing = 0;
  for (int y = 0; y < kBanner.y + kBanner.height; ++y) {
    for (int x = 0; x < kBanner.width; ++x) {
      if (image.At(kBanner.x + x, y) != banner.At(x, y - kBanner.y)) ++differing;
    }
  }
  EXPECT_EQ(differing, 0) << "banner pixels that differ from the picture shifted up by 8 rows";
}

// The cancel confirmation from the close box and from Cancel, answered No.
void ExpectNoKeepsWelcome(const SetupProcess& process, HWND welcome) {
  SCOPED_TRACE("cancel confirmation answered No");
  RECT before{};
  GetWindowRect(welcome, &before);
  for (const bool closeBox : {true, false}) {
    SCOPED_TRACE(closeBox ? "close box" : "Cancel");
    if (closeBox) {
      Close(welcome);
    } else {
      Click(FindChild(welcome, "Button", kCancelText).hwnd);
    }
    const MessageBoxInfo box = NextBox(process);
    ASSERT_NE(box.hwnd, nullptr) << DescribeWindows(process.Pid());
    ExpectCancelConfirmation(box);
    AnswerAndWait(box, IDNO);
    EXPECT_TRUE(IsWindowVisible(welcome)) << "No keeps the welcome window";
    RECT after{};
    GetWindowRect(welcome, &after);
    EXPECT_TRUE(EqualRect(&before, &after));
  }
}

// The installation window right after Next, before Install.
void ExpectInstallationBeforeInstall(const SetupProcess& process, HWND installation, HWND welcome,
                                     const RECT& welcomeOuter) {
  SCOPED_TRACE("installation window before Install");
  const WindowInfo window = Describe(installation);
  EXPECT_TRUE(EqualRect(&window.rect, &welcomeOuter)) << "covers the welcome window exactly";
  EXPECT_FALSE(IsWindowVisible(welcome)) << "the welcome window is hidden";
  EXPECT_EQ(window.style & WS_SYSMENU, 0) << "no system menu, no close box";
  EXPECT_EQ(window.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_EQ(window.style & WS_THICKFRAME, 0) << "the window cannot be resized";
  EXPECT_TRUE(HasTaskbarButton(installation));

  const WindowInfo frame = FindChild(installation, "Button", kFrameText);
  const WindowInfo overwrite = FindChild(installation, "Button", kOverwriteText);
  const WindowInfo ask = FindChild(installation, "Button", kAskText);
  const WindowInfo install = FindChild(installation, "Button", kInstallText);
  const WindowInfo cancel = FindChild(installation, "Button", kCancelText);
  ASSERT_NE(frame.hwnd, nullptr);
  ASSERT_NE(overwrite.hwnd, nullptr);
  ASSERT_NE(ask.hwnd, nullptr);
  ASSERT_NE(install.hwnd, nullptr);
  ASSERT_NE(cancel.hwnd, nullptr);
  EXPECT_TRUE(frame.visible);
  EXPECT_EQ(frame.style & 0x0F, BS_GROUPBOX);
  EXPECT_EQ(BoxOf(frame), kFrame1);
  // The options are placed inside the frame.
  const auto inFrame = [&](const WindowInfo& w) {
    Box b = BoxOf(w);
    b.x -= frame.rect.left;
    b.y -= frame.rect.top;
    return b;
  };
  EXPECT_EQ(inFrame(overwrite), (Box{72, 24, 185, 17}));
  EXPECT_EQ(inFrame(ask), (Box{72, 56, 161, 17}));
  EXPECT_TRUE(overwrite.visible && ask.visible);
  EXPECT_TRUE(IsChecked(overwrite.hwnd)) << "Over write the files. is selected";
  EXPECT_FALSE(IsChecked(ask.hwnd));
  EXPECT_EQ(BoxOf(install), (Box{376, 304, 81, 25}));
  EXPECT_EQ(BoxOf(cancel), (Box{288, 304, 81, 25}));
  EXPECT_EQ(FocusOf(process.MainThreadId()), install.hwnd) << "Install has the focus";
  EXPECT_EQ(VisibleLists(installation), 0);

  // Where the bar and the file-name line reach out beside the frame, only
  // the window's background shows; the failure line is empty.
  const Image image = CaptureClient(installation);
  const Rgb face = SystemColour(COLOR_BTNFACE);
  for (const Box& strip :
       {Box{kBar.x, kBar.y, kFrame1.x - kBar.x, kBar.height},
        Box{kFrame1.x + kFrame1.width, kBar.y, 24, kBar.height},
        Box{kFileNameLine.x, kFileNameLine.y, 24, kFileNameLine.height},
        Box{kFrame1.x + kFrame1.width, kFileNameLine.y, 24, kFileNameLine.height}}) {
    EXPECT_EQ(image.Count(strip, face), strip.width * strip.height)
        << "background only in " << testing::PrintToString(strip);
  }
  EXPECT_EQ(image.Count(kBar, kBarGreen), 0) << "the bar is hidden";
  EXPECT_EQ(image.Count(kFailureLine, kRed), 0) << "the failure line is empty";
}

Image Uniform(int width, int height, Rgb colour) {
  Image image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image.Set(x, y, colour);
  }
  return image;
}

// The file-name line names manifest entry `entry`, and not its neighbours.
void ExpectFileNameLine(const Image& client, int entry) {
  const Image background =
      Uniform(client.Width(), client.Height(), SystemColour(COLOR_BTNFACE));  // opaque label
  const auto mismatch = [&](int k) {
    return TextMismatch(client, background, kFileNameLine,
                        std::string("Copying ") + kManifest[k - 1].name, kDefaultFont);
  };
  const int shown = mismatch(entry);
  EXPECT_LE(shown, 2) << "the file-name line reads \"Copying " << kManifest[entry - 1].name << "\"";
  for (const int other : {entry - 1, entry + 1}) {
    if (other >= 1 && other <= static_cast<int>(kManifest.size())) {
      EXPECT_LT(shown, mismatch(other)) << "closer to the name of entry " << other;
    }
  }
}

// The run's state while the question for manifest entry `entry` holds it:
// policy frame gone, the bar at the width for the entries before it, the
// file-name line naming it.
void ExpectRunningWindow(HWND installation, HWND box, int entry) {
  EXPECT_FALSE(IsWindowVisible(FindChild(installation, "Button", kFrameText).hwnd))
      << "the frame is hidden during the run";
  EXPECT_EQ(VisibleLists(installation), 0);
  const Image image = CaptureClientBeside(installation, box);
  const int doneEntries = entry - 1;
  EXPECT_NEAR(MeasuredBarPixels(image), ExpectedBarPixels(doneEntries), 1.0)
      << doneEntries << " of " << kManifest.size() << " entries done";
  EXPECT_EQ(image.At(kBar.x + kBar.width - 5, kBar.y + kBar.height / 2), kWhite)
      << "the bar's white background shows";
  if (ExpectedBarPixels(doneEntries) >= 3) {
    EXPECT_GT(image.Count(kBar, kBarGreen), 0) << "green fill";
  }
  ExpectFileNameLine(image, entry);
}

// Walks from the welcome window through Next into the installation window;
// returns both windows, or nulls after a failure.
struct Windows {
  HWND welcome = nullptr;
  HWND installation = nullptr;
};

Windows OpenInstallationWindow(const SetupProcess& process) {
  Windows w;
  w.welcome = WaitForWindow(process, kWelcomeTitle, kStartTimeoutMs);
  if (w.welcome == nullptr) {
    ADD_FAILURE() << "no welcome window; windows:\n" << DescribeWindows(process.Pid());
    return {};
  }
  Click(FindChild(w.welcome, "Button", kNextText).hwnd);
  w.installation = WaitForWindow(process, kInstallationTitle);
  if (w.installation == nullptr) {
    ADD_FAILURE() << "no installation window; windows:\n" << DescribeWindows(process.Pid());
    return {};
  }
  return w;
}

void SelectAskMode(HWND installation) {
  const HWND ask = FindChild(installation, "Button", kAskText).hwnd;
  const HWND overwrite = FindChild(installation, "Button", kOverwriteText).hwnd;
  Click(ask);
  EXPECT_TRUE(WaitUntil(kStepTimeoutMs, [&] { return IsChecked(ask); }));
  EXPECT_FALSE(IsChecked(overwrite)) << "exactly one option is selected";
}

TEST(GuiFlow, WelcomeNextAndAskModeRunAsksPerPresentTargetAndFinishes) {
  // Three present targets in manifest order, answered Yes, No and Cancel.
  PlacedTarget written("agentctl.dll", kPayloadDir);
  ASSERT_TRUE(written.Placed()) << written.Error();
  PlacedTarget declined("COMCT232.OCX", kPayloadDir);
  ASSERT_TRUE(declined.Placed()) << declined.Error();
  PlacedTarget cancelled("MSINET.OCX", kPayloadDir);
  ASSERT_TRUE(cancelled.Placed()) << cancelled.Error();
  ASSERT_LT(ManifestPosition(written.Name()), ManifestPosition(declined.Name()));
  ASSERT_LT(ManifestPosition(declined.Name()), ManifestPosition(cancelled.Name()));

  SetupProcess process = SetupProcess::Start(kSetupExe, "");
  ASSERT_TRUE(process.Started()) << kSetupExe;
  const HWND welcome = WaitForWindow(process, kWelcomeTitle, kStartTimeoutMs);
  ASSERT_NE(welcome, nullptr) << DescribeWindows(process.Pid());

  ExpectWelcomeWindow(process, welcome);
  ExpectNoKeepsWelcome(process, welcome);

  RECT welcomeOuter{};
  GetWindowRect(welcome, &welcomeOuter);
  Click(FindChild(welcome, "Button", kNextText).hwnd);
  const HWND installation = WaitForWindow(process, kInstallationTitle);
  ASSERT_NE(installation, nullptr) << DescribeWindows(process.Pid());
  ASSERT_TRUE(WaitUntilHidden(welcome));
  ExpectInstallationBeforeInstall(process, installation, welcome, welcomeOuter);

  SelectAskMode(installation);
  Click(FindChild(installation, "Button", kInstallText).hwnd);

  struct Question {
    const PlacedTarget& target;
    int answer;
  };
  for (const Question& q :
       {Question{written, IDYES}, Question{declined, IDNO}, Question{cancelled, IDCANCEL}}) {
    SCOPED_TRACE(q.target.Name());
    const MessageBoxInfo box = NextBox(process);
    ASSERT_NE(box.hwnd, nullptr) << DescribeWindows(process.Pid());
    EXPECT_EQ(box.title, kReplaceTitle);
    EXPECT_EQ(box.text, ReplacePrompt(q.target.Name()));
    EXPECT_EQ(ButtonTexts(box), (std::vector<std::string>{"Yes", "No", "Cancel"}));
    EXPECT_EQ(box.defaultId, IDYES);
    ExpectRunningWindow(installation, box.hwnd, ManifestPosition(q.target.Name()));
    AnswerAndWait(box, q.answer);
  }

  {
    SCOPED_TRACE("Cancel in the replace question, then No");
    const MessageBoxInfo box = NextBox(process);
    ASSERT_NE(box.hwnd, nullptr) << DescribeWindows(process.Pid());
    ExpectCancelConfirmation(box);
    AnswerAndWait(box, IDNO);
  }

  {
    SCOPED_TRACE("finish message");
    const MessageBoxInfo box = NextBox(process);
    ASSERT_NE(box.hwnd, nullptr) << DescribeWindows(process.Pid());
    EXPECT_EQ(box.title, kFinishTitle);
    EXPECT_EQ(box.text, kFinishPrompt);
    EXPECT_EQ(ButtonTexts(box), (std::vector<std::string>{"OK"}));
    EXPECT_EQ(MeasuredBarPixels(CaptureClientBeside(installation, box.hwnd)),
              kFullScaleTwips / kTwipsPerPixel)
        << "the bar is full";
    Answer(box, IDOK);
  }
  EXPECT_EQ(ExitCodeOf(process), kExitSuccess);

  EXPECT_EQ(written.Content(), written.Payload()) << "Yes writes the payload";
  EXPECT_TRUE(declined.Unchanged()) << "No leaves it";
  EXPECT_TRUE(cancelled.Unchanged()) << "Cancel, then No, leaves it";
}

TEST(GuiFlow, CloseBoxThenEnterOnConfirmationEndsWithCancelledCode) {
  SetupProcess process = SetupProcess::Start(kSetupExe, "");
  ASSERT_TRUE(process.Started()) << kSetupExe;
  const HWND welcome = WaitForWindow(process, kWelcomeTitle, kStartTimeoutMs);
  ASSERT_NE(welcome, nullptr) << DescribeWindows(process.Pid());

  Close(welcome);
  const MessageBoxInfo box = NextBox(process);
  ASSERT_NE(box.hwnd, nullptr) << DescribeWindows(process.Pid());
  ExpectCancelConfirmation(box);
  const HWND focus = FocusOf(process.MainThreadId());
  EXPECT_EQ(focus, GetDlgItem(box.hwnd, IDYES)) << "Yes has the focus";
  PressEnter(focus);
  EXPECT_EQ(ExitCodeOf(process), kExitCancelled);
}

// No component file present: the run passes over every entry. Only an
// empty command tail allows the finish message.
struct NoTargetCase {
  const char* tail;
  bool finishMessage;
};

class NoTargetRun : public testing::TestWithParam<NoTargetCase> {};

TEST_P(NoTargetRun, EndsWithSuccessAndFinishMessageOnlyForEmptyTail) {
  for (const auto& component : kManifest) {
    const std::string path = SystemDirectory() + "\\" + component.name;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const DWORD passedOver =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
    ASSERT_TRUE(attributes == INVALID_FILE_ATTRIBUTES || (attributes & passedOver) != 0)
        << path << " is present";
  }

  SetupProcess process = SetupProcess::Start(kSetupExe, GetParam().tail);
  ASSERT_TRUE(process.Started()) << kSetupExe;
  const Windows windows = OpenInstallationWindow(process);
  ASSERT_NE(windows.installation, nullptr);
  Click(FindChild(windows.installation, "Button", kInstallText).hwnd);

  const MessageBoxInfo box = NextBox(process);
  if (GetParam().finishMessage) {
    ASSERT_NE(box.hwnd, nullptr) << "no finish message";
    EXPECT_EQ(box.title, kFinishTitle);
    EXPECT_EQ(box.text, kFinishPrompt);
    EXPECT_EQ(ButtonTexts(box), (std::vector<std::string>{"OK"}));
    EXPECT_EQ(MeasuredBarPixels(CaptureClientBeside(windows.installation, box.hwnd)),
              kFullScaleTwips / kTwipsPerPixel)
        << "the bar is full";
    Answer(box, IDOK);
  } else if (box.hwnd != nullptr) {
    ADD_FAILURE() << "unexpected box \"" << box.title << "\": " << box.text;
    Answer(box, IDOK);
  }
  EXPECT_EQ(ExitCodeOf(process), kExitSuccess);
}

INSTANTIATE_TEST_SUITE_P(GuiFlow, NoTargetRun,
                         testing::Values(NoTargetCase{"", true}, NoTargetCase{"/x", false}),
                         [](const testing::TestParamInfo<NoTargetCase>& info) {
                           return info.param.finishMessage ? std::string("EmptyTail")
                                                           : std::string("OtherTail");
                         });

TEST(GuiFlow, LockedTargetShowsRedFailureLineAndEndsWithFailureCode) {
  PlacedTarget locked("agentctl.dll", kPayloadDir);
  ASSERT_TRUE(locked.Placed()) << locked.Error();
  PlacedTarget next("asycfilt.dll", kPayloadDir);
  ASSERT_TRUE(next.Placed()) << next.Error();
  ASSERT_LT(ManifestPosition(locked.Name()), ManifestPosition(next.Name()));
  LockedFile lock(locked.Path());
  ASSERT_TRUE(lock.Locked());

  SetupProcess process = SetupProcess::Start(kSetupExe, "");
  ASSERT_TRUE(process.Started()) << kSetupExe;
  const Windows windows = OpenInstallationWindow(process);
  ASSERT_NE(windows.installation, nullptr);
  const Image beforeRun = CaptureClient(windows.installation);
  Click(FindChild(windows.installation, "Button", kInstallText).hwnd);

  // The run fails on the locked target first. Once it has rewritten the next
  // one, a click on Cancel holds the run in its confirmation, with the
  // failure line on screen.
  ASSERT_TRUE(WaitUntil(kStepTimeoutMs, [&] { return next.Rewritten() || !process.Running(); }));
  Click(FindChild(windows.installation, "Button", kCancelText).hwnd);
  const MessageBoxInfo box = NextBox(process);
  ASSERT_NE(box.hwnd, nullptr) << "the run ended before Cancel was handled";
  ExpectCancelConfirmation(box);
  const Image image = CaptureClientBeside(windows.installation, box.hwnd);
  EXPECT_GT(image.Count(kFailureLine, kRed), 20) << "red text in the failure line";
  EXPECT_LE(
      TextMismatch(image, beforeRun, kFailureLine, "Unable to copy 1 files.", kFailureLineFont), 2)
      << "the failure line reads \"Unable to copy 1 files.\"; for comparison, \"2 files.\" is "
      << TextMismatch(image, beforeRun, kFailureLine, "Unable to copy 2 files.", kFailureLineFont)
      << " pixels off";
  EXPECT_GE(MeasuredBarPixels(image), ExpectedBarPixels(ManifestPosition(next.Name()) - 1) - 1);
  AnswerAndWait(box, IDNO);

  // No finish message after a failure: the program just ends.
  for (MessageBoxInfo unexpected = NextBox(process); unexpected.hwnd != nullptr;
       unexpected = NextBox(process)) {
    ADD_FAILURE() << "unexpected box \"" << unexpected.title << "\": " << unexpected.text;
    AnswerAndWait(unexpected, unexpected.defaultId != 0 ? unexpected.defaultId : IDOK);
  }
  EXPECT_EQ(ExitCodeOf(process), kExitFailures);
  lock.Unlock();
  EXPECT_TRUE(locked.Unchanged());
  EXPECT_FALSE(next.Unchanged());
}

}  // namespace
}  // namespace tarnvel::e2e
