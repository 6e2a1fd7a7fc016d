#include "app/number_text.h"

namespace tarnvel {

namespace {

constexpr std::size_t kMostDigits = 32;

// Writes the digits backwards from `end`; gives where they begin.
char* FormatNumber(char* end, std::uint32_t value, unsigned base, std::size_t width) {
  char* const last = end;
  do {
    *--end = "0123456789abcdef"[value % base];
    value /= base;
  } while (value != 0);
  while (static_cast<std::size_t>(last - end) < width && last - end < std::ptrdiff_t(kMostDigits))
    *--end = '0';
  return end;
}

}  // namespace

void AppendNumber(std::string& text, std::uint32_t value, unsigned base, std::size_t width) {
  char digits[kMostDigits];
  text.append(FormatNumber(digits + kMostDigits, value, base, width), digits + kMostDigits);
}

std::string NumberText(std::uint32_t value, unsigned base, std::size_t width) {
  std::string text;
  AppendNumber(text, value, base, width);
  return text;
}

std::string NumberText(std::uint32_t value) { return NumberText(value, 10, 0); }

FixedText& FixedText::Append(const char* text) {
  while (*text != '\0' && size_ < kCapacity) text_[size_++] = *text++;
  text_[size_] = '\0';
  return *this;
}

FixedText& FixedText::AppendNumber(std::uint32_t value, unsigned base, std::size_t width) {
  char digits[kMostDigits + 1];
  digits[kMostDigits] = '\0';
  return Append(FormatNumber(digits + kMostDigits, value, base, width));
}

FixedText& FixedText::AppendHex(std::uint32_t value) {
  char digits[kMostDigits + 1];
  digits[kMostDigits] = '\0';
  char* first = FormatNumber(digits + kMostDigits, value, 16, 8);
  for (char* c = first; *c != '\0'; ++c)
    if (*c >= 'a') *c = static_cast<char>(*c - 'a' + 'A');
  return Append("0x").Append(first);
}

}  // namespace tarnvel
