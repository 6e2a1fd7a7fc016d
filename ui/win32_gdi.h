// Scoped owners for the window and GDI handles of the toolkit's Win32 side
// (the one handle owner of app/win32_handles.h), and the scoped device
// contexts and selections of painting: nothing is released by hand, on any
// path.
#pragma once

#include <windows.h>

#include "app/win32_handles.h"

namespace tarnvel::ui::win32 {

using UniqueWindow = tarnvel::Unique<HWND, &DestroyWindow>;
using UniqueIcon = tarnvel::Unique<HICON, &DestroyIcon>;
using UniqueFont = tarnvel::Unique<HFONT, &DeleteObject>;
using UniqueBrush = tarnvel::Unique<HBRUSH, &DeleteObject>;
using UniquePen = tarnvel::Unique<HPEN, &DeleteObject>;
using UniqueBitmap = tarnvel::Unique<HBITMAP, &DeleteObject>;
using UniqueMemoryDc = tarnvel::Unique<HDC, &DeleteDC>;

// A window's device context for the current scope (GetDC/ReleaseDC); the
// screen's when `window` is null.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint/EndPaint for one WM_PAINT.
class PaintDc {
 public:
  explicit PaintDc(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
  ~PaintDc() { EndPaint(window_, &paint_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  HDC Get() const { return dc_; }
  const RECT& Area() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Selects an object into a DC and puts the previous one back.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Selection() {
    if (previous_) SelectObject(dc_, previous_);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace tarnvel::ui::win32
