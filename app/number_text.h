// Numbers as text, formatted by hand: the C runtime's printf family would be a
// quarter of the program, and user32's formatter would load user32 for a
// silent run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarnvel {

// Appends `value` in lower-case digits of `base` (2 to 16), with zeros in
// front up to `width` digits.
void AppendNumber(std::string& text, std::uint32_t value, unsigned base = 10,
                  std::size_t width = 0);

std::string NumberText(std::uint32_t value, unsigned base, std::size_t width);
// Decimal, without zeros in front.
std::string NumberText(std::uint32_t value);

// Text in a buffer of its own, for code that must take no heap memory (the
// end after a fault): what does not fit is cut off.
class FixedText {
 public:
  static constexpr std::size_t kCapacity = 511;

  FixedText& Append(const char* text);
  FixedText& AppendNumber(std::uint32_t value, unsigned base = 10, std::size_t width = 0);
  // "0x" and eight upper-case hexadecimal digits: an exception code, an address.
  FixedText& AppendHex(std::uint32_t value);
  const char* Text() const { return text_; }
  std::size_t Size() const { return size_; }

 private:
  char text_[kCapacity + 1] = {};
  std::size_t size_ = 0;
};

}  // namespace tarnvel
