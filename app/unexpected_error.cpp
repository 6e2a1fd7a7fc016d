// The program's one end for an unexpected error: a report, then exit code 3.
#include <cstdlib>
#include <string>

#include "app/command_tail.h"
#include "app/platform.h"
#include "install/run_log.h"

namespace tarnvel {

namespace {

Platform* unexpectedErrorPlatform = nullptr;

constexpr char kReportTitle[] = "Tarnvel setup";
constexpr unsigned kReportFlags = kMbOk | kMbIconError;

FixedText ReportText(const char* what) {
  FixedText text;
  text.Append("An unexpected error ended the setup:\r\n").Append(what);
  return text;
}

}  // namespace

void Platform::ReportUnexpectedError(const char* what) {
  // Set first: building the report can itself fail (out of memory), and the
  // box's own loop runs window handlers that can fail too.
  const bool nested = reportingUnexpectedError_;
  reportingUnexpectedError_ = true;
  if (!nested) Log(log_line::UnexpectedError(what).Text());
  if (!nested && CommandTail() != kSilentTail)
    ShowMessageBox(ReportText(what).Text(), kReportTitle, kReportFlags);
  EndProgram(kExitUnexpectedError);
  std::abort();  // EndProgram does not return
}

void Platform::ReportFault(std::uint32_t code, std::uint32_t address) {
  // A fault inside a report, this one or the other: nothing more can be
  // trusted to work.
  if (reportingUnexpectedError_) EndAtOnce(kExitUnexpectedError);
  reportingUnexpectedError_ = true;
  FixedText what;
  what.Append("exception ").AppendHex(code).Append(" at ").AppendHex(address);
  LogWithoutHeap(log_line::UnexpectedError(what.Text()).Text());
  if (faultReportShowsBox_)
    ShowMessageBoxWithoutHeap(ReportText(what.Text()).Text(), kReportTitle, kReportFlags);
  EndAtOnce(kExitUnexpectedError);
  std::abort();  // nor does EndAtOnce
}

void Platform::PrepareFaultReport() { faultReportShowsBox_ = CommandTail() != kSilentTail; }

void SetUnexpectedErrorPlatform(Platform* platform) {
  unexpectedErrorPlatform = platform;
  if (platform != nullptr) platform->PrepareFaultReport();
}

void FailUnexpectedly(const char* what) {
  if (unexpectedErrorPlatform != nullptr) unexpectedErrorPlatform->ReportUnexpectedError(what);
  std::_Exit(kExitUnexpectedError);
}

void FailAfterFault(std::uint32_t code, std::uint32_t address) {
  if (unexpectedErrorPlatform != nullptr) unexpectedErrorPlatform->ReportFault(code, address);
  std::_Exit(kExitUnexpectedError);
}

}  // namespace tarnvel
