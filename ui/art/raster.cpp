#include "ui/art/raster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace tarnvel::art {

namespace {

constexpr int kSamples = 6;  // per axis: 36 samples a pixel
constexpr double kPi = 3.14159265358979323846;

double Clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }

// Letters in cap-height units: u to the right from the letter's left edge,
// v downwards from the cap line. kStroke is the weight of every stem.
constexpr double kStroke = 0.21;
constexpr double kTracking = 0.13;

struct Glyph {
  char letter;
  double width;
  bool (*inside)(double u, double v);
};

bool GlyphT(double u, double v) {
  return (v < kStroke && u < 0.80) || (u >= 0.40 - kStroke / 2 && u < 0.40 + kStroke / 2);
}

// A and V share one shape, the V upside down: two slanted legs whose inner
// edges run parallel to the outer ones.
bool Chevron(double u, double v, double width, double slant, double crossTop, double crossBottom) {
  const double left = slant * (1 - v);
  const double right = width - left;
  if (u < left || u >= right) return false;
  const double leg = 0.25;
  const bool counter = u >= left + leg && u < right - leg;
  const bool cross = v >= crossTop && v < crossBottom;
  return !counter || cross;
}

bool GlyphA(double u, double v) { return Chevron(u, v, 0.90, 0.33, 0.60, 0.60 + kStroke * 0.85); }
bool GlyphV(double u, double v) { return Chevron(u, 1 - v, 0.86, 0.31, 2, 2); }

bool GlyphR(double u, double v) {
  const double bowlBottom = 0.58, radius = bowlBottom / 2, bowlRight = 0.76;
  const double centre = bowlRight - radius;
  const auto inDisc = [&](double r) {
    const double du = u - centre, dv = v - radius;
    return du * du + dv * dv < r * r;
  };
  if (u < kStroke) return true;
  const bool bowl = v < bowlBottom && (u < centre || inDisc(radius));
  const double inner = radius - kStroke * 0.85;
  const bool hole =
      v >= radius - inner && v < radius + inner && u >= kStroke && (u < centre || inDisc(inner));
  if (bowl && !hole) return true;
  // The leg leaves the bowl and ends at the baseline on the right.
  const double legLeft = 0.30 + (v - 0.50) * 0.86;
  return v >= 0.50 && u >= legLeft && u < legLeft + 0.25 && u < 0.80;
}

bool GlyphN(double u, double v) {
  const double width = 0.80, diagonal = 0.25;
  if (u < kStroke || (u >= width - kStroke && u < width)) return true;
  const double left = v * (width - diagonal);
  return u >= left && u < left + diagonal;
}

bool GlyphE(double u, double v) {
  if (u < kStroke) return true;
  if (v < kStroke || v >= 1 - kStroke) return u < 0.62;
  return std::abs(v - 0.5) < kStroke / 2 && u < 0.56;
}

bool GlyphL(double u, double v) { return u < kStroke || (v >= 1 - kStroke && u < 0.58); }

constexpr Glyph kGlyphs[] = {
    {'T', 0.80, GlyphT}, {'A', 0.90, GlyphA}, {'R', 0.80, GlyphR}, {'N', 0.80, GlyphN},
    {'V', 0.86, GlyphV}, {'E', 0.62, GlyphE}, {'L', 0.58, GlyphL},
};

const Glyph& FindGlyph(char letter) {
  for (const Glyph& glyph : kGlyphs) {
    if (glyph.letter == letter) return glyph;
  }
  // Only the pictures' own source asks for letters: a missing one stops the
  // build that draws them.
  std::fprintf(stderr, "no glyph for letter %c\n", letter);
  std::exit(EXIT_FAILURE);
}

}  // namespace

Rgb Hex(unsigned rgb) {
  return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
}

Rgb Mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Region Rect(double left, double top, double right, double bottom) {
  return [=](double x, double y) { return x >= left && x < right && y >= top && y < bottom; };
}

Region Circle(double cx, double cy, double radius) { return Ellipse(cx, cy, radius, radius); }

Region Ellipse(double cx, double cy, double rx, double ry) {
  return [=](double x, double y) {
    const double dx = (x - cx) / rx, dy = (y - cy) / ry;
    return dx * dx + dy * dy < 1;
  };
}

Region Polygon(std::vector<std::pair<double, double>> points) {
  return [points = std::move(points)](double x, double y) {
    bool inside = false;
    for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
      const auto [xi, yi] = points[i];
      const auto [xj, yj] = points[j];
      if ((yi > y) != (yj > y) && x < xi + (y - yi) * (xj - xi) / (yj - yi)) inside = !inside;
    }
    return inside;
  };
}

Region Star(double cx, double cy, double outer, double inner, int points) {
  std::vector<std::pair<double, double>> corners;
  for (int i = 0; i < points * 2; ++i) {
    const double angle = -kPi / 2 + i * kPi / points;
    const double radius = i % 2 == 0 ? outer : inner;
    corners.emplace_back(cx + radius * std::cos(angle), cy + radius * std::sin(angle));
  }
  return Polygon(std::move(corners));
}

Region Union(Region a, Region b) {
  return [a = std::move(a), b = std::move(b)](double x, double y) { return a(x, y) || b(x, y); };
}

Region Minus(Region a, Region b) {
  return [a = std::move(a), b = std::move(b)](double x, double y) { return a(x, y) && !b(x, y); };
}

Region Intersect(Region a, Region b) {
  return [a = std::move(a), b = std::move(b)](double x, double y) { return a(x, y) && b(x, y); };
}

Region Shifted(Region region, double dx, double dy) {
  return
      [region = std::move(region), dx, dy](double x, double y) { return region(x - dx, y - dy); };
}

Paint Solid(Rgb colour) {
  return [colour](double, double) { return colour; };
}

Paint Linear(double x0, double y0, Rgb c0, double x1, double y1, Rgb c1) {
  const double dx = x1 - x0, dy = y1 - y0, length2 = dx * dx + dy * dy;
  return [=](double x, double y) {
    return Mix(c0, c1, Clamp01(((x - x0) * dx + (y - y0) * dy) / length2));
  };
}

Paint Radial(double cx, double cy, double radius, Rgb centre, Rgb edge) {
  return [=](double x, double y) {
    return Mix(centre, edge, Clamp01(std::hypot(x - cx, y - cy) / radius));
  };
}

double LetteringWidth(const std::string& text, double capHeight) {
  double width = 0;
  for (char letter : text) width += FindGlyph(letter).width + kTracking;
  return (width - (text.empty() ? 0 : kTracking)) * capHeight;
}

Region Lettering(const std::string& text, double x, double y, double capHeight) {
  std::vector<std::pair<double, const Glyph*>> placed;  // left edge in cap units
  double left = 0;
  for (char letter : text) {
    const Glyph& glyph = FindGlyph(letter);
    placed.emplace_back(left, &glyph);
    left += glyph.width + kTracking;
  }
  return [=](double px, double py) {
    const double u = (px - x) / capHeight, v = (py - y) / capHeight;
    if (v < 0 || v >= 1) return false;
    for (const auto& [start, glyph] : placed) {
      if (u >= start && u < start + glyph->width) return glyph->inside(u - start, v);
    }
    return false;
  };
}

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width * height)) {}

Canvas::Canvas(int width, int height, Rgb background) : Canvas(width, height) {
  for (Pixel& pixel : pixels_) pixel = {background, 1.0};
}

void Canvas::Fill(const Region& region, const Paint& paint, double opacity) {
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      int hits = 0;
      double sumX = 0, sumY = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const double px = x + (sx + 0.5) / kSamples, py = y + (sy + 0.5) / kSamples;
          if (region(px, py)) {
            ++hits;
            sumX += px;
            sumY += py;
          }
        }
      }
      if (hits == 0) continue;
      // The paint is taken where the region actually is, so edges keep the
      // colour of the shape rather than of the pixel's centre.
      const Rgb source = paint(sumX / hits, sumY / hits);
      const double a = opacity * hits / (kSamples * kSamples);
      Pixel& pixel = pixels_[Index(x, y)];
      const double outAlpha = a + pixel.alpha * (1 - a);
      const double keep = pixel.alpha * (1 - a);
      pixel.colour = {(source.r * a + pixel.colour.r * keep) / outAlpha,
                      (source.g * a + pixel.colour.g * keep) / outAlpha,
                      (source.b * a + pixel.colour.b * keep) / outAlpha};
      pixel.alpha = outAlpha;
    }
  }
}

}  // namespace tarnvel::art
