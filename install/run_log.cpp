#include "install/run_log.h"

namespace tarnvel::log_line {

namespace {

std::string Hex(std::uint32_t value) {
  std::string text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += "0123456789ABCDEF"[(value >> shift) & 0xF];
  return text;
}

// An exception code (a crash) reads better in hexadecimal.
std::string ExitCodeText(std::uint32_t code) { return code < 0x10000 ? Decimal(code) : Hex(code); }

std::string Counted(int count, const char* one, const char* more) {
  return Decimal(static_cast<std::uint32_t>(count)) + " " + (count == 1 ? one : more);
}

const char* StepName(OutputStep step) {
  switch (step) {
    case OutputStep::kLoad:
      return "load and check";
    case OutputStep::kAttributes:
      return "attribute reset";
    case OutputStep::kOpen:
      return "open";
    case OutputStep::kSecurity:
      return "security";
    case OutputStep::kWrite:
      return "write and flush";
    case OutputStep::kRename:
      return "rename";
    case OutputStep::kClose:
      return "close";
  }
  return "?";
}

}  // namespace

std::string Decimal(std::uint32_t value) {
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  std::string text;
  while (count > 0) text += digits[--count];
  return text;
}

bool RegistrationSucceeded(std::uint32_t exitCode) { return exitCode == 0 || exitCode == 4; }

std::string Started(const std::string& version, const std::string& commandTail, bool silent) {
  return "Tarnvel setup " + version + ", command tail \"" + commandTail +
         "\": " + (silent ? "silent run" : "interactive run");
}

std::string RunBegins(bool overwriteWithoutAsking, const std::string& systemDirectory) {
  return std::string("Install: ") +
         (overwriteWithoutAsking ? "overwrite without asking" : "ask before each overwrite") +
         "; system directory \"" + systemDirectory + "\"";
}

std::string Swept(const std::string& path) { return "Deleted a killed run's leftover " + path; }

std::string Absent(const std::string& name) { return name + ": absent"; }

std::string PassedOver(const std::string& name, std::uint32_t attributes) {
  std::string marks;
  const auto add = [&](std::uint32_t mark, const char* word) {
    if ((attributes & mark) != 0) marks += (marks.empty() ? "" : ", ") + std::string(word);
  };
  add(kAttributeHidden, "hidden");
  add(kAttributeSystem, "system");
  add(kAttributeDirectory, "directory");
  return name + ": passed over (" + marks + ")";
}

std::string Asked(const std::string& name, int answer) {
  const char* word = answer == kIdYes ? "Yes" : answer == kIdNo ? "No" : "Cancel";
  return name + ": asked, answered " + word;
}

std::string Written(const std::string& name) { return name + ": written"; }

std::string CopyFailed(const std::string& name, const OutputFailure& failure,
                       const std::string& errorText) {
  return name + ": failed at " + StepName(failure.step) + ", error " + Decimal(failure.error) +
         " (" + errorText + ")";
}

std::string RegistrationStarted(const std::string& name, std::uint32_t processId) {
  return name + ": registration started, process " + Decimal(processId);
}

std::string Waiting(std::size_t registrations, std::uint32_t deadlineMs) {
  return "Waiting for " +
         Counted(static_cast<int>(registrations), "registration", "registrations") + ", " +
         Decimal(deadlineMs / 1000) + " s at most";
}

std::string RegistrationEnded(const std::string& name, std::uint32_t exitCode) {
  const char* meaning = exitCode == 0   ? "registered"
                        : exitCode == 4 ? "not self-registering, nothing to register"
                                        : "failed";
  return name + ": registration exit code " + ExitCodeText(exitCode) + ", " + meaning;
}

std::string StillRunning(const std::string& name) {
  return name + ": registration still running at the deadline, failed (left running)";
}

std::string Cancel(bool confirmed) {
  return confirmed ? "Cancel confirmed: exit code " + Decimal(kExitCancelled)
                   : std::string("Cancel asked, answered No: going on");
}

std::string End(int copiesFailed, int registrationsFailed, int exitCode) {
  return "End: " + Counted(copiesFailed, "copy", "copies") + " failed, " +
         Counted(registrationsFailed, "registration", "registrations") + " failed, exit code " +
         Decimal(static_cast<std::uint32_t>(exitCode));
}

std::string UnexpectedError(const char* what) {
  return std::string("Unexpected error: ") + what + ", exit code " + Decimal(kExitUnexpectedError);
}

}  // namespace tarnvel::log_line
