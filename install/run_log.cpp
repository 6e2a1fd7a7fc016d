#include "install/run_log.h"

#include "app/number_text.h"
#include "install/image_version.h"

namespace tarnvel::log_line {

namespace {

std::string Hex(std::uint32_t value) { return FixedText().AppendHex(value).Text(); }

// An exception code (a crash) reads better in hexadecimal.
std::string ExitCodeText(std::uint32_t code) {
  return code < 0x10000 ? NumberText(code) : Hex(code);
}

std::string Counted(int count, const char* one, const char* more) {
  return NumberText(static_cast<std::uint32_t>(count)) + " " + (count == 1 ? one : more);
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
    case OutputStep::kQueueRename:
      return "queueing the rename for the restart";
    case OutputStep::kQueueRegistration:
      return "queueing the registration for the restart";
    case OutputStep::kKeep:
      return "keeping it beside the new file";
  }
  return "?";
}

}  // namespace

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

std::string Protected(const std::string& name, std::optional<std::uint64_t> installed,
                      std::optional<std::uint64_t> payload) {
  const auto version = [](std::optional<std::uint64_t> v) {
    return v ? VersionText(*v) : std::string("without a version");
  };
  return name + ": passed over, protected by Windows (installed " + version(installed) +
         ", payload " + version(payload) + ")";
}

std::string Kept(const std::string& name, std::uint64_t installed, std::uint64_t payload) {
  return name + ": kept, installed " + VersionText(installed) +
         (installed > payload ? " is newer than " : " is the same as ") + VersionText(payload);
}

std::string KeptSameBytes(const std::string& name) {
  return name + ": kept, same bytes as the payload";
}

std::string Older(const std::string& name, std::uint64_t installed, std::uint64_t payload) {
  return name + ": installed " + VersionText(installed) + " is older than " + VersionText(payload);
}

std::string NoFileProtection(const FileProtection& protection) {
  const std::string why = protection.asked == FileProtection::Asked::kNoFunction
                              ? protection.library + " has no SfcIsFileProtected"
                              : std::string("no sfc.dll");
  return "Windows cannot be asked which files it protects (" + why + "): none counts as protected";
}

std::string Asked(const std::string& name, int answer) {
  const char* word = answer == kIdYes ? "Yes" : answer == kIdNo ? "No" : "Cancel";
  return name + ": asked, answered " + word;
}

std::string Written(const std::string& name) { return name + ": written"; }

std::string InUse(const std::string& name, std::uint32_t error, const std::string& errorText) {
  return name + ": in use (error " + NumberText(error) + ", " + errorText +
         "), to be replaced at the next restart";
}

std::string RenameQueued(const std::string& name, const std::string& from, const std::string& to,
                         bool already) {
  return name + (already ? ": rename already queued" : ": rename queued") + " for the restart, " +
         from + " over " + to;
}

std::string RegistrationQueued(const std::string& name, const std::string& commandLine) {
  // Windows runs HKLM's RunOnce at an interactive logon, for a user who may
  // delete the value: not at the restart itself.
  return name + ": registration queued for the first administrator's logon after the restart, " +
         commandLine;
}

std::string CopyFailed(const std::string& name, const OutputFailure& failure,
                       const std::string& errorText) {
  return name + ": failed at " + StepName(failure.step) + ", error " + NumberText(failure.error) +
         " (" + errorText + ")";
}

std::string RegistrationStarted(const std::string& name, std::uint32_t processId) {
  return name + ": registration started, process " + NumberText(processId);
}

std::string Waiting(std::size_t registrations, std::uint32_t deadlineMs) {
  return "Waiting for " +
         Counted(static_cast<int>(registrations), "registration", "registrations") + ", " +
         NumberText(deadlineMs / 1000) + " s at most";
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

std::string OldFile(const std::string& name) { return name + " (old file)"; }

std::string PutBack(const std::string& name) {
  return name + ": registration failed, old file put back";
}

std::string PutBackAtRestart(const std::string& name, std::uint32_t error,
                             const std::string& errorText) {
  return PutBack(name) + " at the next restart, the new file in use (error " + NumberText(error) +
         ", " + errorText + ")";
}

std::string Cancel(bool confirmed) {
  return confirmed ? "Cancel confirmed: exit code " + NumberText(kExitCancelled)
                   : std::string("Cancel asked, answered No: going on");
}

std::string End(int copiesFailed, int registrationsFailed, int waitingForRestart, int exitCode) {
  std::string line = "End: " + Counted(copiesFailed, "copy", "copies") + " failed, " +
                     Counted(registrationsFailed, "registration", "registrations") + " failed, ";
  if (waitingForRestart > 0)
    line +=
        NumberText(static_cast<std::uint32_t>(waitingForRestart)) + " waiting for the restart, ";
  return line + "exit code " + NumberText(static_cast<std::uint32_t>(exitCode));
}

std::string AnotherSetupRunning() {
  return "Another copy of the setup is running: nothing done, exit code " +
         NumberText(kExitAnotherSetupRunning);
}

std::string NoVisibleDesktop() {
  return "No visible desktop (a service, or a task run with no user logged on): nothing done; "
         "run setup.exe /s to install without windows, exit code " +
         NumberText(kExitNoVisibleDesktop);
}

FixedText UnexpectedError(const char* what) {
  FixedText line;
  line.Append("Unexpected error: ").Append(what).Append(", exit code ");
  line.AppendNumber(kExitUnexpectedError);
  return line;
}

}  // namespace tarnvel::log_line
