// The Win32 view of one form: its top-level window, the child windows of its
// buttons, frames and options, and the painting of everything else.
// Internal to the toolkit's Win32 side (win32_form_view.cpp); the backend
// (win32_backend.cpp) makes the views and registers their window class.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/win32_text.h"
#include "ui/toolkit.h"
#include "ui/win32_gdi.h"
#include "ui/win32_paint.h"
#include "ui/win32_toolkit.h"

namespace tarnvel::ui {

// The class of every form's window, registered by the backend with
// Win32FormView::FormProc.
constexpr wchar_t kFormClass[] = L"TarnvelForm";
void RegisterWindowClasses();

// A form's window styles: fixed size, with or without system menu and
// task-bar button.
DWORD WindowStyle(const Form::Style& style);
DWORD WindowExStyle(const Form::Style& style);

inline HINSTANCE Module() { return GetModuleHandleW(nullptr); }

// Sets a window's text only when it differs, sparing a repaint.
void SetWindowTextIfChanged(HWND window, const std::string& text);

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

  // The window procedure of every form: it reaches the view through the
  // window, which holds it from WM_NCCREATE to WM_NCDESTROY.
  static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

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

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
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
  HWND hwnd_ = nullptr;  // set at WM_NCCREATE, cleared at WM_NCDESTROY
  win32::UniqueWindow window_;
  std::vector<Child> children_;
  std::vector<Painted> painted_;
  HWND lastFocus_ = nullptr;
  bool moving_ = false;
};

}  // namespace tarnvel::ui
