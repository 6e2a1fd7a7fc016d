// The install run: one forward pass over the manifest that writes and
// registers each component already present in the system directory.
#include <cstdlib>
#include <string>

#include "ui/frm_instllation.h"

namespace tarnvel {

void FrmInstllation::SystemDir() { SysDirPath = platform_.SystemDirectory(); }

void FrmInstllation::Register(const std::string& target) {
  // The tool is started by its full path: a regsvr32.exe planted beside the
  // setup or in the current folder must never run. The target is quoted.
  const std::string image = SysDirPath + "\\regsvr32.exe";
  const std::string commandLine = "regsvr32.exe /s \"" + target + "\"";
  if (!platform_.StartProcess(image, commandLine, SysDirPath)) {
    platform_.ReportUnexpectedError(("cannot start " + image).c_str());
  }
}

void FrmInstllation::InstallNow() {
  runActive_ = true;
  // Leftovers of killed runs go before the first component is looked at.
  if (!SysDirPath.empty()) platform_.SweepTemporaryFiles(SysDirPath);
  for (std::int16_t k = 1; k <= FileCount; ++k) {
    platform_.PumpEvents();
    const std::string name = lstInsFiles.List(k - 1);
    const std::string target = SysDirPath + "\\" + name;
    lblFileName.SetCaption("Copying " + name);

    // Without a system directory nothing counts as present: the target path
    // would otherwise point into a drive's root.
    const bool present = !SysDirPath.empty() && !platform_.FilePresence(target).empty();
    if (present) {
      if (OptOverWrite.Value()) {
        if (SaveResToDisk(1, name, target)) Register(target);
      } else {
        const int answer = platform_.ShowMessageBox(
            "The file\"" + name + "\" already exist.\r\nDo you want to replace it?",
            "Confirm File Replace", kMbYesNoCancel | kMbIconExclamation);
        if (answer == kIdYes) {
          if (SaveResToDisk(1, name, target)) {
            platform_.PumpEvents();
            Register(target);
          }
        } else if (answer == kIdCancel) {
          cmdCanel_Click();  // returns on No: this component stays untouched
        }
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

  if (platform_.CommandTail().empty() && ErrCount == 0) {
    platform_.ShowMessageBox("Installed sucessfully.", "Installation Finish",
                             kMbOk | kMbIconInformation);
  }
  platform_.EndProgram(ErrCount > 0 ? kExitFailures : kExitSuccess);
  std::abort();  // EndProgram does not return
}

}  // namespace tarnvel
