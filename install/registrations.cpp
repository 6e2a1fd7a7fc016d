#include "install/registrations.h"

#include "install/replace_rule.h"
#include "install/run_log.h"
#include "install/save_res_to_disk.h"

namespace tarnvel {

std::string Registrations::Started::Label() const {
  return oldFile ? log_line::OldFile(name) : name;
}

std::string RegistrationCommandLine(const std::string& systemDirectory, const std::string& target) {
  return "\"" + systemDirectory + "\\regsvr32.exe\" /s \"" + target + "\"";
}

void Registrations::Start(Platform& platform, const std::string& systemDirectory,
                          const std::string& name, const std::string& target,
                          const std::string& kept) {
  systemDirectory_ = systemDirectory;
  Launch(platform, {name, target, kept, false, 0, false});
}

void Registrations::Launch(Platform& platform, Started registration) {
  // The tool is started by its full path: a regsvr32.exe planted beside the
  // setup or in the current folder must never run. The target is quoted.
  const std::string image = systemDirectory_ + "\\regsvr32.exe";
  const std::string commandLine = "regsvr32.exe /s \"" + registration.target + "\"";
  registration.processId = platform.StartProcess(image, commandLine, systemDirectory_);
  if (registration.processId == 0)
    platform.ReportUnexpectedError(("cannot start " + image).c_str());
  platform.Log(log_line::RegistrationStarted(registration.Label(), registration.processId));
  started_.push_back(std::move(registration));
}

void Registrations::Settle(Platform& platform, std::size_t index, bool registered,
                           const std::string& trueDirectory) {
  if (started_[index].kept.empty()) return;
  // Ended: nothing reads this entry again.
  Started again = std::move(started_[index]);
  const std::string kept = std::move(again.kept);
  const std::string& name = again.name;
  if (registered) return platform.DeleteKept(kept);
  // A failed registration of the new file may have half-written the
  // registry: the old file registers again.
  if (platform.PutBack(kept, again.target)) {
    platform.Log(log_line::PutBack(name));
    again.oldFile = true;
    again.ended = false;
    return Launch(platform, std::move(again));
  }
  const OutputFailure refused = platform.LastOutputFailure();
  bool queued = false;
  // A program loaded the new file in between: the restart puts the old one
  // back, as it replaces a component in use.
  if (ClassifyRefusal(refused) == RefusedWrite::kInUse) {
    platform.Log(
        log_line::PutBackAtRestart(name, refused.error, platform.ErrorText(refused.error)));
    std::string queuedAs;
    queued = platform.RenameAtRestart(kept, trueDirectory + "\\" + name, queuedAs);
    if (queued && RegisterAtRestart(platform, name, queuedAs, trueDirectory)) return;
  }
  LogLastFailure(platform, log_line::OldFile(name));
  // Queued, it is the restart's to consume.
  if (!queued) platform.DeleteKept(kept);
}

int Registrations::WaitForAll(Platform& platform, std::uint32_t deadlineMs,
                              const std::string& trueDirectory) {
  if (started_.empty()) return 0;
  platform.Log(log_line::Waiting(started_.size(), deadlineMs));
  const std::uint32_t begin = platform.Milliseconds();
  int failed = 0;
  std::vector<std::uint32_t> running;
  for (;;) {
    platform.PumpEvents();
    running.clear();
    // By index: settling a failure may start one more.
    for (std::size_t i = 0; i < started_.size(); ++i) {
      if (started_[i].ended) continue;
      const std::uint32_t processId = started_[i].processId;
      if (const auto exitCode = platform.ExitCode(processId)) {
        started_[i].ended = true;
        platform.Log(log_line::RegistrationEnded(started_[i].Label(), *exitCode));
        const bool registered = log_line::RegistrationSucceeded(*exitCode);
        if (!registered && !started_[i].oldFile) ++failed;
        Settle(platform, i, registered, trueDirectory);
      } else {
        running.push_back(processId);
      }
    }
    const std::uint32_t elapsed = platform.Milliseconds() - begin;
    if (running.empty() || elapsed >= deadlineMs) break;
    platform.WaitForProcessOrEvent(running, deadlineMs - elapsed);
  }
  for (const Started& registration : started_) {
    if (registration.ended) continue;
    platform.Log(log_line::StillRunning(registration.Label()));
    // That process holds the new file: it stays.
    if (!registration.kept.empty()) platform.DeleteKept(registration.kept);
    if (!registration.oldFile) ++failed;
  }
  return failed;
}

}  // namespace tarnvel
