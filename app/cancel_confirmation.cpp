#include "app/cancel_confirmation.h"

#include "install/run_log.h"

namespace tarnvel {

int ConfirmCancel(Platform& platform) {
  // Yes is the first button and so the default: Enter answers Yes.
  const int answer = platform.ShowMessageBox("Are you sure. You want to cancel setup?",
                                             "Are you Sure?", kMbYesNo | kMbIconExclamation);
  platform.Log(log_line::Cancel(answer == kIdYes));
  if (answer == kIdYes) platform.EndProgram(kExitCancelled);
  return answer;
}

}  // namespace tarnvel
