#pragma once

#include "app/platform.h"

namespace tarnvel {

// Every way of abandoning the setup asks this. Yes ends the program at once
// (exit code kExitCancelled) and does not return; otherwise the answer is
// returned and the caller goes on.
int ConfirmCancel(Platform& platform);

}  // namespace tarnvel
