// The fonts the two windows store.
#pragma once

#include "ui/toolkit.h"

namespace tarnvel::ui::fonts {

inline Font SansBold975() { return {"MS Sans Serif", 9.75, 700, 0}; }
inline Font SansBold825() { return {"MS Sans Serif", 8.25, 700, 0}; }
inline Font ArialBlack975() { return {"Arial Black", 9.75, 400, 0}; }

}  // namespace tarnvel::ui::fonts
