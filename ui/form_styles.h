// What both windows share of their looks.
#pragma once

#include <cstdint>

#include "ui/toolkit.h"

namespace tarnvel::ui {

// The face of the push buttons.
constexpr Color kSilver = Color::Rgb(0xC0C0C0);

// A filled rectangle: the panels behind texts and pictures, and the progress
// bar's parts.
inline Shape::Style Filled(std::uint32_t fill, Color border, int borderWidthPx = 2) {
  Shape::Style style;
  style.fillColor = Color::Rgb(fill);
  style.borderColor = border;
  style.borderWidthPx = borderWidthPx;
  return style;
}

}  // namespace tarnvel::ui
