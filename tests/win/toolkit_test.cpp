// The toolkit's Win32 side on a shown form: where things land, what colour
// the pixels are, stacking, option groups, keyboard and immediate repaints.
// Pixels are read back from the screen, as the user would see them.
#include "ui/toolkit.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "toolkit_test_ids.h"
#include "ui/progress_bar.h"
#include "ui/win32_gdi.h"
#include "ui/win32_toolkit.h"

namespace tarnvel::ui {
namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

Win32Backend& SystemBackend() {
  static Win32Backend backend;
  return backend;
}

Font SansBold975() { return Font{"MS Sans Serif", 9.75, 700, 0}; }

Shape::Style Filled(std::uint32_t fill, std::uint32_t border, int width) {
  Shape::Style style;
  style.fillColor = Color::Rgb(fill);
  style.borderColor = Color::Rgb(border);
  style.borderWidthPx = width;
  return style;
}

Shape::Style RoundOutline() {
  Shape::Style style;
  style.kind = Shape::Kind::RoundedRectangle;
  style.transparentInterior = true;
  style.borderColor = Color::Rgb(0x8080FF);
  return style;
}

Label::Style RedText() {
  Label::Style style;
  style.font = SansBold975();
  style.foreColor = Color::Rgb(0xFF0000);
  style.transparent = true;
  return style;
}

Form::Style TestStyle() {
  Form::Style style;
  style.caption = "Toolkit test";
  style.frame = Form::FrameStyle::FixedDialog;
  style.controlBox = true;
  style.showInTaskbar = false;
  style.client = {1800, 1500, 4800, 3300};  // [120, 100, 320, 220]
  style.backColor = Color::Rgb(kWhite);
  style.iconId = TOOLKIT_TEST_ICON;
  return style;
}

// Declared like the program's windows; pixel values in brackets at 96 DPI.
struct TestForm : Form {
  TestForm() : Form(TestStyle()) {
    SetStackingOrder({&shpBottom, &shpMiddle, &lblTop, &shpRound, &shpLate, &imgBitmap,
                      &shpUnderIcon, &imgIcon, &shpUnderFrame, &lblOpaque});
    SetInitialFocus(&cmdGo);
    cmdGo.onClick = [this] { ++goClicks; };
  }

  // [10, 10, 100, 60] and [60, 40, 100, 60]: the second overlaps the first.
  Shape shpBottom{this, "shpBottom", {150, 150, 1500, 900}, Filled(0xF7F4FF, 0x0000C0, 2)};
  Shape shpMiddle{this, "shpMiddle", {900, 600, 1500, 900}, Filled(0xEFFEE9, 0x00C000, 2)};
  Label lblTop{this, "lblTop", "MMMM", {300, 750, 1950, 300}, RedText()};   // [20, 50, 130, 20]
  Shape shpRound{this, "shpRound", {2550, 150, 900, 600}, RoundOutline()};  // [170, 10, 60, 40]
  Shape shpLate{this, "shpLate", {3600, 450, 600, 450}, Filled(0xFF00FF, 0x000000, 1), false};
  Picture imgBitmap{this,
                    "imgBitmap",
                    {3750, -60, 300, 180},
                    Picture::Kind::Bitmap,
                    TOOLKIT_TEST_BITMAP};  // [250, -4], 20 x 12
  Shape shpUnderIcon{this, "shpUnderIcon", {300, 1800, 600, 480}, Filled(0x00FFFF, 0x00FFFF, 1)};
  Picture imgIcon{this,
                  "imgIcon",
                  {150, 1800, 480, 480},
                  Picture::Kind::Icon,
                  TOOLKIT_TEST_ICON};  // [10, 120], 32 x 32
  Shape shpUnderFrame{this,
                      "shpUnderFrame",
                      {1950, 1950, 750, 300},
                      Filled(0xFFFF00, 0xFFFF00, 1)};                        // [130, 130, 50, 20]
  Label lblOpaque{this, "lblOpaque", "Opaque", {3000, 1200, 900, 255}, {}};  // [200, 80, 60, 17]

  Button cmdGo{this, "cmdGo", "Go", {150, 2550, 1215, 375}, Color::Rgb(0xC0C0C0), 0};
  Frame fraPolicy{this, "fraPolicy", "Policy", {1800, 1500, 2700, 1200}, 1};  // [120, 100]
  OptionButton optFirst{this, &fraPolicy, "optFirst", "First", {150, 300, 2250, 255}, true, 2};
  OptionButton optSecond{this, &fraPolicy, "optSecond", "Second", {150, 675, 2250, 255}, false, 3};
  Button cmdOther{this, "cmdOther", "Other", {3000, 2850, 1215, 375}, Color::Rgb(0xC0C0C0), 4};

  int goClicks = 0;
  int closeCommands = 0;
  void OnCloseCommand() override { ++closeCommands; }
};

Form::Style TaskBarStyle() {
  Form::Style style;
  style.caption = "Second window";
  style.frame = Form::FrameStyle::FixedSingle;
  style.controlBox = false;
  style.showInTaskbar = true;
  style.client = {2715, 2010, 6990, 5085};
  style.backColor = sys::kButtonFace;
  return style;
}

struct TaskBarForm : Form {
  TaskBarForm() : Form(TaskBarStyle()) {}
};

std::string Hex(std::uint32_t rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
  return text;
}

std::uint32_t Rgb(COLORREF color) {
  return (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
}

// What the screen shows at a point of the window's client area.
std::uint32_t ScreenPixel(HWND window, int x, int y) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  win32::WindowDc screen(nullptr);
  return Rgb(GetPixel(screen.Get(), point.x, point.y));
}

// What the window itself holds at a point of its client area, children
// included: the screen shows this once the system has composed it.
std::uint32_t WindowPixel(HWND window, int x, int y) {
  HDC dc = GetDCEx(window, nullptr, DCX_CACHE);
  const std::uint32_t rgb = Rgb(GetPixel(dc, x, y));
  ReleaseDC(window, dc);
  return rgb;
}

// Wine under emulation dies in OutputDebugString, which GoogleTest's printer
// calls for every failure; this printer forwards everything else to it and
// prints failures itself.
class FailurePrinter : public ::testing::TestEventListener {
 public:
  explicit FailurePrinter(TestEventListener* inner) : inner_(inner) {}
  void OnTestProgramStart(const ::testing::UnitTest& u) override { inner_->OnTestProgramStart(u); }
  void OnTestIterationStart(const ::testing::UnitTest& u, int i) override {
    inner_->OnTestIterationStart(u, i);
  }
  void OnEnvironmentsSetUpStart(const ::testing::UnitTest& u) override {
    inner_->OnEnvironmentsSetUpStart(u);
  }
  void OnEnvironmentsSetUpEnd(const ::testing::UnitTest& u) override {
    inner_->OnEnvironmentsSetUpEnd(u);
  }
  void OnTestSuiteStart(const ::testing::TestSuite& s) override { inner_->OnTestSuiteStart(s); }
  void OnTestStart(const ::testing::TestInfo& t) override { inner_->OnTestStart(t); }
  void OnTestDisabled(const ::testing::TestInfo& t) override { inner_->OnTestDisabled(t); }
  void OnTestPartResult(const ::testing::TestPartResult& r) override {
    if (r.type() == ::testing::TestPartResult::kSuccess) return;
    std::printf("%s:%d: %s\n%s\n", r.file_name() ? r.file_name() : "unknown", r.line_number(),
                r.skipped() ? "Skipped" : "Failure", r.message());
    std::fflush(stdout);
  }
  void OnTestEnd(const ::testing::TestInfo& t) override { inner_->OnTestEnd(t); }
  void OnTestSuiteEnd(const ::testing::TestSuite& s) override { inner_->OnTestSuiteEnd(s); }
  void OnEnvironmentsTearDownStart(const ::testing::UnitTest& u) override {
    inner_->OnEnvironmentsTearDownStart(u);
  }
  void OnEnvironmentsTearDownEnd(const ::testing::UnitTest& u) override {
    inner_->OnEnvironmentsTearDownEnd(u);
  }
  void OnTestIterationEnd(const ::testing::UnitTest& u, int i) override {
    inner_->OnTestIterationEnd(u, i);
  }
  void OnTestProgramEnd(const ::testing::UnitTest& u) override { inner_->OnTestProgramEnd(u); }

 private:
  std::unique_ptr<TestEventListener> inner_;
};

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Handles what is pending and has every invalid part painted.
void Settle(HWND window) {
  Pump();
  RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump();
}

void Key(HWND target, WPARAM key) {
  for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
    MSG msg{};
    msg.hwnd = target;
    msg.message = message;
    msg.wParam = key;
    msg.lParam = message == WM_KEYUP ? static_cast<LPARAM>(0xC0000001) : 1;
    if (!PreTranslate(msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  Pump();
}

class ToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetBackend(&SystemBackend());
    ASSERT_EQ(SystemBackend().Dpi(), 96) << "the test prefix runs at 96 DPI";
    form_.Show();
    window_ = FormWindow(form_);
    ASSERT_NE(window_, nullptr);
    SetForegroundWindow(window_);
    Settle(window_);
  }

  std::uint32_t Pixel(int x, int y) const { return ScreenPixel(window_, x, y); }

  TestForm form_;
  HWND window_ = nullptr;
};

TEST_F(ToolkitTest, ClientAreaStandsAtTheDesignPositionWithTheDesignSize) {
  POINT origin{0, 0};
  ClientToScreen(window_, &origin);
  EXPECT_EQ(origin.x, 120);
  EXPECT_EQ(origin.y, 100);
  RECT client;
  GetClientRect(window_, &client);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 220);
  RECT outer;
  GetWindowRect(window_, &outer);
  EXPECT_EQ(outer.left * 15, form_.Left());
  EXPECT_EQ(outer.top * 15, form_.Top());
  EXPECT_EQ((outer.right - outer.left) * 15, form_.Width());
  EXPECT_EQ((outer.bottom - outer.top) * 15, form_.Height());
}

TEST_F(ToolkitTest, FixedDialogHasCloseBoxAndNoTaskBarButton) {
  const LONG_PTR style = GetWindowLongPtrA(window_, GWL_STYLE);
  const LONG_PTR exStyle = GetWindowLongPtrA(window_, GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
  EXPECT_FALSE(exStyle & (WS_EX_TOOLWINDOW | WS_EX_APPWINDOW));
  HWND owner = GetWindow(window_, GW_OWNER);
  ASSERT_NE(owner, nullptr) << "an owned window has no task-bar button";
  EXPECT_FALSE(IsWindowVisible(owner));
  EXPECT_NE(SendMessageA(window_, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_EQ(GetMenuState(GetSystemMenu(window_, FALSE), SC_SIZE, MF_BYCOMMAND), UINT(-1));
}

TEST_F(ToolkitTest, SecondWindowTakesOverTheFirstWindowsOuterRectangle) {
  TaskBarForm second;
  second.Load();
  second.SetLeft(form_.Left());
  second.SetTop(form_.Top());
  second.SetWidth(form_.Width());
  second.SetHeight(form_.Height());
  second.Show();
  HWND window = FormWindow(second);
  ASSERT_NE(window, nullptr);
  const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
  EXPECT_FALSE(style & WS_SYSMENU);
  EXPECT_TRUE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
  form_.Hide();
  Pump();
  RECT first, taken;
  GetWindowRect(window_, &first);
  GetWindowRect(window, &taken);
  EXPECT_TRUE(EqualRect(&first, &taken));
  EXPECT_FALSE(IsWindowVisible(window_));
  EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(ToolkitTest, WhereTheUserMovesTheWindowIsReadBack) {
  RECT outer;
  GetWindowRect(window_, &outer);
  SetWindowPos(window_, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  Pump();
  EXPECT_EQ(form_.Left(), 40 * 15);
  EXPECT_EQ(form_.Top(), 30 * 15);
  EXPECT_EQ(form_.Width(), (outer.right - outer.left) * 15);
  form_.SetLeft(90 * 15);
  GetWindowRect(window_, &outer);
  EXPECT_EQ(outer.left, 90);
  EXPECT_EQ(outer.top, 30);
}

TEST_F(ToolkitTest, PaintsEachPixelWhereTheDesignPutsIt) {
  const std::uint32_t face = Rgb(GetSysColor(COLOR_BTNFACE));
  struct Case {
    int x, y;
    std::uint32_t color;
    const char* what;
  };
  const Case cases[] = {
      {9, 30, kWhite, "left of shpBottom"},
      {10, 30, 0x0000C0, "shpBottom's 2-px border starts at its left edge"},
      {11, 30, 0x0000C0, "second border pixel"},
      {12, 30, 0xF7F4FF, "fill inside the border"},
      {107, 30, 0xF7F4FF, "fill before the right border"},
      {108, 30, 0x0000C0, "right border, inside the shape"},
      {109, 30, 0x0000C0, "last pixel of the 100-px shape"},
      {110, 30, kWhite, "right of shpBottom"},
      {30, 9, kWhite, "above shpBottom"},
      {30, 10, 0x0000C0, "top border"},
      {30, 12, 0xF7F4FF, "below the top border"},
      {59, 45, 0xF7F4FF, "shpBottom left of shpMiddle"},
      {60, 45, 0x00C000, "shpMiddle's border over shpBottom's fill"},
      {62, 45, 0xEFFEE9, "shpMiddle's fill"},
      {108, 45, 0xEFFEE9, "shpMiddle covers shpBottom's border"},
      {145, 60, 0xEFFEE9, "the transparent label shows the shape under it"},
      {200, 10, 0x8080FF, "rounded outline, top edge"},
      {170, 30, 0x8080FF, "rounded outline, left edge"},
      {200, 30, kWhite, "transparent interior"},
      {170, 10, kWhite, "the rounded corner is cut"},
      {260, 45, kWhite, "the hidden shape is not painted"},
      {252, 0, 0xFF8000, "bitmap row 4 at the top: 4 rows clipped"},
      {262, 0, 0x0080FF, "bitmap right half"},
      {252, 7, 0xFF8000, "bitmap's last row"},
      {252, 8, kWhite, "below the bitmap: natural size"},
      {15, 130, 0xFF0000, "icon's opaque half"},
      {22, 130, 0xFF0000, "icon over the shape under it"},
      {35, 130, 0x00FFFF, "icon's transparent half shows the shape"},
      {258, 94, face, "opaque label in the button face colour"},
      {12, 182, 0xC0C0C0, "button face inside its edge"},
      {13, 172, 0xC0C0C0, "button face below the top edge"},
      {140, 140, face, "the frame covers the shape under it"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Pixel(c.x, c.y)), Hex(c.color)) << c.what << " at " << c.x << "," << c.y;
  }
}

TEST_F(ToolkitTest, LabelTextIsDrawnInItsColour) {
  int red = 0;
  for (int y = 50; y < 70; ++y) {
    for (int x = 20; x < 80; ++x) red += Pixel(x, y) == 0xFF0000 ? 1 : 0;
  }
  EXPECT_GT(red, 20) << "glyph pixels of \"MMMM\" in #FF0000";
}

TEST_F(ToolkitTest, ChildWindowsAreLaidOutInPixelsWithOptionsInsideTheirFrame) {
  struct Case {
    const Control* control;
    RECT rect;
  };
  const Case cases[] = {
      {&form_.cmdGo, {10, 170, 91, 195}},
      {&form_.fraPolicy, {120, 100, 300, 180}},
      {&form_.optFirst, {130, 120, 280, 137}},
      {&form_.optSecond, {130, 145, 280, 162}},
  };
  for (const Case& c : cases) {
    HWND child = ControlWindow(*c.control);
    ASSERT_NE(child, nullptr) << c.control->Name();
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_TRUE(EqualRect(&rect, &c.rect)) << c.control->Name() << ": " << rect.left << ","
                                           << rect.top << "," << rect.right << "," << rect.bottom;
  }
  EXPECT_EQ(ControlWindow(form_.lblTop), nullptr) << "labels are painted, not windows";
  EXPECT_EQ(GetWindowLongPtrA(ControlWindow(form_.cmdGo), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW)
      << "owner-drawn, never a default push button";
}

TEST_F(ToolkitTest, ClickingAnOptionKeepsExactlyOneSelected) {
  HWND first = ControlWindow(form_.optFirst);
  HWND second = ControlWindow(form_.optSecond);
  SendMessageA(second, BM_CLICK, 0, 0);
  Pump();
  EXPECT_FALSE(form_.optFirst.Value());
  EXPECT_TRUE(form_.optSecond.Value());
  EXPECT_EQ(SendMessageA(first, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageA(second, BM_GETCHECK, 0, 0), BST_CHECKED);

  SendMessageA(first, BM_CLICK, 0, 0);
  Pump();
  EXPECT_TRUE(form_.optFirst.Value());
  EXPECT_FALSE(form_.optSecond.Value());
  EXPECT_EQ(SendMessageA(first, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageA(second, BM_GETCHECK, 0, 0), BST_UNCHECKED);

  form_.optSecond.SetValue(true);  // set by code: the radio buttons follow
  EXPECT_EQ(SendMessageA(first, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageA(second, BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(ToolkitTest, HidingTheFrameHidesItsOptionsAndShowsWhatLiesBelow) {
  form_.fraPolicy.SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(ControlWindow(form_.fraPolicy)));
  EXPECT_FALSE(IsWindowVisible(ControlWindow(form_.optFirst)));
  EXPECT_FALSE(IsWindowVisible(ControlWindow(form_.optSecond)));
  EXPECT_TRUE(form_.optFirst.Visible()) << "the option's own flag is untouched";
  Settle(window_);
  EXPECT_EQ(Hex(Pixel(140, 140)), Hex(0xFFFF00));
  EXPECT_EQ(Hex(Pixel(200, 125)), Hex(kWhite)) << "where an option was";

  form_.fraPolicy.SetVisible(true);
  EXPECT_TRUE(IsWindowVisible(ControlWindow(form_.optFirst)));
}

// The window's own pixels are read before any message is handled; the screen
// shows them once the system has composed the window (Wine flushes its window
// surface from the message loop, as a compositor would).
TEST_F(ToolkitTest, RefreshDrawsAtOnceWithoutWaitingForAPaint) {
  form_.shpLate.SetVisible(true);
  EXPECT_EQ(Hex(WindowPixel(window_, 260, 45)), Hex(kWhite))
      << "a change alone waits for the next paint";
  form_.shpLate.Refresh();
  EXPECT_EQ(Hex(WindowPixel(window_, 260, 45)), Hex(0xFF00FF));
  EXPECT_EQ(Hex(WindowPixel(window_, 240, 45)), Hex(0x000000)) << "its border";
  Pump();
  EXPECT_EQ(Hex(Pixel(260, 45)), Hex(0xFF00FF)) << "on the screen";

  form_.shpLate.SetStyle(Filled(0x00FF00, 0x000000, 1));
  form_.shpLate.Refresh();
  EXPECT_EQ(Hex(WindowPixel(window_, 260, 45)), Hex(0x00FF00));

  form_.shpLate.SetVisible(false);
  form_.shpLate.Refresh();
  EXPECT_EQ(Hex(WindowPixel(window_, 260, 45)), Hex(kWhite));
}

TEST_F(ToolkitTest, ProgressShowsTheGrowingBarAtOnce) {
  // shpLate as a bar at [40, 200, 1, 10] against shpRound as the full scale.
  Shape& bar = form_.shpLate;
  Shape& full = form_.shpRound;
  bar.SetLeft(600);
  bar.SetTop(3000);
  bar.SetWidth(15);
  bar.SetHeight(150);
  full.SetWidth(3000);
  Settle(window_);
  PGVisible(bar, full, full, -1);
  EXPECT_EQ(Hex(WindowPixel(window_, 40, 205)), Hex(0x000000)) << "the 1-px bar's border";
  std::int32_t curr = 1;
  std::int32_t max = 2;
  Progress(bar, full, full, curr, max);
  EXPECT_EQ(bar.Width(), 1500);
  EXPECT_EQ(Hex(WindowPixel(window_, 90, 205)), Hex(0xFF00FF)) << "within the new width";
  EXPECT_EQ(Hex(WindowPixel(window_, 140, 205)), Hex(kWhite)) << "beyond it";
}

TEST_F(ToolkitTest, TabFollowsTheTabOrderAndSpaceClicks) {
  HWND go = ControlWindow(form_.cmdGo);
  HWND first = ControlWindow(form_.optFirst);
  HWND other = ControlWindow(form_.cmdOther);
  ASSERT_EQ(GetFocus(), go) << "the initial focus";
  Key(GetFocus(), VK_TAB);
  EXPECT_EQ(GetFocus(), first) << "the group's selected option";
  Key(GetFocus(), VK_TAB);
  EXPECT_EQ(GetFocus(), other);
  Key(GetFocus(), VK_TAB);
  EXPECT_EQ(GetFocus(), go);

  Key(go, VK_SPACE);
  EXPECT_EQ(form_.goClicks, 1);
  Key(go, VK_RETURN);
  Key(go, VK_ESCAPE);
  EXPECT_EQ(form_.goClicks, 1) << "Enter and Esc do nothing";
  EXPECT_EQ(form_.closeCommands, 0);
}

TEST_F(ToolkitTest, ArrowKeysMoveTheSelectionWithinTheGroup) {
  HWND first = ControlWindow(form_.optFirst);
  form_.optFirst.SetFocus();
  ASSERT_EQ(GetFocus(), first);
  Key(first, VK_DOWN);
  EXPECT_EQ(GetFocus(), ControlWindow(form_.optSecond));
  EXPECT_TRUE(form_.optSecond.Value());
  EXPECT_FALSE(form_.optFirst.Value());
}

TEST_F(ToolkitTest, CloseCommandGoesToTheFormAndKeepsTheWindow) {
  SendMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(form_.closeCommands, 1);
  EXPECT_TRUE(IsWindow(window_));
  EXPECT_TRUE(IsWindowVisible(window_));
}

TEST_F(ToolkitTest, ClickedButtonRunsItsHandlerAndDisabledOneDoesNot) {
  SendMessageA(ControlWindow(form_.cmdGo), BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(form_.goClicks, 1);
  form_.cmdGo.SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(ControlWindow(form_.cmdGo)));
  SendMessageA(ControlWindow(form_.cmdGo), BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(form_.goClicks, 1);
}

TEST(ToolkitDpiTest, LaysOutInRealPixelsAtTheBackendsDpi) {
  Win32Backend backend(144);
  SetBackend(&backend);
  {
    TestForm form;
    form.Show();
    HWND window = FormWindow(form);
    Settle(window);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    EXPECT_EQ(origin.x, 180);
    EXPECT_EQ(origin.y, 150);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 480);
    EXPECT_EQ(client.bottom, 330);
    EXPECT_EQ(Hex(ScreenPixel(window, 14, 45)), Hex(kWhite));
    EXPECT_EQ(Hex(ScreenPixel(window, 15, 45)), Hex(0x0000C0));
    EXPECT_EQ(Hex(ScreenPixel(window, 16, 45)), Hex(0x0000C0));
    EXPECT_EQ(Hex(ScreenPixel(window, 17, 45)), Hex(0xF7F4FF));
    RECT button;
    GetWindowRect(ControlWindow(form.cmdGo), &button);
    EXPECT_EQ(button.right - button.left, 122);  // 81.5 rounded up
  }
  SetBackend(&SystemBackend());
}

TEST(ProgressWin32Test, RoundsInExtendedPrecisionOnThisTarget) {
  const auto width = BarWidth(1, 30, 4815);
  ASSERT_TRUE(width.has_value());
  EXPECT_EQ(*width, 161);
}

}  // namespace
}  // namespace tarnvel::ui

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
  listeners.Append(
      new tarnvel::ui::FailurePrinter(listeners.Release(listeners.default_result_printer())));
  return RUN_ALL_TESTS();
}
