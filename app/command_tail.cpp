#include "app/command_tail.h"

#include <cstdlib>

#include "app/platform.h"
#include "install/run_log.h"

namespace tarnvel {

std::string CommandTailOf(const std::string& commandLine) {
  std::size_t pos = 0;
  const std::size_t n = commandLine.size();
  if (n > 0 && commandLine[0] == '"') {
    pos = commandLine.find('"', 1);
    pos = (pos == std::string::npos) ? n : pos + 1;
  } else {
    while (pos < n && commandLine[pos] != ' ') ++pos;
  }
  while (pos < n && commandLine[pos] == ' ') ++pos;
  return commandLine.substr(pos);
}

std::string Platform::CommandTail() { return CommandTailOf(CommandLine()); }

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
    MessageBox(std::string("An unexpected error ended the setup:\r\n") + what, "Tarnvel setup",
               kMbOk | 0x10 /* MB_ICONERROR */);
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
