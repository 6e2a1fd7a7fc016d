// What the user reads on setup.exe's windows and boxes, word for word,
// typos included.
#pragma once

#include <string>

namespace tarnvel::e2e {

constexpr char kWelcomeTitle[] = "Welcome to Tarnvel Installation setup";
constexpr char kInstallationTitle[] = "Tarnvel Vivi-Installation Setup";
constexpr char kCancelTitle[] = "Are you Sure?";
constexpr char kCancelPrompt[] = "Are you sure. You want to cancel setup?";
constexpr char kReplaceTitle[] = "Confirm File Replace";
constexpr char kFinishTitle[] = "Installation Finish";
constexpr char kFinishPrompt[] = "Installed sucessfully.";

constexpr char kNextText[] = "Next >>";
constexpr char kCancelText[] = "Cancel";
constexpr char kInstallText[] = "Install";
constexpr char kFrameText[] = "On file exist";
constexpr char kOverwriteText[] = "Over write the files.";
constexpr char kAskText[] = "Ask me before over write.";

inline std::string ReplacePrompt(const std::string& name) {
  return "The file\"" + name + "\" already exist.\r\nDo you want to replace it?";
}

}  // namespace tarnvel::e2e
