#include "install/registrations.h"

#include "install/run_log.h"

namespace tarnvel {

std::string RegistrationCommandLine(const std::string& systemDirectory, const std::string& target) {
  return "\"" + systemDirectory + "\\regsvr32.exe\" /s \"" + target + "\"";
}

void Registrations::Start(Platform& platform, const std::string& systemDirectory,
                          const std::string& name, const std::string& target) {
  // The tool is started by its full path: a regsvr32.exe planted beside the
  // setup or in the current folder must never run. The target is quoted.
  const std::string image = systemDirectory + "\\regsvr32.exe";
  const std::string commandLine = "regsvr32.exe /s \"" + target + "\"";
  const std::uint32_t processId = platform.StartProcess(image, commandLine, systemDirectory);
  if (processId == 0) platform.ReportUnexpectedError(("cannot start " + image).c_str());
  platform.Log(log_line::RegistrationStarted(name, processId));
  started_.push_back({name, processId, false});
}

int Registrations::WaitForAll(Platform& platform, std::uint32_t deadlineMs) {
  if (started_.empty()) return 0;
  platform.Log(log_line::Waiting(started_.size(), deadlineMs));
  const std::uint32_t begin = platform.Milliseconds();
  int failed = 0;
  std::vector<std::uint32_t> running;
  for (;;) {
    platform.PumpEvents();
    running.clear();
    for (Started& registration : started_) {
      if (registration.ended) continue;
      if (const auto exitCode = platform.ExitCode(registration.processId)) {
        registration.ended = true;
        platform.Log(log_line::RegistrationEnded(registration.name, *exitCode));
        if (!log_line::RegistrationSucceeded(*exitCode)) ++failed;
      } else {
        running.push_back(registration.processId);
      }
    }
    const std::uint32_t elapsed = platform.Milliseconds() - begin;
    if (running.empty() || elapsed >= deadlineMs) break;
    platform.WaitForProcessOrEvent(running, deadlineMs - elapsed);
  }
  for (const Started& registration : started_) {
    if (registration.ended) continue;
    platform.Log(log_line::StillRunning(registration.name));
    ++failed;
  }
  return failed;
}

}  // namespace tarnvel
