// user32, gdi32 and advapi32 bound on first use (win32_lazy_imports.cpp).
#pragma once

namespace tarnvel {

// True once the program has called into user32, so that its thread may have
// a message queue.
bool UserLibraryBound();

}  // namespace tarnvel
