#include "ui/art/pictures.h"

#include <cmath>
#include <string>

#include "ui/art/raster.h"

namespace tarnvel::art {

namespace {

// The crest is the product's mark: a gold-rimmed blue medallion carrying a
// gold "T". The emblem shows it large, the icon small.
struct CrestColours {
  Rgb rimLight = Hex(0xFCE6A4), rimDark = Hex(0x9A6612);
  Rgb line = Hex(0x0F1F4D);
  Rgb discLight = Hex(0x4F8FE6), discDark = Hex(0x0C2257);
  Rgb letterTop = Hex(0xFFF3CC), letterBottom = Hex(0xE0A52C);
  Rgb letterShadow = Hex(0x061230);
};

void PaintCrest(Canvas& canvas, double cx, double cy, double r, bool detailed) {
  const CrestColours c;
  if (detailed) {
    // A soft shadow, stacked from faint discs.
    for (int i = 0; i < 5; ++i) {
      canvas.Fill(Circle(cx + 0.03 * r, cy + 0.06 * r, r * (0.98 + 0.02 * i)), Solid(Hex(0x3C3466)),
                  0.07);
    }
  }
  canvas.Fill(Circle(cx, cy, r), Linear(cx - r, cy - r, c.rimLight, cx + r, cy + r, c.rimDark));
  // The bevel: the inner edge of the rim takes the light the other way.
  canvas.Fill(Circle(cx, cy, r * 0.90),
              Linear(cx - r, cy - r, c.rimDark, cx + r, cy + r, c.rimLight));
  canvas.Fill(Circle(cx, cy, r * 0.86), Solid(c.line));
  const Region disc = Circle(cx, cy, r * 0.82);
  canvas.Fill(disc, Radial(cx - 0.25 * r, cy - 0.30 * r, 1.1 * r, c.discLight, c.discDark));

  if (detailed) {
    canvas.Fill(Minus(Circle(cx, cy, r * 0.75), Circle(cx, cy, r * 0.72)), Solid(Hex(0xD9A93A)),
                0.75);
    for (double side : {-1.0, 1.0}) {
      canvas.Fill(Star(cx + side * 0.40 * r, cy + 0.36 * r, 0.11 * r, 0.045 * r, 5),
                  Solid(Hex(0xF3CC63)));
    }
  }

  const double capHeight = 0.95 * r;
  const double left = cx - LetteringWidth("T", capHeight) / 2;
  const double top = cy - capHeight / 2 - 0.03 * r;
  const Region letter = Lettering("T", left, top, capHeight);
  canvas.Fill(Shifted(letter, 0.05 * r, 0.06 * r), Solid(c.letterShadow), 0.65);
  canvas.Fill(letter, Linear(0, top, c.letterTop, 0, top + capHeight, c.letterBottom));
  // A gloss over the upper half of the disc.
  canvas.Fill(Intersect(disc, Ellipse(cx, cy - 0.48 * r, 0.72 * r, 0.42 * r)), Solid(Hex(0xFFFFFF)),
              detailed ? 0.14 : 0.10);
}

std::uint8_t Channel(double value) {
  return static_cast<std::uint8_t>(std::lround(std::fmin(1.0, std::fmax(0.0, value)) * 255));
}

void Put16(Bytes& out, unsigned value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(Bytes& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

void PutInfoHeader(Bytes& out, int width, int height, int bitCount, std::uint32_t imageSize) {
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(height));
  Put16(out, 1);  // planes
  Put16(out, static_cast<unsigned>(bitCount));
  Put32(out, 0);  // BI_RGB
  Put32(out, imageSize);
  Put32(out, 3780);  // 96 dots per inch, in pixels per metre
  Put32(out, 3780);
  Put32(out, 0);  // colours used: all
  Put32(out, 0);  // colours important: all
}

// An uncompressed 24-bit bitmap file, rows bottom-up. `trailing` zero bytes
// follow the pixels and are counted in the file's size, as some editors
// write them.
Bytes BitmapFile(const Canvas& canvas, std::uint32_t trailing) {
  const int width = canvas.Width(), height = canvas.Height();
  const std::uint32_t stride = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
  const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(height) + trailing;
  const std::uint32_t headers = 14 + 40;
  Bytes out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, headers + imageSize);
  Put32(out, 0);  // reserved
  Put32(out, headers);
  PutInfoHeader(out, width, height, 24, imageSize);
  for (int y = height - 1; y >= 0; --y) {
    const std::size_t rowStart = out.size();
    for (int x = 0; x < width; ++x) {
      const Rgb colour = canvas.ColourAt(x, y);
      out.push_back(Channel(colour.b));
      out.push_back(Channel(colour.g));
      out.push_back(Channel(colour.r));
    }
    out.resize(rowStart + stride, 0);
  }
  out.resize(out.size() + trailing, 0);
  return out;
}

// The icon's 16 colours, chosen for the crest: index 0 (black) also stands
// under every transparent pixel.
constexpr unsigned kIconPalette[16] = {
    0x000000, 0x0A1838, 0x142C66, 0x1E4590, 0x2E62B8, 0x4A86DC, 0x86B4F0, 0x6E4A0E,
    0xA6701A, 0xD39A2C, 0xF0C25A, 0xFFE7A6, 0xFFFFFF, 0xC0C0C0, 0x808080, 0x3A3A3A,
};

int NearestPaletteIndex(Rgb colour) {
  int best = 0;
  double bestDistance = 1e9;
  for (int i = 0; i < 16; ++i) {
    const Rgb entry = Hex(kIconPalette[i]);
    // Weighted as the eye weighs the channels.
    const double dr = colour.r - entry.r, dg = colour.g - entry.g, db = colour.b - entry.b;
    const double distance = 0.30 * dr * dr + 0.59 * dg * dg + 0.11 * db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

constexpr int kIconSize = 32;

}  // namespace

Bytes ProgramIconImage() {
  Canvas canvas(kIconSize, kIconSize);
  PaintCrest(canvas, 16, 16, 15.9, false);

  constexpr std::uint32_t kColourStride = kIconSize / 2;  // 4 bits a pixel
  constexpr std::uint32_t kMaskStride = 4;                // 1 bit a pixel, 32-bit rows
  Bytes out;
  // An icon image's header counts the colour and mask rows together.
  PutInfoHeader(out, kIconSize, kIconSize * 2, 4, (kColourStride + kMaskStride) * kIconSize);
  for (unsigned rgb : kIconPalette) Put32(out, rgb);  // stored as B, G, R, 0
  Bytes colours, mask;
  for (int y = kIconSize - 1; y >= 0; --y) {
    for (int x = 0; x < kIconSize; x += 2) {
      int pair = 0;
      for (int half = 0; half < 2; ++half) {
        const bool opaque = canvas.AlphaAt(x + half, y) >= 0.5;
        const int index = opaque ? NearestPaletteIndex(canvas.ColourAt(x + half, y)) : 0;
        pair = pair << 4 | index;
      }
      colours.push_back(static_cast<std::uint8_t>(pair));
    }
    for (int x = 0; x < kIconSize; x += 8) {
      int bits = 0;
      for (int bit = 0; bit < 8; ++bit) {
        bits = bits << 1 | (canvas.AlphaAt(x + bit, y) >= 0.5 ? 0 : 1);
      }
      mask.push_back(static_cast<std::uint8_t>(bits));
    }
  }
  out.insert(out.end(), colours.begin(), colours.end());
  out.insert(out.end(), mask.begin(), mask.end());
  return out;
}

Bytes ProgramIconFile() {
  const Bytes image = ProgramIconImage();
  Bytes out;
  Put16(out, 0);  // reserved
  Put16(out, 1);  // an icon
  Put16(out, 1);  // one image
  out.push_back(kIconSize);
  out.push_back(kIconSize);
  out.push_back(16);  // colours
  out.push_back(0);
  Put16(out, 1);  // planes
  Put16(out, 4);  // bits a pixel
  Put32(out, static_cast<std::uint32_t>(image.size()));
  Put32(out, 6 + 16);  // the image follows the one directory entry
  out.insert(out.end(), image.begin(), image.end());
  return out;
}

Bytes ProgramIconGroup(std::uint16_t imageId) {
  Bytes out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 1);
  out.push_back(kIconSize);
  out.push_back(kIconSize);
  out.push_back(16);
  out.push_back(0);
  Put16(out, 1);
  Put16(out, 4);
  Put32(out, static_cast<std::uint32_t>(ProgramIconImage().size()));
  Put16(out, imageId);
  return out;
}

Bytes EmblemBitmapFile() {
  // The background is the welcome window's left panel, which the emblem
  // stands on.
  Canvas canvas(97, 97, Hex(0xF7F4FF));
  PaintCrest(canvas, 48.5, 47.5, 44, true);
  return BitmapFile(canvas, 2);
}

Bytes BannerBitmapFile() {
  constexpr int kWidth = 200, kHeight = 80;
  // The window clips the banner's top 8 rows: the design centres on the rest.
  constexpr double kVisibleTop = 8;
  Canvas canvas(kWidth, kHeight);
  const Region all = Rect(0, 0, kWidth, kHeight);
  canvas.Fill(all, Linear(0, 0, Hex(0x0B1E4E), kWidth, kHeight, Hex(0x2A6AC6)));
  canvas.Fill(all, Radial(160, 18, 130, Hex(0x7DB8FF), Hex(0x0B1E4E)), 0.30);
  // Faint rings rising from the lower right.
  for (const auto& [outer, inner] : {std::pair{88.0, 84.0}, {70.0, 67.5}, {54.0, 52.0}}) {
    canvas.Fill(Minus(Circle(186, 104, outer), Circle(186, 104, inner)), Solid(Hex(0xFFFFFF)),
                0.09);
  }

  const std::string name = "TARNVEL";
  const double capHeight = 23;
  const double width = LetteringWidth(name, capHeight);
  const double left = std::round((kWidth - width) / 2);
  const double top = kVisibleTop + 18;
  const Region letters = Lettering(name, left, top, capHeight);
  canvas.Fill(Shifted(letters, 1.2, 1.6), Solid(Hex(0x050F2A)), 0.6);
  canvas.Fill(letters, Linear(0, top, Hex(0xFFFFFF), 0, top + capHeight, Hex(0xC9DCF8)));

  // A gold rule under the name, ending in a small star on each side.
  const double ruleY = top + capHeight + 8;
  const Paint gold = Linear(left, 0, Hex(0xFCE39A), left + width, 0, Hex(0xC8901F));
  canvas.Fill(Rect(left + 10, ruleY, left + width - 10, ruleY + 1.5), gold);
  for (double x : {left + 3.5, left + width - 3.5}) {
    canvas.Fill(Star(x, ruleY + 0.75, 4.2, 1.7, 4), gold);
  }
  return BitmapFile(canvas, 0);
}

}  // namespace tarnvel::art
