#include "ui/win32_paint.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "app/win32_text.h"

namespace tarnvel::ui::win32 {

namespace {

bool SameFont(const Font& a, const Font& b) {
  return a.face == b.face && a.points == b.points && a.weight == b.weight && a.charset == b.charset;
}

// The painted controls bottom first: the form's stacking order, or the order
// of declaration when a form gives none.
std::vector<const Control*> PaintOrder(const Form& form) {
  std::vector<const Control*> order;
  const std::vector<Control*>& source =
      form.StackingOrder().empty() ? form.Controls() : form.StackingOrder();
  for (const Control* control : source) {
    if (IsPainted(control->Kind())) order.push_back(control);
  }
  return order;
}

void FillWith(HDC dc, const RECT& rect, Color color) {
  UniqueBrush brush(CreateSolidBrush(ColorRef(color)));
  FillRect(dc, &rect, brush.Get());
}

void DrawCaption(HDC dc, const std::string& text, RECT rect, UINT format) {
  const std::wstring wide = Utf16From(text);
  DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &rect, format | DT_NOPREFIX);
}

}  // namespace

COLORREF ColorRef(Color color) {
  if (color.isSystem) return GetSysColor(static_cast<int>(color.value));
  return RGB((color.value >> 16) & 0xFF, (color.value >> 8) & 0xFF, color.value & 0xFF);
}

Font DefaultFont() { return Font{"MS Sans Serif", 8, 400, 0}; }

RECT Painter::PixelRect(const TwipsRect& rect) const {
  const int left = TwipsToPixels(rect.left, dpi_);
  const int top = TwipsToPixels(rect.top, dpi_);
  return RECT{left, top, left + TwipsToPixels(rect.width, dpi_),
              top + TwipsToPixels(rect.height, dpi_)};
}

RECT Painter::AreaOf(const Control& control) {
  RECT area = PixelRect(control.Rect());
  if (control.Kind() == ControlKind::Picture) {
    const LoadedPicture& picture = PictureFor(static_cast<const Picture&>(control));
    area.right = area.left + picture.size.cx;
    area.bottom = area.top + picture.size.cy;
  }
  return area;
}

HFONT Painter::FontFor(const Font& wanted) {
  const Font font = wanted.IsDefault() ? DefaultFont() : wanted;
  for (const auto& [known, handle] : fonts_) {
    if (SameFont(known, font)) return handle.Get();
  }
  LOGFONTW logFont{};
  logFont.lfHeight = LogicalFontHeight(font.points, dpi_);
  logFont.lfWeight = font.weight;
  logFont.lfCharSet = static_cast<BYTE>(font.charset);
  logFont.lfOutPrecision = OUT_DEFAULT_PRECIS;
  logFont.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  logFont.lfQuality = DEFAULT_QUALITY;
  logFont.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  const std::wstring face = Utf16From(font.face);
  face.copy(logFont.lfFaceName, LF_FACESIZE - 1);
  // A missing face is left to the font mapper, which picks the nearest one.
  fonts_.emplace_back(font, UniqueFont(CreateFontIndirectW(&logFont)));
  return fonts_.back().second.Get();
}

void Painter::Compose(HDC dc, const Form& form, const RECT& area) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return;
  UniqueMemoryDc memory(CreateCompatibleDC(dc));
  UniqueBitmap canvas(CreateCompatibleBitmap(dc, width, height));
  if (!memory || !canvas) return;
  Selection selectCanvas(memory.Get(), canvas.Get());
  // Drawn in client coordinates; the canvas starts at the area's corner.
  SetViewportOrgEx(memory.Get(), -area.left, -area.top, nullptr);
  FillWith(memory.Get(), area, form.GetStyle().backColor);
  for (const Control* control : PaintOrder(form)) {
    if (!control->Visible()) continue;
    const RECT controlArea = AreaOf(*control);
    RECT overlap;
    if (!IntersectRect(&overlap, &controlArea, &area)) continue;
    switch (control->Kind()) {
      case ControlKind::Label:
        PaintLabel(memory.Get(), static_cast<const Label&>(*control));
        break;
      case ControlKind::Shape:
        PaintShape(memory.Get(), static_cast<const Shape&>(*control));
        break;
      case ControlKind::Picture:
        PaintPicture(memory.Get(), static_cast<const Picture&>(*control));
        break;
      default:
        break;
    }
  }
  BitBlt(dc, area.left, area.top, width, height, memory.Get(), area.left, area.top, SRCCOPY);
}

void Painter::PaintLabel(HDC dc, const Label& label) {
  const Label::Style& style = label.GetStyle();
  const RECT rect = PixelRect(label.Rect());
  if (!style.transparent) FillWith(dc, rect, style.backColor);
  Selection font(dc, FontFor(style.font));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorRef(style.foreColor));
  const UINT align = style.align == Label::Align::Center ? DT_CENTER : DT_LEFT;
  DrawCaption(dc, label.Caption(), rect, DT_WORDBREAK | align);
}

void Painter::PaintShape(HDC dc, const Shape& shape) {
  const Shape::Style& style = shape.GetStyle();
  const RECT r = PixelRect(shape.Rect());
  if (r.right <= r.left || r.bottom <= r.top) return;
  const int border = std::max(0, style.borderWidthPx);
  if (style.kind == Shape::Kind::Rectangle) {
    if (!style.transparentInterior) FillWith(dc, r, style.fillColor);
    if (border == 0) return;
    // The border lies inside the shape's rectangle, whatever its width.
    const RECT bands[] = {
        {r.left, r.top, r.right, std::min(r.top + border, r.bottom)},
        {r.left, std::max(r.bottom - border, r.top), r.right, r.bottom},
        {r.left, r.top, std::min(r.left + border, r.right), r.bottom},
        {std::max(r.right - border, r.left), r.top, r.right, r.bottom},
    };
    for (const RECT& band : bands) FillWith(dc, band, style.borderColor);
    return;
  }
  // Rounded rectangle: the corner ellipse is a third of the shorter side,
  // the classic look of a rounded shape.
  UniquePen pen(border > 0 ? CreatePen(PS_INSIDEFRAME, border, ColorRef(style.borderColor))
                           : nullptr);
  UniqueBrush fill(style.transparentInterior ? nullptr
                                             : CreateSolidBrush(ColorRef(style.fillColor)));
  Selection selectPen(dc, pen ? static_cast<HGDIOBJ>(pen.Get()) : GetStockObject(NULL_PEN));
  Selection selectBrush(dc, fill ? static_cast<HGDIOBJ>(fill.Get()) : GetStockObject(NULL_BRUSH));
  const int corner = std::min(r.right - r.left, r.bottom - r.top) / 3;
  RoundRect(dc, r.left, r.top, r.right, r.bottom, corner, corner);
}

void Painter::PaintPicture(HDC dc, const Picture& control) {
  const LoadedPicture& picture = PictureFor(control);
  const RECT r = PixelRect(control.Rect());
  if (picture.bitmap) {
    UniqueMemoryDc source(CreateCompatibleDC(dc));
    if (!source) return;
    Selection select(source.Get(), picture.bitmap.Get());
    BitBlt(dc, r.left, r.top, picture.size.cx, picture.size.cy, source.Get(), 0, 0, SRCCOPY);
  } else if (picture.icon) {
    DrawIconEx(dc, r.left, r.top, picture.icon.Get(), 0, 0, 0, nullptr, DI_NORMAL);
  }
}

const Painter::LoadedPicture& Painter::PictureFor(const Picture& control) {
  for (const LoadedPicture& known : pictures_) {
    if (known.kind == control.PictureKind() && known.resourceId == control.ResourceId()) {
      return known;
    }
  }
  LoadedPicture loaded{control.PictureKind(), control.ResourceId(), {}, {}, {0, 0}};
  HINSTANCE module = GetModuleHandleW(nullptr);
  const wchar_t* name = MAKEINTRESOURCEW(control.ResourceId());
  if (loaded.kind == Picture::Kind::Bitmap) {
    loaded.bitmap.Reset(
        static_cast<HBITMAP>(LoadImageW(module, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP info{};
    if (loaded.bitmap && GetObjectW(loaded.bitmap.Get(), sizeof info, &info)) {
      loaded.size = {info.bmWidth, info.bmHeight};
    }
  } else {
    // Width and height 0: the image's own size, not the system's icon size.
    loaded.icon.Reset(static_cast<HICON>(LoadImageW(module, name, IMAGE_ICON, 0, 0, 0)));
    ICONINFO info{};
    if (loaded.icon && GetIconInfo(loaded.icon.Get(), &info)) {
      UniqueBitmap mask(info.hbmMask);
      UniqueBitmap color(info.hbmColor);
      BITMAP bits{};
      if (GetObjectW(mask.Get(), sizeof bits, &bits)) {
        // Without a colour bitmap the mask holds both halves, one above the other.
        loaded.size = {bits.bmWidth, color ? bits.bmHeight : bits.bmHeight / 2};
      }
    }
  }
  pictures_.push_back(std::move(loaded));
  return pictures_.back();
}

void Painter::DrawButton(const DRAWITEMSTRUCT& item, const Button& button) {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool focused = (item.itemState & ODS_FOCUS) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;

  FillWith(dc, r, button.FaceColor());
  if (pressed) {
    RECT inner = r;
    FrameRect(dc, &inner, GetSysColorBrush(COLOR_3DDKSHADOW));
    InflateRect(&inner, -1, -1);
    FrameRect(dc, &inner, GetSysColorBrush(COLOR_3DSHADOW));
  } else {
    RECT edge = r;
    DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT);
  }

  Selection font(dc, FontFor(Font{}));
  SetBkMode(dc, TRANSPARENT);
  RECT text = r;
  if (pressed) OffsetRect(&text, 1, 1);
  const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  if (disabled) {
    RECT light = text;
    OffsetRect(&light, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
    DrawCaption(dc, button.Caption(), light, format);
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  } else {
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  }
  DrawCaption(dc, button.Caption(), text, format);

  if (focused) {
    RECT focus = r;
    InflateRect(&focus, -4, -4);
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace tarnvel::ui::win32
