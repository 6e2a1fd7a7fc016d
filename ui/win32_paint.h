// Painting for the toolkit's Win32 side: the painted controls composed on a
// form's background in stacking order, and the owner-drawn push buttons.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/toolkit.h"
#include "ui/win32_gdi.h"

namespace tarnvel::ui::win32 {

COLORREF ColorRef(Color color);

// The look of buttons, frames, options and labels that have no font of their
// own: the classic dialog font.
Font DefaultFont();

// One form's fonts and pictures, created on first use and kept; all sizes
// come from twips and points at `dpi`.
class Painter {
 public:
  explicit Painter(int dpi) : dpi_(dpi) {}

  int Dpi() const { return dpi_; }
  // Left, top, width and height converted one by one, so that a size in
  // twips gives the same pixels wherever the control stands.
  RECT PixelRect(const TwipsRect& rect) const;
  // Where a painted control draws in the client area; a picture covers its
  // natural size.
  RECT AreaOf(const Control& control);
  HFONT FontFor(const Font& font);

  // Paints `area` of the client area into `dc`: the background, then the
  // visible painted controls bottom first, composed off screen and copied in
  // one go.
  void Compose(HDC dc, const Form& form, const RECT& area);

  void DrawButton(const DRAWITEMSTRUCT& item, const Button& button);

 private:
  struct LoadedPicture {
    Picture::Kind kind;
    int resourceId;
    UniqueBitmap bitmap;
    UniqueIcon icon;
    SIZE size{0, 0};
  };

  void PaintLabel(HDC dc, const Label& label);
  void PaintShape(HDC dc, const Shape& shape);
  void PaintPicture(HDC dc, const Picture& picture);
  const LoadedPicture& PictureFor(const Picture& picture);

  int dpi_;
  std::vector<std::pair<Font, UniqueFont>> fonts_;
  std::vector<LoadedPicture> pictures_;
};

}  // namespace tarnvel::ui::win32
