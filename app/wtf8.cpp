#include "app/wtf8.h"

namespace tarnvel {

namespace {

bool IsLeadSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsTrailSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::optional<Utf16Text> Wtf8ToUtf16(std::string_view text) {
  Utf16Text wide;
  wide.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    // How many bytes follow the lead, and the least code point that needs them.
    std::size_t more = 0;
    char32_t least = 0;
    char32_t point = lead;
    if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3, least = 0x10000, point = lead & 0x07;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2, least = 0x800, point = lead & 0x0F;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1, least = 0x80, point = lead & 0x1F;
    } else if (lead >= 0x80) {
      return std::nullopt;
    }
    if (text.size() - at <= more) return std::nullopt;
    for (std::size_t i = 1; i <= more; ++i) {
      const auto next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      point = (point << 6) | (next & 0x3F);
    }
    if (point < least || point > 0x10FFFF) return std::nullopt;
    at += more + 1;
    if (point >= 0x10000) {
      point -= 0x10000;
      wide += static_cast<Utf16Unit>(0xD800 + (point >> 10));
      wide += static_cast<Utf16Unit>(0xDC00 + (point & 0x3FF));
      continue;
    }
    // A lone trail surrogate right after a lone lead would read back as a pair.
    if (IsTrailSurrogate(point) && !wide.empty() && IsLeadSurrogate(wide.back()))
      return std::nullopt;
    wide += static_cast<Utf16Unit>(point);
  }
  return wide;
}

std::string Utf16ToWtf8(const Utf16Unit* text, std::size_t length) {
  std::string narrow;
  narrow.reserve(length);
  for (std::size_t at = 0; at < length; ++at) {
    char32_t point = static_cast<char16_t>(text[at]);
    if (IsLeadSurrogate(point) && at + 1 < length &&
        IsTrailSurrogate(static_cast<char16_t>(text[at + 1]))) {
      point = 0x10000 + ((point - 0xD800) << 10) + (static_cast<char16_t>(text[++at]) - 0xDC00);
    }
    if (point < 0x80) {
      narrow += static_cast<char>(point);
      continue;
    }
    // The lead byte's marker, then six bits per continuation byte.
    const int more = point < 0x800 ? 1 : point < 0x10000 ? 2 : 3;
    narrow += static_cast<char>((0xFF00u >> (more + 1)) | (point >> (6 * more)));
    for (int shift = 6 * (more - 1); shift >= 0; shift -= 6)
      narrow += static_cast<char>(0x80 | ((point >> shift) & 0x3F));
  }
  return narrow;
}

}  // namespace tarnvel
