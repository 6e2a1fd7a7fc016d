#include "install/save_res_to_disk.h"

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

}  // namespace

bool SaveResToDisk(Platform& platform, std::int16_t& errCount, std::int16_t resNum,
                   const std::string& resType, const std::string& destFileName) {
  OutputGuard output(platform);
  const auto fail = [&] {
    if (errCount < INT16_MAX) ++errCount;
    const OutputFailure failure = platform.LastOutputFailure();
    platform.Log(log_line::CopyFailed(resType, failure, platform.ErrorText(failure.error)));
    return false;
  };

  PayloadView payload;
  if (!platform.LoadPayload(resType, resNum, payload)) return fail();
  // Before the open, so a read-only destination can be replaced. Fails when
  // the destination is absent: this never creates a file.
  if (!platform.ResetAttributes(destFileName)) return fail();
  // A nested call arriving through a pump fails here and leaves the outer
  // call's output alone.
  if (!platform.OpenOutput(destFileName)) return fail();
  output.Opened();
  platform.PumpEvents();
  if (!platform.WriteOutput(payload.data, payload.size)) return fail();
  platform.PumpEvents();
  if (!output.Close()) return fail();
  platform.Log(log_line::Written(resType));
  return true;
}

}  // namespace tarnvel
