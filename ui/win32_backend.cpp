// The backend: the display's DPI, the frame around a form, the window
// classes and the hidden owner of forms without a task-bar button.
#include "app/platform.h"
#include "app/win32_startup.h"
#include "ui/win32_form_view.h"
#include "ui/win32_toolkit.h"

namespace tarnvel::ui {

namespace {

constexpr wchar_t kOwnerClass[] = L"TarnvelOwner";

// The classic fixed frame at 96 DPI, for before there is a window to ask.
constexpr int kClassicDpi = 96;
constexpr int kClassicBorder = 3;
constexpr int kClassicCaption = 19;

int ScreenDpi() {
  // Before the first window, so that the system DPI is the real one.
  if (const auto setProcessDpiAware =
          SystemFunction<BOOL(WINAPI*)()>(L"user32.dll", "SetProcessDPIAware")) {
    setProcessDpiAware();
  }
  win32::WindowDc screen(nullptr);
  return GetDeviceCaps(screen.Get(), LOGPIXELSY);
}

}  // namespace

DWORD WindowStyle(const Form::Style& style) {
  // Fixed size: no sizing border, no minimise or maximise box.
  DWORD bits = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
  if (style.controlBox) bits |= WS_SYSMENU;
  return bits;
}

DWORD WindowExStyle(const Form::Style& style) {
  DWORD bits = 0;
  if (style.frame == Form::FrameStyle::FixedDialog) bits |= WS_EX_DLGMODALFRAME;
  // Without a task-bar button the window gets a hidden owner instead; a tool
  // window would change its caption.
  if (style.showInTaskbar) bits |= WS_EX_APPWINDOW;
  return bits;
}

void RegisterWindowClasses() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW form{};
  form.cbSize = sizeof form;
  form.lpfnWndProc = Win32FormView::FormProc;
  form.hInstance = Module();
  form.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  form.lpszClassName = kFormClass;
  WNDCLASSEXW owner{};
  owner.cbSize = sizeof owner;
  owner.lpfnWndProc = DefWindowProcW;
  owner.hInstance = Module();
  owner.lpszClassName = kOwnerClass;
  if (!RegisterClassExW(&form) || !RegisterClassExW(&owner)) {
    FailUnexpectedly("cannot register the window classes");
  }
  registered = true;
}

Win32Backend::Win32Backend() : systemDpi_(true) {}

Win32Backend::Win32Backend(int dpi) : dpi_(dpi) {}

Win32Backend::~Win32Backend() = default;

std::unique_ptr<FormView> Win32Backend::CreateView(Form& form) {
  if (!windowMade_) {
    if (systemDpi_) dpi_ = ScreenDpi();
    windowMade_ = true;  // from here on the frame is the system's
  }
  return std::make_unique<Win32FormView>(*this, form);
}

Backend::Insets Win32Backend::FrameInsets(const Form& form) {
  if (!windowMade_) {
    // Under Wine the first call that needs system metrics (this one, or
    // GetSystemMetrics) starts the desktop process and loads the theme
    // library, even without a display. No frame is on screen yet, so the
    // classic fixed frame stands in: a 19-pixel caption and 3 pixels on
    // every side at 96 DPI. A form that has not been placed is measured
    // again when its window is made.
    const int side = MulDiv(kClassicBorder, dpi_, kClassicDpi);
    return Insets{side, side + MulDiv(kClassicCaption, dpi_, kClassicDpi), side, side};
  }
  RECT rect{0, 0, 0, 0};
  AdjustWindowRectEx(&rect, WindowStyle(form.GetStyle()), FALSE, WindowExStyle(form.GetStyle()));
  return Insets{-rect.left, -rect.top, rect.right, rect.bottom};
}

HWND Win32Backend::HiddenOwner() {
  if (!hiddenOwner_) {
    RegisterWindowClasses();
    hiddenOwner_.Reset(CreateWindowExW(0, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                       Module(), nullptr));
    if (!hiddenOwner_) FailUnexpectedly("cannot create the owner window");
  }
  return hiddenOwner_.Get();
}

}  // namespace tarnvel::ui
