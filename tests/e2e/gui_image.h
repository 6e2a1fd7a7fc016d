// Screen images: what the user sees, captured from the screen, and the
// bitmaps the program is built from, read from their files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace tarnvel::e2e {

// A rectangle as the design writes it: left, top, width, height.
struct Box {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Box& o) const {
    return x == o.x && y == o.y && width == o.width && height == o.height;
  }
};

void PrintTo(const Box& b, std::ostream* os);

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;

  static constexpr Rgb Of(std::uint32_t rrggbb) {
    return {static_cast<std::uint8_t>(rrggbb >> 16), static_cast<std::uint8_t>(rrggbb >> 8),
            static_cast<std::uint8_t>(rrggbb)};
  }
  static Rgb FromColorRef(COLORREF c) { return {GetRValue(c), GetGValue(c), GetBValue(c)}; }
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
  bool operator!=(const Rgb& o) const { return !(*this == o); }
};

std::string Hex(const Rgb& c);  // "#RRGGBB"
void PrintTo(const Rgb& c, std::ostream* os);

class Image {
 public:
  Image() = default;
  Image(int width, int height) : width_(width), height_(height), pixels_(width * height) {}

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return pixels_.empty(); }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  Rgb At(int x, int y) const { return pixels_[y * width_ + x]; }
  void Set(int x, int y, Rgb c) { pixels_[y * width_ + x] = c; }
  bool operator==(const Image& o) const;
  bool operator!=(const Image& o) const { return !(*this == o); }

  // Pixels of colour `c` inside `area`.
  int Count(const Box& area, Rgb c) const;
  Image Crop(const Box& area) const;

  // 24-bit uncompressed, bottom-up, as Windows writes them.
  bool SaveBmp(const std::string& path) const;
  // Reads an uncompressed 24-bit bitmap file; empty when it is not one.
  static Image LoadBmp(const std::string& path);

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<Rgb> pixels_;
};

// A font as the design stores it.
struct FontSpec {
  const char* face;
  double points;
  int weight;
};

// `text` drawn in black on white with `font` at `dpi`, the way a label draws
// it from its top-left corner.
Image RenderText(const std::string& text, const FontSpec& font, int dpi, int width, int height);

// The screen inside `area` (screen coordinates), as it is shown now.
Image CaptureScreen(const RECT& area);
// Captures until two captures in a row agree: a window of an emulated
// program can take a while to finish painting.
Image CaptureSettled(const RECT& area);

}  // namespace tarnvel::e2e
