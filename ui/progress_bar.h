#pragma once
#include <cstdint>
#include "ui/toolkit.h"
namespace tarnvel::ui {
void PGVisible(Shape& Bar, Shape& Frame, Shape& Back, std::int16_t Optn);
void Progress(Shape& Bar, Shape& Frame, Shape& Back, std::int32_t& CurrVal, std::int32_t& MaxVal);
}
