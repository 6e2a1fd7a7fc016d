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

}  // namespace tarnvel
