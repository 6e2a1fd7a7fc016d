#include "install/save_res_to_disk.h"

#include "install/registrations.h"
#include "install/replace_rule.h"
#include "install/run_log.h"

namespace tarnvel {

namespace {

// Closes the output this call opened on every way out.
class OutputGuard {
 public:
  explicit OutputGuard(Platform& platform) : platform_(platform) {}
  ~OutputGuard() {
    if (open_) platform_.CloseOutput();
  }
  OutputGuard(const OutputGuard&) = delete;
  OutputGuard& operator=(const OutputGuard&) = delete;

  void Opened() { open_ = true; }
  bool Close() {
    open_ = false;
    return platform_.CloseOutput();
  }

 private:
  Platform& platform_;
  bool open_ = false;
};

// Counts and logs the platform's last failure.
SaveOutcome Fail(Platform& platform, std::int16_t& errCount, const std::string& name) {
  if (errCount < INT16_MAX) ++errCount;
  LogLastFailure(platform, name);
  return SaveOutcome::kFailed;
}

}  // namespace

void LogLastFailure(Platform& platform, const std::string& name) {
  const OutputFailure failure = platform.LastOutputFailure();
  platform.Log(log_line::CopyFailed(name, failure, platform.ErrorText(failure.error)));
}

SaveOutcome SaveResToDisk(Platform& platform, std::int16_t& errCount, std::int16_t resNum,
                          const std::string& resType, const std::string& destFileName,
                          std::string* kept) {
  OutputGuard output(platform);
  const auto fail = [&] { return Fail(platform, errCount, resType); };
  std::string keptHere;

  PayloadView payload;
  if (!platform.LoadPayload(resType, resNum, payload)) return fail();
  // Before the open, so a read-only destination can be replaced. Fails when
  // the destination is absent: this never creates a file.
  if (!platform.ResetAttributes(destFileName)) return fail();
  // A nested call arriving through a pump fails here and leaves the outer
  // call's output alone.
  if (!platform.OpenOutput(destFileName)) {
    const OutputFailure refused = platform.LastOutputFailure();
    if (ClassifyRefusal(refused) == RefusedWrite::kFailure) return fail();
    platform.Log(log_line::InUse(resType, refused.error, platform.ErrorText(refused.error)));
    return SaveOutcome::kInUse;
  }
  output.Opened();
  platform.PumpEvents();
  // A hard link made before the replacement: the old file stays whole, the
  // same file, until the new one has registered. Without it the write goes on.
  if (kept != nullptr && !platform.KeepBeside(destFileName, keptHere)) {
    LogLastFailure(platform, log_line::OldFile(resType));
    keptHere.clear();
  }
  bool written = platform.WriteOutput(payload.data, payload.size);
  if (written) {
    platform.PumpEvents();
    written = output.Close();
  }
  if (!written) {
    const SaveOutcome failed = fail();
    // Not written, or not closed: the kept file goes.
    if (!keptHere.empty()) platform.DeleteKept(keptHere);
    return failed;
  }
  platform.Log(log_line::Written(resType));
  if (kept != nullptr) *kept = keptHere;
  return SaveOutcome::kWritten;
}

bool QueueResForRestart(Platform& platform, std::int16_t& errCount, const std::string& name,
                        const std::string& destFileName, const std::string& trueDirectory) {
  const std::string knownPath = trueDirectory + "\\" + name;
  PayloadView payload;
  if (!platform.LoadPayload(name, 1, payload)) {
    Fail(platform, errCount, name);
    return false;
  }
  // Run again before the restart, the copy an earlier run queued is used
  // again: one per component, however often. One with other bytes (another
  // payload's) stays, and the new one is renamed after it.
  std::string queued = platform.QueuedReplacement(knownPath);
  const bool already = !queued.empty() && platform.FileHolds(queued, payload.data, payload.size);
  if ((!already &&
       !platform.ReplaceAtRestart(destFileName, knownPath, payload.data, payload.size, queued)) ||
      !RegisterAtRestart(platform, name, queued, trueDirectory, already)) {
    Fail(platform, errCount, name);
    return false;
  }
  return true;
}

bool RegisterAtRestart(Platform& platform, const std::string& name, const std::string& queued,
                       const std::string& trueDirectory, bool already) {
  const std::string knownPath = trueDirectory + "\\" + name;
  platform.Log(log_line::RenameQueued(name, queued, knownPath, already));
  // One value per component: a second run replaces it instead of adding one.
  const std::string command = RegistrationCommandLine(trueDirectory, knownPath);
  if (!platform.RunAtRestart("Tarnvel " + name, command)) return false;
  platform.Log(log_line::RegistrationQueued(name, command));
  return true;
}

}  // namespace tarnvel
