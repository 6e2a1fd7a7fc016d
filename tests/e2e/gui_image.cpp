#include "gui_image.h"

#include <cstdio>
#include <memory>
#include <type_traits>
#include <utility>

namespace tarnvel::e2e {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

struct DcDeleter {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
using UniqueDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;

class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Selection() { SelectObject(dc_, previous_); }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

constexpr int kBmpHeaderSize = 14 + 40;

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t GetLe(const std::vector<std::uint8_t>& in, std::size_t at, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | in[at + i];
  return value;
}

int RowBytes(int width) { return (width * 3 + 3) & ~3; }

}  // namespace

std::string Hex(const Rgb& c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", c.r, c.g, c.b);
  return text;
}

void PrintTo(const Rgb& c, std::ostream* os) { *os << Hex(c); }

void PrintTo(const Box& b, std::ostream* os) {
  *os << "{" << b.x << ", " << b.y << ", " << b.width << ", " << b.height << "}";
}

bool Image::operator==(const Image& o) const {
  return width_ == o.width_ && height_ == o.height_ && pixels_ == o.pixels_;
}

int Image::Count(const Box& area, Rgb c) const {
  int n = 0;
  for (int y = area.y; y < area.y + area.height; ++y) {
    for (int x = area.x; x < area.x + area.width; ++x) {
      if (Contains(x, y) && At(x, y) == c) ++n;
    }
  }
  return n;
}

Image Image::Crop(const Box& area) const {
  Image out(area.width, area.height);
  for (int y = 0; y < area.height; ++y) {
    for (int x = 0; x < area.width; ++x) {
      if (Contains(area.x + x, area.y + y)) out.Set(x, y, At(area.x + x, area.y + y));
    }
  }
  return out;
}

bool Image::SaveBmp(const std::string& path) const {
  const int rowBytes = RowBytes(width_);
  const std::uint32_t dataSize = static_cast<std::uint32_t>(rowBytes * height_);
  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  PutLe(out, kBmpHeaderSize + dataSize, 4);
  PutLe(out, 0, 4);
  PutLe(out, kBmpHeaderSize, 4);
  PutLe(out, 40, 4);
  PutLe(out, static_cast<std::uint32_t>(width_), 4);
  PutLe(out, static_cast<std::uint32_t>(height_), 4);
  PutLe(out, 1, 2);
  PutLe(out, 24, 2);
  PutLe(out, BI_RGB, 4);
  PutLe(out, dataSize, 4);
  PutLe(out, 3780, 4);  // 96 dots per inch
  PutLe(out, 3780, 4);
  PutLe(out, 0, 4);
  PutLe(out, 0, 4);
  for (int y = height_ - 1; y >= 0; --y) {
    for (int x = 0; x < width_; ++x) {
      const Rgb c = At(x, y);
      out.push_back(c.b);
      out.push_back(c.g);
      out.push_back(c.r);
    }
    for (int pad = width_ * 3; pad < rowBytes; ++pad) out.push_back(0);
  }
  UniqueFile file(std::fopen(path.c_str(), "wb"));
  return file && std::fwrite(out.data(), 1, out.size(), file.get()) == out.size();
}

Image Image::LoadBmp(const std::string& path) {
  UniqueFile file(std::fopen(path.c_str(), "rb"));
  if (!file) return {};
  std::vector<std::uint8_t> in;
  std::uint8_t chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0;) {
    in.insert(in.end(), chunk, chunk + n);
  }
  if (in.size() < kBmpHeaderSize || in[0] != 'B' || in[1] != 'M') return {};
  const std::uint32_t offset = GetLe(in, 10, 4);
  const int width = static_cast<int>(GetLe(in, 18, 4));
  const int rawHeight = static_cast<std::int32_t>(GetLe(in, 22, 4));
  const bool bottomUp = rawHeight > 0;
  const int height = bottomUp ? rawHeight : -rawHeight;
  if (GetLe(in, 28, 2) != 24 || GetLe(in, 30, 4) != BI_RGB || width <= 0 || height <= 0) return {};
  const int rowBytes = RowBytes(width);
  if (in.size() < offset + static_cast<std::size_t>(rowBytes) * height) return {};
  Image image(width, height);
  for (int row = 0; row < height; ++row) {
    const std::size_t at = offset + static_cast<std::size_t>(row) * rowBytes;
    const int y = bottomUp ? height - 1 - row : row;
    for (int x = 0; x < width; ++x) {
      image.Set(x, y, {in[at + 3 * x + 2], in[at + 3 * x + 1], in[at + 3 * x]});
    }
  }
  return image;
}

namespace {

// A 32-bit top-down DIB selected into a memory DC.
class Canvas {
 public:
  Canvas(HDC like, int width, int height)
      : memory_(CreateCompatibleDC(like)), width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_.reset(CreateDIBSection(like, &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
    if (memory_ && bitmap_) selection_ = std::make_unique<Selection>(memory_.get(), bitmap_.get());
  }
  bool Valid() const { return selection_ != nullptr && bits_ != nullptr; }
  HDC Dc() const { return memory_.get(); }
  Image ToImage() const {
    GdiFlush();
    Image image(width_, height_);
    const auto* pixels = static_cast<const std::uint32_t*>(bits_);
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) image.Set(x, y, Rgb::Of(pixels[y * width_ + x] & 0xFFFFFF));
    }
    return image;
  }

 private:
  UniqueDc memory_;
  int width_;
  int height_;
  void* bits_ = nullptr;
  UniqueBitmap bitmap_;
  std::unique_ptr<Selection> selection_;  // released before the bitmap
};

}  // namespace

Image RenderText(const std::string& text, const FontSpec& font, int dpi, int width, int height) {
  ScreenDc screen;
  Canvas canvas(screen.Get(), width, height);
  if (!canvas.Valid()) return {};
  const RECT all{0, 0, width, height};
  FillRect(canvas.Dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const int pixelHeight = -static_cast<int>(font.points * dpi / 72.0 + 0.5);
  UniqueFont gdiFont(CreateFontA(pixelHeight, 0, 0, 0, font.weight, FALSE, FALSE, FALSE,
                                 ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, font.face));
  Selection selected(canvas.Dc(), gdiFont.get());
  SetBkMode(canvas.Dc(), TRANSPARENT);
  SetTextColor(canvas.Dc(), RGB(0, 0, 0));
  TextOutA(canvas.Dc(), 0, 0, text.data(), static_cast<int>(text.size()));
  return canvas.ToImage();
}

Image CaptureScreen(const RECT& area) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return {};
  ScreenDc screen;
  Canvas canvas(screen.Get(), width, height);
  if (!canvas.Valid() || !BitBlt(canvas.Dc(), 0, 0, width, height, screen.Get(), area.left,
                                 area.top, SRCCOPY | CAPTUREBLT)) {
    return {};
  }
  return canvas.ToImage();
}

Image CaptureSettled(const RECT& area) {
  constexpr int kTries = 40;
  Image previous = CaptureScreen(area);
  for (int i = 0; i < kTries; ++i) {
    Sleep(500);
    Image current = CaptureScreen(area);
    if (current == previous) return current;
    previous = std::move(current);
  }
  return previous;
}

}  // namespace tarnvel::e2e
