// The program's one end for an unexpected error: a report, then exit code 3.
#include <cstdlib>
#include <string>

#include "app/command_tail.h"
#include "app/platform.h"
#include "install/run_log.h"

namespace tarnvel {

namespace {
Platform* unexpectedErrorPlatform = nullptr;
}  // namespace

void Platform::ReportUnexpectedError(const char* what) {
  // Set first: building the report can itself fail (out of memory), and the
  // box's own loop runs window handlers that can fail too.
  const bool nested = reportingUnexpectedError_;
  reportingUnexpectedError_ = true;
  if (!nested) Log(log_line::UnexpectedError(what));
  if (!nested && CommandTail() != kSilentTail) {
    ShowMessageBox(std::string("An unexpected error ended the setup:\r\n") + what, "Tarnvel setup",
                   kMbOk | kMbIconError);
  }
  EndProgram(kExitUnexpectedError);
  std::abort();  // EndProgram does not return
}

void SetUnexpectedErrorPlatform(Platform* platform) { unexpectedErrorPlatform = platform; }

void FailUnexpectedly(const char* what) {
  if (unexpectedErrorPlatform != nullptr) unexpectedErrorPlatform->ReportUnexpectedError(what);
  std::_Exit(kExitUnexpectedError);
}

}  // namespace tarnvel
