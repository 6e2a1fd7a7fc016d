#include "app/cancel_confirmation.h"

namespace tarnvel {

int ConfirmCancel(Platform& platform) {
  // Yes is the first button and so the default: Enter answers Yes.
  const int answer = platform.ShowMessageBox("Are you sure. You want to cancel setup?",
                                             "Are you Sure?", kMbYesNo | kMbIconExclamation);
  if (answer == kIdYes) platform.EndProgram(kExitCancelled);
  return answer;
}

}  // namespace tarnvel
