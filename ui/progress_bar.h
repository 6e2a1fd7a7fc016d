// The installation window's progress bar: three shapes on top of each other,
// the background, the growing bar and the full-scale outline.
#pragma once

#include <cstdint>
#include <optional>

#include "ui/toolkit.h"

namespace tarnvel::ui {

// Shows (Optn true, -1) or hides (0) the background and the bar, then
// repaints the bar at once. The outline keeps its own visibility.
void PGVisible(Shape& Bar, Shape& Frame, Shape& Back, std::int16_t Optn);

// Sets the bar to CurrVal out of MaxVal of the outline's width and repaints
// the three shapes at once. CurrVal above MaxVal is lowered to MaxVal through
// the reference. Each step that fails is given up on its own; nothing fails
// towards the caller.
void Progress(Shape& Bar, Shape& Frame, Shape& Back, std::int32_t& CurrVal, std::int32_t& MaxVal);

// The bar's width for `currVal` of `maxVal` at a full scale of `fullWidth`:
// quotient and product rounded to 80-bit extended, then to the nearest
// integer with halves to even. None on a division by zero or outside the
// signed 16-bit range.
std::optional<std::int16_t> BarWidth(std::int32_t currVal, std::int32_t maxVal, int fullWidth);

}  // namespace tarnvel::ui
