#pragma once

namespace tarnvel {

// First thing the program does: DLLs loaded from now on come only from the
// system directory, never from the current directory or the one the setup
// was started from (where a planted copy could wait beside a download).
void HardenProcess();

}  // namespace tarnvel
