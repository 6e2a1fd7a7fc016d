#include "app/number_text.h"

namespace tarnvel {

void AppendNumber(std::string& text, std::uint32_t value, unsigned base, std::size_t width) {
  // Written backwards from the end of the buffer, then appended at once.
  char digits[32];
  char* const end = digits + sizeof digits;
  char* first = end;
  do {
    *--first = "0123456789abcdef"[value % base];
    value /= base;
  } while (value != 0);
  while (first > digits && static_cast<std::size_t>(end - first) < width) *--first = '0';
  text.append(first, end);
}

std::string NumberText(std::uint32_t value, unsigned base, std::size_t width) {
  std::string text;
  AppendNumber(text, value, base, width);
  return text;
}

std::string NumberText(std::uint32_t value) { return NumberText(value, 10, 0); }

}  // namespace tarnvel
