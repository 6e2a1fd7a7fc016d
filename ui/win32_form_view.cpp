#include "ui/win32_form_view.h"

#include <algorithm>
#include <string>

#include "app/platform.h"

namespace tarnvel::ui {

namespace {

// GetKeyState's bit for a key that is down.
constexpr SHORT kKeyDown = static_cast<SHORT>(0x8000);
std::vector<Win32FormView*> gViews;  // the live views, for PreTranslate

}  // namespace

Win32FormView::Win32FormView(Win32Backend& backend, Form& form)
    : form_(form), painter_(backend.Dpi()) {
  RegisterWindowClasses();
  const Form::Style& style = form.GetStyle();
  const RECT outer = OuterPixels();
  HWND owner = style.showInTaskbar ? nullptr : backend.HiddenOwner();
  HWND window = CreateWindowExW(WindowExStyle(style), kFormClass, Utf16From(style.caption).c_str(),
                                WindowStyle(style), outer.left, outer.top, outer.right - outer.left,
                                outer.bottom - outer.top, owner, nullptr, Module(), this);
  if (!window) FailUnexpectedly(("cannot create the window \"" + style.caption + "\"").c_str());
  window_.Reset(window);

  if (style.iconId != 0) {
    const wchar_t* name = MAKEINTRESOURCEW(style.iconId);
    bigIcon_.Reset(static_cast<HICON>(LoadImageW(
        Module(), name, IMAGE_ICON, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.Reset(
        static_cast<HICON>(LoadImageW(Module(), name, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                      GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
  }
  if (style.controlBox) {
    // A fixed window's system menu offers only Move and Close.
    HMENU menu = GetSystemMenu(hwnd_, FALSE);
    for (UINT command : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE}) {
      DeleteMenu(menu, command, MF_BYCOMMAND);
    }
  }

  CreateChildren();
  for (const Control* control : form.Controls()) {
    if (IsPainted(control->Kind())) {
      painted_.push_back({control, painter_.AreaOf(*control), RECT{}});
    }
  }
  gViews.push_back(this);
}

Win32FormView::~Win32FormView() {
  gViews.erase(std::remove(gViews.begin(), gViews.end(), this), gViews.end());
  // The controls may already be gone: no message reaches this view again.
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
}

RECT Win32FormView::OuterPixels() const {
  const int dpi = painter_.Dpi();
  const int left = TwipsToPixels(form_.Left(), dpi);
  const int top = TwipsToPixels(form_.Top(), dpi);
  return RECT{left, top, left + TwipsToPixels(form_.Width(), dpi),
              top + TwipsToPixels(form_.Height(), dpi)};
}

Win32FormView::Painted* Win32FormView::PaintedFor(const Control& control) {
  for (Painted& painted : painted_) {
    if (painted.control == &control) return &painted;
  }
  return nullptr;
}

void Win32FormView::FormChanged() {
  SetWindowTextIfChanged(hwnd_, form_.Caption());
  const RECT wanted = OuterPixels();
  RECT now;
  GetWindowRect(hwnd_, &now);
  if (!EqualRect(&now, &wanted)) {
    moving_ = true;
    SetWindowPos(hwnd_, nullptr, wanted.left, wanted.top, wanted.right - wanted.left,
                 wanted.bottom - wanted.top, SWP_NOZORDER | SWP_NOACTIVATE);
    moving_ = false;
  }
  const bool showing = IsWindowVisible(hwnd_) != FALSE;
  if (form_.Visible() && !showing) {
    ShowWindow(hwnd_, SW_SHOW);
    if (GetActiveWindow() == hwnd_) RestoreFocus();
  } else if (!form_.Visible() && showing) {
    ShowWindow(hwnd_, SW_HIDE);
  }
}

void Win32FormView::ControlChanged(Control& control) {
  if (IsPainted(control.Kind())) {
    Painted* painted = PaintedFor(control);
    if (!painted) return;
    const RECT area = painter_.AreaOf(control);
    InvalidateRect(hwnd_, &painted->area, FALSE);
    InvalidateRect(hwnd_, &area, FALSE);
    UnionRect(&painted->pending, &painted->pending, &painted->area);
    UnionRect(&painted->pending, &painted->pending, &area);
    painted->area = area;
    return;
  }
  for (const Child& child : children_) {
    // A frame's visibility and place carry over to its options.
    if (child.control == &control || child.control->Container() == &control) SyncChild(child);
  }
}

void Win32FormView::RepaintNow(Control& control) {
  if (!IsPainted(control.Kind())) {
    for (const Child& child : children_) {
      if (child.control == &control || child.control->Container() == &control) {
        RedrawWindow(child.window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
      }
    }
    return;
  }
  Painted* painted = PaintedFor(control);
  if (!painted) return;
  painted->area = painter_.AreaOf(control);
  RECT area;
  UnionRect(&area, &painted->pending, &painted->area);
  painted->pending = RECT{};
  RECT client;
  GetClientRect(hwnd_, &client);
  if (!IntersectRect(&area, &area, &client) || !IsWindowVisible(hwnd_)) return;
  // Drawn through the window's own DC now, not at the next WM_PAINT; the
  // area is then up to date, so no paint is left pending for it.
  win32::WindowDc dc(hwnd_);
  painter_.Compose(dc.Get(), form_, area);
  ValidateRect(hwnd_, &area);
}

bool Win32FormView::RestoreFocus() {
  HWND target = nullptr;
  if (lastFocus_ && IsWindow(lastFocus_) && IsChild(hwnd_, lastFocus_) &&
      IsWindowVisible(lastFocus_) && IsWindowEnabled(lastFocus_)) {
    target = lastFocus_;
  } else if (const Control* initial = form_.InitialFocus()) {
    target = WindowOf(*initial);
  }
  if (!target) return false;
  SetFocus(target);
  return true;
}

void Win32FormView::OnPaint() {
  win32::PaintDc paint(hwnd_);
  painter_.Compose(paint.Get(), form_, paint.Area());
  for (Painted& painted : painted_) painted.pending = RECT{};
}

void Win32FormView::OnCommand(int id, int code) {
  const Child* child = ChildById(id);
  if (!child) return;  // IDOK or IDCANCEL: Enter or Esc
  Control& control = *child->control;
  if (control.Kind() == ControlKind::Option) {
    // An arrow key moves the focus within the group and selects as it goes;
    // a mouse press takes the focus first and selects when released.
    const bool keyboardFocus = code == BN_SETFOCUS && !(GetKeyState(VK_LBUTTON) & kKeyDown);
    if (code == BN_CLICKED || code == BN_DOUBLECLICKED || keyboardFocus) {
      static_cast<OptionButton&>(control).Click();
    }
  } else if (control.Kind() == ControlKind::Button) {
    if (code == BN_CLICKED || code == BN_DOUBLECLICKED) static_cast<Button&>(control).Click();
  }
}

void Win32FormView::OnWindowMoved() {
  // Only a move by the user: the form's own moves are already in the model.
  if (moving_ || !window_ || IsIconic(hwnd_)) return;
  RECT now;
  GetWindowRect(hwnd_, &now);
  const RECT known = OuterPixels();
  if (EqualRect(&now, &known)) return;
  const int dpi = painter_.Dpi();
  form_.SetOuterFromWindow({PixelsToTwips(now.left, dpi), PixelsToTwips(now.top, dpi),
                            PixelsToTwips(now.right - now.left, dpi),
                            PixelsToTwips(now.bottom - now.top, dpi)});
}

LRESULT Win32FormView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_PRINTCLIENT: {
      RECT client;
      GetClientRect(hwnd_, &client);
      painter_.Compose(reinterpret_cast<HDC>(wParam), form_, client);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      const Child* child = ChildById(static_cast<int>(item.CtlID));
      if (!child || child->control->Kind() != ControlKind::Button) break;
      painter_.DrawButton(item, static_cast<const Button&>(*child->control));
      return TRUE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // Frames and options keep the system colours on any form background.
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
        return 0;
      }
      if (!HIWORD(wParam) && RestoreFocus()) return 0;
      break;
    case WM_SETFOCUS:
      RestoreFocus();
      return 0;
    case WM_CLOSE:
      // Close box, Alt+F4: the form decides; the window is never destroyed here.
      form_.OnCloseCommand();
      return 0;
    case WM_WINDOWPOSCHANGED:
      OnWindowMoved();
      break;
    case WM_SYSCOLORCHANGE:
      InvalidateRect(hwnd_, nullptr, FALSE);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Win32FormView::FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* view =
        static_cast<Win32FormView*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    view->hwnd_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
  }
  auto* view = reinterpret_cast<Win32FormView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!view) return DefWindowProcW(window, message, wParam, lParam);
  const LRESULT result = view->HandleMessage(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    view->hwnd_ = nullptr;
  }
  return result;
}

bool PreTranslate(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || !msg.hwnd) return false;
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  for (const Win32FormView* view : gViews) {
    if (view->Window() != root) continue;
    return IsDialogMessageW(root, &msg) != FALSE;
  }
  return false;
}

}  // namespace tarnvel::ui
