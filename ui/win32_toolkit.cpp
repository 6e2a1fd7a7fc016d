#include "ui/win32_toolkit.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/platform.h"
#include "app/win32_startup.h"
#include "ui/win32_paint.h"

namespace tarnvel::ui {

namespace {

constexpr char kFormClass[] = "TarnvelForm";
constexpr char kOwnerClass[] = "TarnvelOwner";
constexpr char kButtonClass[] = "BUTTON";
// Child ids start clear of IDOK and IDCANCEL, which the dialog manager sends
// for Enter and Esc: no button answers those keys.
constexpr int kFirstChildId = 100;

class Win32FormView;
std::vector<Win32FormView*> gViews;  // the live views, for PreTranslate
WNDPROC gButtonProc = nullptr;       // the BUTTON class's own procedure

HINSTANCE Module() { return GetModuleHandleA(nullptr); }

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

std::string WindowText(HWND window) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

void SetWindowTextIfChanged(HWND window, const std::string& text) {
  if (WindowText(window) != text) SetWindowTextA(window, text.c_str());
}

RECT WindowRectIn(HWND window, HWND parent) {
  RECT rect;
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void MoveIfChanged(HWND window, HWND parent, const RECT& wanted) {
  const RECT now = WindowRectIn(window, parent);
  if (EqualRect(&now, &wanted)) return;
  SetWindowPos(window, nullptr, wanted.left, wanted.top, wanted.right - wanted.left,
               wanted.bottom - wanted.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The group box paints only its border and caption; a frame is opaque in the
// button face colour, so its inside is filled first. The options above it
// are clipped out (WS_CLIPSIBLINGS).
LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      win32::PaintDc paint(window);
      RECT client;
      GetClientRect(window, &client);
      FillRect(paint.Get(), &client, GetSysColorBrush(COLOR_BTNFACE));
      CallWindowProcA(gButtonProc, window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(paint.Get()),
                      PRF_CLIENT);
      return 0;
    }
    default:
      return CallWindowProcA(gButtonProc, window, message, wParam, lParam);
  }
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void RegisterClasses() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXA form{};
  form.cbSize = sizeof form;
  form.lpfnWndProc = FormProc;
  form.hInstance = Module();
  form.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  form.lpszClassName = kFormClass;
  WNDCLASSEXA owner{};
  owner.cbSize = sizeof owner;
  owner.lpfnWndProc = DefWindowProcA;
  owner.hInstance = Module();
  owner.lpszClassName = kOwnerClass;
  if (!RegisterClassExA(&form) || !RegisterClassExA(&owner)) {
    FailUnexpectedly("cannot register the window classes");
  }
  registered = true;
}

class Win32FormView final : public FormView {
 public:
  Win32FormView(Win32Backend& backend, Form& form);
  ~Win32FormView() override;
  Win32FormView(const Win32FormView&) = delete;
  Win32FormView& operator=(const Win32FormView&) = delete;

  void FormChanged() override;
  void ControlChanged(Control& control) override;
  void RepaintNow(Control& control) override;

  HWND Window() const { return hwnd_; }
  HWND WindowOf(const Control& control) const;

  void Attach(HWND window) { hwnd_ = window; }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  struct Child {
    Control* control;
    HWND window;
    int id;
  };
  // A painted control's area as last painted or invalidated, and what has
  // been invalidated for it since the last paint.
  struct Painted {
    const Control* control;
    RECT area;
    RECT pending;
  };

  void CreateChildren();
  void SyncChild(const Child& child);
  RECT OuterPixels() const;
  RECT ChildPixels(const Control& control) const;
  const Child* ChildFor(const Control& control) const;
  const Child* ChildById(int id) const;
  Painted* PaintedFor(const Control& control);
  bool RestoreFocus();
  void OnPaint();
  void OnCommand(int id, int code);
  void OnWindowMoved();

  Form& form_;
  win32::Painter painter_;  // its fonts outlive the child windows
  win32::UniqueIcon bigIcon_;
  win32::UniqueIcon smallIcon_;
  HWND hwnd_ = nullptr;
  win32::UniqueWindow window_;
  std::vector<Child> children_;
  std::vector<Painted> painted_;
  HWND lastFocus_ = nullptr;
  bool moving_ = false;
};

Win32FormView::Win32FormView(Win32Backend& backend, Form& form)
    : form_(form), painter_(backend.Dpi()) {
  RegisterClasses();
  const Form::Style& style = form.GetStyle();
  const RECT outer = OuterPixels();
  HWND owner = style.showInTaskbar ? nullptr : backend.HiddenOwner();
  HWND window = CreateWindowExA(WindowExStyle(style), kFormClass, style.caption.c_str(),
                                WindowStyle(style), outer.left, outer.top, outer.right - outer.left,
                                outer.bottom - outer.top, owner, nullptr, Module(), this);
  if (!window) FailUnexpectedly(("cannot create the window \"" + style.caption + "\"").c_str());
  window_.Reset(window);

  if (style.iconId != 0) {
    const char* name = MAKEINTRESOURCEA(style.iconId);
    bigIcon_.Reset(static_cast<HICON>(LoadImageA(
        Module(), name, IMAGE_ICON, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.Reset(
        static_cast<HICON>(LoadImageA(Module(), name, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                      GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.Get()));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
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
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
}

void Win32FormView::CreateChildren() {
  std::vector<Control*> order;
  for (Control* control : form_.Controls()) {
    const ControlKind kind = control->Kind();
    if (kind == ControlKind::Button || kind == ControlKind::Frame || kind == ControlKind::Option) {
      order.push_back(control);
    }
  }
  // The order of the child windows is the tab order. A frame goes right
  // after its options, below them, so that its opaque inside never covers
  // them; it takes no focus, so the order of the tab stops is unchanged.
  auto key = [&](const Control* control) {
    int index = control->TabIndex();
    if (control->Kind() == ControlKind::Frame) {
      for (const Control* other : order) {
        if (other->Container() == control) index = std::max(index, other->TabIndex());
      }
    }
    return std::make_pair(index, control->Kind() == ControlKind::Frame ? 1 : 0);
  };
  std::stable_sort(order.begin(), order.end(),
                   [&](const Control* a, const Control* b) { return key(a) < key(b); });

  const auto& all = form_.Controls();
  std::vector<const Control*> groupsStarted;
  HWND previous = HWND_TOP;
  for (Control* control : order) {
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    switch (control->Kind()) {
      case ControlKind::Button:
        style |= BS_OWNERDRAW | WS_TABSTOP | WS_GROUP;
        break;
      case ControlKind::Frame:
        style |= BS_GROUPBOX | WS_GROUP;
        break;
      default:  // an option: the first of its container starts the group
        style |= BS_RADIOBUTTON | BS_NOTIFY;
        if (std::find(groupsStarted.begin(), groupsStarted.end(), control->Container()) ==
            groupsStarted.end()) {
          groupsStarted.push_back(control->Container());
          style |= WS_GROUP;
        }
        break;
    }
    const int id =
        kFirstChildId + static_cast<int>(std::find(all.begin(), all.end(), control) - all.begin());
    const RECT r = ChildPixels(*control);
    HWND window =
        CreateWindowExA(0, kButtonClass, control->Caption().c_str(), style, r.left, r.top,
                        r.right - r.left, r.bottom - r.top, hwnd_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Module(), nullptr);
    if (!window) FailUnexpectedly(("cannot create the control " + control->Name()).c_str());
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(painter_.FontFor(Font{})), FALSE);
    if (control->Kind() == ControlKind::Frame) {
      const auto original = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameProc)));
      if (!gButtonProc) gButtonProc = original;
    }
    SetWindowPos(window, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous = window;
    children_.push_back({control, window, id});
  }
  for (const Child& child : children_) SyncChild(child);
}

RECT Win32FormView::OuterPixels() const {
  const int dpi = painter_.Dpi();
  const int left = TwipsToPixels(form_.Left(), dpi);
  const int top = TwipsToPixels(form_.Top(), dpi);
  return RECT{left, top, left + TwipsToPixels(form_.Width(), dpi),
              top + TwipsToPixels(form_.Height(), dpi)};
}

RECT Win32FormView::ChildPixels(const Control& control) const {
  RECT rect = painter_.PixelRect(control.Rect());
  // Options are placed within their frame, whose corner is their origin.
  if (const Control* container = control.Container()) {
    const RECT outer = painter_.PixelRect(container->Rect());
    OffsetRect(&rect, outer.left, outer.top);
  }
  return rect;
}

const Win32FormView::Child* Win32FormView::ChildFor(const Control& control) const {
  for (const Child& child : children_) {
    if (child.control == &control) return &child;
  }
  return nullptr;
}

const Win32FormView::Child* Win32FormView::ChildById(int id) const {
  for (const Child& child : children_) {
    if (child.id == id) return &child;
  }
  return nullptr;
}

Win32FormView::Painted* Win32FormView::PaintedFor(const Control& control) {
  for (Painted& painted : painted_) {
    if (painted.control == &control) return &painted;
  }
  return nullptr;
}

HWND Win32FormView::WindowOf(const Control& control) const {
  const Child* child = ChildFor(control);
  return child ? child->window : nullptr;
}

void Win32FormView::SyncChild(const Child& child) {
  const Control& control = *child.control;
  HWND window = child.window;
  SetWindowTextIfChanged(window, control.Caption());
  MoveIfChanged(window, hwnd_, ChildPixels(control));
  if (control.Kind() == ControlKind::Option) {
    // The model holds the selection; the radio button only shows it. The
    // selected option is its group's tab stop.
    const bool value = static_cast<const OptionButton&>(control).Value();
    SendMessageA(window, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    SetWindowLongPtrA(window, GWL_STYLE, value ? style | WS_TABSTOP : style & ~WS_TABSTOP);
  }
  const Control* container = control.Container();
  const bool shown = control.Visible() && (!container || container->Visible());
  const bool showing = (GetWindowLongPtrA(window, GWL_STYLE) & WS_VISIBLE) != 0;
  if (shown != showing) ShowWindow(window, shown ? SW_SHOWNA : SW_HIDE);
  if (control.Kind() == ControlKind::Button) InvalidateRect(window, nullptr, FALSE);
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
    const bool keyboardFocus = code == BN_SETFOCUS && !(GetKeyState(VK_LBUTTON) & 0x8000);
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
  return DefWindowProcA(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* view =
        static_cast<Win32FormView*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    view->Attach(window);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
  }
  auto* view = reinterpret_cast<Win32FormView*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!view) return DefWindowProcA(window, message, wParam, lParam);
  return view->HandleMessage(message, wParam, lParam);
}

int ScreenDpi() {
  // Before the first window, so that the system DPI is the real one.
  if (const auto setProcessDpiAware =
          SystemFunction<BOOL(WINAPI*)()>("user32.dll", "SetProcessDPIAware")) {
    setProcessDpiAware();
  }
  win32::WindowDc screen(nullptr);
  return GetDeviceCaps(screen.Get(), LOGPIXELSY);
}

}  // namespace

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
    const int side = MulDiv(3, dpi_, 96);
    return Insets{side, side + MulDiv(19, dpi_, 96), side, side};
  }
  RECT rect{0, 0, 0, 0};
  AdjustWindowRectEx(&rect, WindowStyle(form.GetStyle()), FALSE, WindowExStyle(form.GetStyle()));
  return Insets{-rect.left, -rect.top, rect.right, rect.bottom};
}

HWND Win32Backend::HiddenOwner() {
  if (!hiddenOwner_) {
    RegisterClasses();
    hiddenOwner_.Reset(CreateWindowExA(0, kOwnerClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                       Module(), nullptr));
    if (!hiddenOwner_) FailUnexpectedly("cannot create the owner window");
  }
  return hiddenOwner_.Get();
}

bool PreTranslate(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || !msg.hwnd) return false;
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  for (const Win32FormView* view : gViews) {
    if (view->Window() != root) continue;
    return IsDialogMessageA(root, &msg) != FALSE;
  }
  return false;
}

}  // namespace tarnvel::ui
