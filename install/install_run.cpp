// The install run: one forward pass over the manifest that writes and
// registers each component already present in the system directory, unless
// what is there is newer, the same version or the same bytes, or belongs to
// Windows.
#include <cstdlib>
#include <string>

#include "app/command_tail.h"
#include "install/image_version.h"
#include "install/replace_rule.h"
#include "install/run_log.h"
#include "ui/frm_instllation.h"

namespace tarnvel {

void FrmInstllation::SystemDir() {
  SysDirPath = platform_.SystemDirectory();
  const std::string redirectedTo = platform_.Wow64SystemDirectory();
  SysDirTruePath = redirectedTo.empty() ? SysDirPath : redirectedTo;
}

TargetOutcome FrmInstllation::LookAtTarget(const std::string& name, const std::string& target,
                                           TargetFound& found) {
  // File protection does not follow the redirection of a 32-bit program's
  // system directory: it is asked by the path Windows knows the file by.
  const std::string known = SysDirTruePath + "\\" + name;
  const FileProtection protection = platform_.FileProtected(known);
  found.protectedBySystem = protection.isProtected;
  // Nothing counts as protected then; said once.
  if (protection.asked != FileProtection::Asked::kAnswered && !fileProtectionMissing_) {
    fileProtectionMissing_ = true;
    platform_.Log(log_line::NoFileProtection(protection));
  }
  found.installedVersion = platform_.FileVersion(target);
  // A payload that cannot be loaded has no version here, nor bytes the
  // target could hold; the write that follows fails on it and counts it.
  PayloadView payload;
  const bool loaded = platform_.LoadPayload(name, 1, payload);
  if (loaded) found.payloadVersion = ImageFileVersion(payload.data, payload.size);
  return DecideTarget(
      found, [&] { return loaded && platform_.FileHolds(target, payload.data, payload.size); });
}

void FrmInstllation::PlaceTarget(const std::string& name, const std::string& target,
                                 bool pumpBeforeRegistering) {
  // The old file stays beside the new one until the new one has registered.
  std::string kept;
  switch (SaveResToDisk(1, name, target, &kept)) {
    case SaveOutcome::kWritten:
      if (pumpBeforeRegistering) platform_.PumpEvents();
      registrations_.Start(platform_, SysDirPath, name, target, kept);
      break;
    case SaveOutcome::kInUse:
      // Replaced and registered by the restart's 64-bit code, which names
      // the folder by its true path.
      if (QueueResForRestart(platform_, ErrCount, name, target, SysDirTruePath) &&
          RestartCount < INT16_MAX)
        ++RestartCount;
      break;
    case SaveOutcome::kFailed:
      break;
  }
}

void FrmInstllation::WriteTarget(const std::string& name, const std::string& target) {
  if (OptOverWrite.Value()) {
    PlaceTarget(name, target, false);
    return;
  }
  const int answer = platform_.ShowMessageBox(
      "The file\"" + name + "\" already exist.\r\nDo you want to replace it?",
      "Confirm File Replace", kMbYesNoCancel | kMbIconExclamation);
  platform_.Log(log_line::Asked(name, answer));
  if (answer == kIdYes) {
    PlaceTarget(name, target, true);
  } else if (answer == kIdCancel) {
    cmdCanel_Click();  // returns on No: this component stays untouched
  }
}

void FrmInstllation::InstallNow() {
  runActive_ = true;
  platform_.Log(log_line::RunBegins(OptOverWrite.Value(), SysDirPath));
  // Leftovers of killed runs go before the first component is looked at.
  if (!SysDirPath.empty()) {
    for (const std::string& swept : platform_.SweepTemporaryFiles(SysDirPath))
      platform_.Log(log_line::Swept(swept));
  }
  for (std::int16_t k = 1; k <= FileCount; ++k) {
    platform_.PumpEvents();
    const std::string name = lstInsFiles.List(k - 1);
    const std::string target = SysDirPath + "\\" + name;
    lblFileName.SetCaption("Copying " + name);

    // One look at the target gives both its presence and, for the log, why
    // it is passed over. Without a system directory nothing counts as
    // present: the target path would otherwise point into a drive's root.
    const auto attributes = SysDirPath.empty() ? std::nullopt : platform_.FileAttributes(target);
    if (PresentFileName(target, attributes).empty()) {
      platform_.Log(attributes ? log_line::PassedOver(name, *attributes) : log_line::Absent(name));
    } else {
      TargetFound found;
      const TargetOutcome outcome = LookAtTarget(name, target, found);
      switch (outcome) {
        case TargetOutcome::kProtected:
          platform_.Log(log_line::Protected(name, found.installedVersion, found.payloadVersion));
          break;
        case TargetOutcome::kKeepNewer:
        case TargetOutcome::kKeepSame:
        case TargetOutcome::kKeepSameBytes:
          // Made usable as it is, never downgraded nor written again.
          platform_.Log(outcome == TargetOutcome::kKeepSameBytes
                            ? log_line::KeptSameBytes(name)
                            : log_line::Kept(name, *found.installedVersion, *found.payloadVersion));
          registrations_.Start(platform_, SysDirPath, name, target);
          break;
        case TargetOutcome::kWrite:
          if (found.installedVersion && found.payloadVersion)
            platform_.Log(log_line::Older(name, *found.installedVersion, *found.payloadVersion));
          WriteTarget(name, target);
          break;
      }
    }

    std::int32_t currVal = k;
    std::int32_t maxVal = FileCount;
    Progress(ShpBar, ShpFrame, shpBack, currVal, maxVal);
    if (ErrCount != 0) {
      lblErr.SetCaption("Unable to copy " + std::to_string(ErrCount) + " files.");
    }
    platform_.PumpEvents();
    lblErr.Refresh();
  }

  // A component that did not register is a failure like one not written,
  // though only copies count on the failure line.
  const int registrationsFailed =
      registrations_.WaitForAll(platform_, kRegistrationDeadlineMs, SysDirTruePath);
  const bool failed = ErrCount > 0 || registrationsFailed > 0;
  const std::string tail = platform_.CommandTail();
  // The setup never restarts Windows itself: it says what waits for one.
  if (RestartCount > 0 && tail != kSilentTail) {
    platform_.ShowMessageBox(std::to_string(RestartCount) +
                                 (RestartCount == 1 ? " file" : " files") +
                                 " in use will be replaced when Windows restarts.",
                             "Installation Finish", kMbOk | kMbIconInformation);
  } else if (tail.empty() && !failed) {
    platform_.ShowMessageBox("Installed sucessfully.", "Installation Finish",
                             kMbOk | kMbIconInformation);
  }
  const int exitCode = failed             ? kExitFailures
                       : RestartCount > 0 ? kExitRestartRequired
                                          : kExitSuccess;
  platform_.Log(log_line::End(ErrCount, registrationsFailed, RestartCount, exitCode));
  platform_.EndProgram(exitCode);
  std::abort();  // EndProgram does not return
}

}  // namespace tarnvel
