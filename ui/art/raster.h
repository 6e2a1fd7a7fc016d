// A tiny anti-aliased painter for the setup's pictures: regions are point
// tests, paints are colour functions, and every fill is supersampled. Enough
// for crests, gradients and block lettering; nothing more.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarnvel::art {

struct Rgb {
  double r = 0, g = 0, b = 0;  // 0..1
};

// #RRGGBB as an integer, e.g. Hex(0xF7F4FF).
Rgb Hex(unsigned rgb);
Rgb Mix(Rgb a, Rgb b, double t);

// Pixel coordinates: x to the right, y downwards; pixel (i, j) covers
// [i, i + 1) x [j, j + 1).
using Region = std::function<bool(double x, double y)>;
using Paint = std::function<Rgb(double x, double y)>;

Region Rect(double left, double top, double right, double bottom);
Region Circle(double cx, double cy, double radius);
Region Ellipse(double cx, double cy, double rx, double ry);
Region Polygon(std::vector<std::pair<double, double>> points);  // even-odd rule
Region Star(double cx, double cy, double outer, double inner, int points);
Region Union(Region a, Region b);
Region Minus(Region a, Region b);
Region Intersect(Region a, Region b);
Region Shifted(Region region, double dx, double dy);

Paint Solid(Rgb colour);
Paint Linear(double x0, double y0, Rgb c0, double x1, double y1, Rgb c1);
Paint Radial(double cx, double cy, double radius, Rgb centre, Rgb edge);

// Block capitals for the product name: bold geometric letters with a cap
// height of `capHeight` pixels, top-left corner at (x, y). Knows the letters
// of "TARNVEL" only.
Region Lettering(const std::string& text, double x, double y, double capHeight);
double LetteringWidth(const std::string& text, double capHeight);

class Canvas {
 public:
  // A canvas starts fully transparent unless given a background.
  Canvas(int width, int height);
  Canvas(int width, int height, Rgb background);

  // Paints `region` over what is there, each pixel weighted by the share of
  // its samples that the region covers.
  void Fill(const Region& region, const Paint& paint, double opacity = 1.0);

  int Width() const { return width_; }
  int Height() const { return height_; }
  Rgb ColourAt(int x, int y) const { return pixels_[Index(x, y)].colour; }
  double AlphaAt(int x, int y) const { return pixels_[Index(x, y)].alpha; }

 private:
  struct Pixel {
    Rgb colour;
    double alpha = 0;
  };
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(x);
  }

  int width_;
  int height_;
  std::vector<Pixel> pixels_;
};

}  // namespace tarnvel::art
