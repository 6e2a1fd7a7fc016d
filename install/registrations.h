// The registrations a run starts, and the wait for them at its end: a
// component that did not register must not end in a success.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/platform.h"

namespace tarnvel {

// How long the run waits for all its registrations together, from the end of
// its pass over the manifest.
constexpr std::uint32_t kRegistrationDeadlineMs = 60 * 1000;

// The command that registers `target` after the next restart, when no
// current folder or search path can be trusted: the system's regsvr32.exe in
// `systemDirectory` by its full path, quoted, and the target quoted.
std::string RegistrationCommandLine(const std::string& systemDirectory, const std::string& target);

class Registrations {
 public:
  // Starts "regsvr32.exe /s" for `target`, hidden and not waited for, by the
  // tool's full path in `systemDirectory`. A tool that cannot be started is
  // an unexpected error. `kept`, where given, is the target's old file kept
  // beside it (SaveResToDisk): deleted once the target registered, put back
  // and registered again when it failed.
  void Start(Platform& platform, const std::string& systemDirectory, const std::string& name,
             const std::string& target, const std::string& kept = "");

  // Waits until every registration started has ended or `deadlineMs` has
  // passed, pumping window events meanwhile so that the window stays live and
  // Cancel works. Gives the number that failed: an exit code other than 0 or
  // 4, or still running at the deadline (then left running, and its old file
  // not put back). A put back that waits for the restart names the system
  // directory by `trueDirectory`, as the restart knows it.
  int WaitForAll(Platform& platform, std::uint32_t deadlineMs, const std::string& trueDirectory);

 private:
  struct Started {
    std::string name, target, kept;
    bool oldFile;  // the put-back old file's registration: its outcome counts no more
    std::uint32_t processId;
    bool ended;
    std::string Label() const;  // how the log names it
  };
  void Launch(Platform& platform, Started registration);
  // After the registration ended, settles what its target's old file becomes.
  void Settle(Platform& platform, std::size_t index, bool registered,
              const std::string& trueDirectory);

  std::string systemDirectory_;
  std::vector<Started> started_;
};

}  // namespace tarnvel
