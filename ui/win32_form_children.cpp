// The child windows of a form's view: buttons, frames and options, created in
// tab order and kept in step with their controls.
#include <algorithm>
#include <string>

#include "app/platform.h"
#include "ui/win32_form_view.h"

namespace tarnvel::ui {

namespace {

std::string WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  const int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  return Utf8From(text.c_str(), static_cast<std::size_t>(length));
}

constexpr wchar_t kButtonClass[] = L"BUTTON";
// Child ids start clear of IDOK and IDCANCEL, which the dialog manager sends
// for Enter and Esc: no button answers those keys.
constexpr int kFirstChildId = 100;

WNDPROC gButtonProc = nullptr;  // the BUTTON class's own procedure

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
      CallWindowProcW(gButtonProc, window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(paint.Get()),
                      PRF_CLIENT);
      return 0;
    }
    default:
      return CallWindowProcW(gButtonProc, window, message, wParam, lParam);
  }
}

}  // namespace

void SetWindowTextIfChanged(HWND window, const std::string& text) {
  if (WindowText(window) != text) SetWindowTextW(window, Utf16From(text).c_str());
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
        CreateWindowExW(0, kButtonClass, Utf16From(control->Caption()).c_str(), style, r.left,
                        r.top, r.right - r.left, r.bottom - r.top, hwnd_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Module(), nullptr);
    if (!window) FailUnexpectedly(("cannot create the control " + control->Name()).c_str());
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(painter_.FontFor(Font{})), FALSE);
    if (control->Kind() == ControlKind::Frame) {
      const auto original = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameProc)));
      if (!gButtonProc) gButtonProc = original;
    }
    SetWindowPos(window, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous = window;
    children_.push_back({control, window, id});
  }
  for (const Child& child : children_) SyncChild(child);
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
    SendMessageW(window, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    SetWindowLongPtrW(window, GWL_STYLE, value ? style | WS_TABSTOP : style & ~WS_TABSTOP);
  }
  const Control* container = control.Container();
  const bool shown = control.Visible() && (!container || container->Visible());
  const bool showing = (GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0;
  if (shown != showing) ShowWindow(window, shown ? SW_SHOWNA : SW_HIDE);
  if (control.Kind() == ControlKind::Button) InvalidateRect(window, nullptr, FALSE);
}

}  // namespace tarnvel::ui
