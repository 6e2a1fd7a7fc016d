// The real setup.exe under Wine, driven from outside as a user or a
// deployment tool drives it. A start is slow under emulation, so each test is
// one run of setup.exe and checks everything that run shows.
#include <cmath>
#include <map>
#include <optional>
#include <set>

#include "app/win32_handles.h"
#include "e2e_support.h"

namespace tarnvel::test {
namespace {

constexpr DWORD kMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// What each target holds before the silent run, and what the run makes of
// it: older copies without a version are written, and so is an older
// version; a newer or the same version is kept, and registered all the same.
const struct {
  const char* name;
  DWORD attributes;
  DWORD versionMs, versionLs;  // 0, 0: an older copy without a version
  bool replaced, registered;
} kSilentTargets[] = {
    {"agentctl.dll", 0, 0, 0, true, true},
    {"PICCLP32.OCX", FILE_ATTRIBUTE_HIDDEN, 0, 0, false, false},
    {"MSCOMCTL.OCX", 0, MAKELONG(99, 6), 0, false, true},                // 6.99.0.0 > 6.1.95.45
    {"MSCOMM32.OCX", 0, MAKELONG(0, 6), MAKELONG(1, 81), true, true},    // 6.0.81.1 < 6.0.81.69
    {"MSFLXGRD.OCX", 0, MAKELONG(0, 6), MAKELONG(69, 81), false, true},  // the same
};

// Run twice, each time as its debugger, which sees every library it loads:
// the windowing libraries and advapi32 are for an interactive run, and a
// silent one loads none of them, so it shows nothing and needs no display.
// The second run, on a machine now up to date, writes nothing; it also finds
// no file protection to ask, for an empty override disables Wine's sfc.dll.
// Wine's own DLLs stay untouched, and the prefix still runs programs on them.
TEST(SilentRun, WritesOnlyOlderTargetsRegistersWrittenAndKeptLoadsNoWindowingLeavesNothing) {
  Targets targets;
  std::map<std::string, std::string> placed;
  for (const auto& t : kSilentTargets) {
    placed[t.name] =
        t.versionMs ? WithVersion(Payload(t.name), t.versionMs, t.versionLs) : OlderCopy(t.name);
    targets.Place(t.name, placed[t.name], t.attributes);
  }
  std::map<std::string, std::optional<std::string>> before;  // absent ones and Wine's own
  for (const Component& component : kManifest)
    if (!placed.count(component.name)) before[component.name] = ReadWhole(Target(component.name));
  const std::string logs = NewFolder("tarnvel_silent_log");
  constexpr char kOverrides[] = "Software\\Wine\\DllOverrides";
  for (const int round : {1, 2}) {
    SCOPED_TRACE(round);
    if (round == 2) ::RegSetKeyValueA(HKEY_CURRENT_USER, kOverrides, "sfc", REG_SZ, "", 1);
    const Traced run = RunTracingLibraries(kSetupExe, "/s", "", logs);
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kOverrides, "sfc");
    EXPECT_EQ(run.exitCode, std::optional<DWORD>(0));
    EXPECT_EQ(run.libraries.count("kernel32.dll"), 1u) << "the libraries it loads are not seen";
    for (const char* library : {"user32.dll", "gdi32.dll", "advapi32.dll"})
      EXPECT_EQ(run.libraries.count(library), 0u) << library;
  }
  WaitUntil("the targets to be registered", [&] {
    for (const auto& t : kSilentTargets)
      if (t.registered && !Registered(t.name)) return false;
    return true;
  });
  for (const auto& t : kSilentTargets) {
    SCOPED_TRACE(t.name);
    EXPECT_TRUE(ReadWhole(Target(t.name)) == (t.replaced ? Payload(t.name) : placed[t.name]))
        << (t.replaced ? "not the payload" : "changed");
    EXPECT_EQ(Registered(t.name), t.registered);
    EXPECT_EQ(Attributes(Target(t.name)) & kMarks, t.replaced ? 0 : t.attributes);
  }
  for (const auto& [name, bytes] : before)
    EXPECT_TRUE(ReadWhole(Target(name)) == bytes) << name << " was absent or Wine's own";
  EXPECT_EQ(Matching(SystemDirectory(), "~tvl*"), std::vector<std::string>{});
  // What each target met, and that the second run wrote nothing.
  const std::vector<std::string> log = LogTexts(logs);
  ASSERT_EQ(log.size(), 2u);
  ExpectLines(
      log[0],
      {" Tarnvel setup 1.0.0.0, command tail \"/s\": silent run\r\n", "agentctl.dll: written",
       "agentctl.dll: registration exit code 0, registered", "PICCLP32.OCX: passed over (hidden)",
       "MSCOMCTL.OCX: kept, installed 6.99.0.0 is newer than 6.1.95.45\r\n",
       "MSCOMM32.OCX: installed 6.0.81.1 is older than 6.0.81.69\r\n", "MSCOMM32.OCX: written\r\n",
       "MSFLXGRD.OCX: kept, installed 6.0.81.69 is the same as 6.0.81.69\r\n",
       "oleaut32.dll: kept, installed ", "olepro32.dll: passed over (system)",
       // Wine's own, with nothing to register: a real exit code other than 0.
       "shlwapi.dll: registration exit code 4, not self-registering",
       "End: 0 copies failed, 0 registrations failed, exit code 0\r\n"});
  const std::string noSfc = "Windows cannot be asked which files it protects (no sfc.dll)";
  EXPECT_EQ(log[0].find(noSfc), std::string::npos) << log[0];
  ExpectLines(log[1], {noSfc});
  EXPECT_EQ(log[1].find(": written"), std::string::npos) << log[1];
  EXPECT_EQ(Process(SystemDirectory() + "\\cmd.exe", "/c exit 7").Exit(), 7u);
}

constexpr char kWelcome[] = "Welcome to Tarnvel Installation setup";
constexpr char kInstallation[] = "Tarnvel Vivi-Installation Setup";
constexpr char kCancelTitle[] = "Are you Sure?";
constexpr char kCancelPrompt[] = "Are you sure. You want to cancel setup?";
constexpr std::uint32_t kGreen = 0x00FF00;
constexpr std::uint32_t kWhite = 0xFFFFFF;

std::string ReplacePrompt(const std::string& name) {
  return "The file\"" + name + "\" already exist.\r\nDo you want to replace it?";
}

// Puts the box, which holds the run while the bar is read, in the screen's
// bottom-right corner, clear of the window.
bool MoveAside(HWND box) {
  RECT r;
  return box && ::GetWindowRect(box, &r) &&
         ::SetWindowPos(box, nullptr, ::GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left),
                        ::GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top), 0, 0,
                        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The bar's middle row once it shows `entries` of 28 done: its green fill
// inside a 1-pixel border, over the white background (80, 152, 321 x 17 at
// 96 DPI).
int BarFill(int entries) {
  return int(std::lround(std::nearbyint(4815.0 * entries / 28) / 15)) - 2;
}
Pixels BarRow(HWND installation, int entries) {
  const std::string what = "the bar's middle row to show " + std::to_string(entries) +
                           " of 28 entries done, " + std::to_string(BarFill(entries)) + " green";
  const Pixels row = WaitForPainted(
      installation, {80, 160, 401, 161}, what,
      [&](const Pixels& row) { return std::abs(row.Count(kGreen) - BarFill(entries)) <= 1; });
  EXPECT_NEAR(row.Count(kGreen), BarFill(entries), 1) << what;
  return row;
}

// The process's next message box, which says `text` under `title`.
MessageBoxShown NextBox(const Process& setup, const std::string& title, const std::string& text) {
  const MessageBoxShown shown = WaitForMessageBox(setup);
  EXPECT_EQ(shown.title, title);
  EXPECT_EQ(shown.text, text);
  return shown;
}

TEST(GuiRun, CloseBoxAnsweredNoThenAskModeShowsEachQuestionOverTheGrownBarToTheFinish) {
  Targets targets;
  targets.Place("MSCOMCTL.OCX");  // entry 12: Yes
  targets.Place("SYSINFO.OCX");   // entry 25: Cancel, then No
  // Run to its end with DLLs under system names beside it and in its folder.
  const std::string setupExe = PlantedSetup("tarnvel_gui_planted");
  Process setup(setupExe, "", setupExe.substr(0, setupExe.rfind('\\')));
  // The welcome window's close box asks, and No keeps it; then Next >>: the
  // installation window takes its place.
  const HWND welcome = WaitForWindow(setup, kWelcome);
  ASSERT_NE(welcome, nullptr);
  ::PostMessageA(welcome, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(Answer(NextBox(setup, kCancelTitle, kCancelPrompt), IDNO));
  RECT welcomeRect, installationRect;
  ::GetWindowRect(welcome, &welcomeRect);
  Click(ButtonOf(welcome, "Next >>"));
  const HWND installation = WaitForWindow(setup, kInstallation);
  ASSERT_NE(installation, nullptr);
  EXPECT_TRUE(WaitUntil("the welcome window to hide", [&] { return !::IsWindowVisible(welcome); }));
  ::GetWindowRect(installation, &installationRect);
  EXPECT_TRUE(::EqualRect(&welcomeRect, &installationRect)) << "not at the welcome window's place";
  const HWND ask = ButtonOf(installation, "Ask me before over write.");
  Click(ask);
  ASSERT_TRUE(WaitUntil("the ask option to be checked", [&] {
    DWORD_PTR state = 0;
    return ::SendMessageTimeoutA(ask, BM_GETCHECK, 0, 0, SMTO_NORMAL, DeadlineMs(), &state) &&
           state == BST_CHECKED;
  }));
  Click(ButtonOf(installation, "Install"));

  MessageBoxShown shown = NextBox(setup, "Confirm File Replace", ReplacePrompt("MSCOMCTL.OCX"));
  ASSERT_TRUE(MoveAside(shown.box));
  EXPECT_GT(BarRow(installation, 11).Count(kWhite), 100) << "the background beside the bar";
  ASSERT_TRUE(Answer(shown, IDYES));  // each box comes only after the last one's answer

  ASSERT_TRUE(
      Answer(NextBox(setup, "Confirm File Replace", ReplacePrompt("SYSINFO.OCX")), IDCANCEL));
  ASSERT_TRUE(Answer(NextBox(setup, kCancelTitle, kCancelPrompt), IDNO));
  shown = NextBox(setup, "Installation Finish", "Installed sucessfully.");
  ASSERT_TRUE(MoveAside(shown.box));
  EXPECT_EQ(BarRow(installation, 28).Count(kWhite), 0) << "the full bar";
  ASSERT_TRUE(Answer(shown, IDOK));
  EXPECT_EQ(setup.Exit(), 0u);
  EXPECT_TRUE(ReadWhole(Target("MSCOMCTL.OCX")) == Payload("MSCOMCTL.OCX")) << "Yes writes it";
  EXPECT_TRUE(ReadWhole(Target("SYSINFO.OCX")) == OlderCopy("SYSINFO.OCX")) << "Cancel leaves it";
  EXPECT_TRUE(
      WaitUntil("MSCOMCTL.OCX to be registered", [] { return Registered("MSCOMCTL.OCX"); }));
  EXPECT_EQ(Matching(PlantMarks(), "*"), std::vector<std::string>{}) << "planted, and loaded";
}

// Every entry of a resource type with a name, as "TYPE/id/language".
BOOL CALLBACK AddEntry(HMODULE, LPCSTR type, LPCSTR id, WORD language, LONG_PTR entries) {
  reinterpret_cast<std::set<std::string>*>(entries)->insert(
      std::string(type) + "/" + (IS_INTRESOURCE(id) ? std::to_string(ULONG_PTR(id)) : id) + "/" +
      std::to_string(language));
  return TRUE;
}
BOOL CALLBACK AddEntriesOfName(HMODULE module, LPCSTR type, LPSTR id, LONG_PTR entries) {
  return ::EnumResourceLanguagesA(module, type, id, AddEntry, entries);
}
BOOL CALLBACK AddEntriesOfType(HMODULE module, LPSTR type, LONG_PTR entries) {
  return IS_INTRESOURCE(type) || ::EnumResourceNamesA(module, type, AddEntriesOfName, entries);
}

// Release builds: these need the payload checksums and the signing script.
// The signed copy holds the program's icon, group 1 with the one image 30001,
// and each component under its upper-case name as the type, id 1 in language
// 1033 only, byte for byte as its file, and no other type with a name. It
// runs as any other: a payload damaged after the build is refused, the others
// written and registered.
TEST(ReleaseCopy, SignedCopyHoldsTheIconAndEveryPayloadAsItsFileAndRefusesOneDamaged) {
  const Unique<HMODULE, &::FreeLibrary> module(
      ::LoadLibraryExA(BuildPath(TARNVEL_SIGNED_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(module);
  const HRSRC group = ::FindResourceA(module.Get(), MAKEINTRESOURCEA(1), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  const auto* icon =
      static_cast<const std::uint8_t*>(::LockResource(::LoadResource(module.Get(), group)));
  EXPECT_EQ(::SizeofResource(module.Get(), group), 6u + 14u);  // a header and one entry
  EXPECT_EQ(icon[18] | icon[19] << 8, 30001);
  EXPECT_NE(::FindResourceA(module.Get(), MAKEINTRESOURCEA(30001), RT_ICON), nullptr);
  std::set<std::string> entries, expected;
  ::EnumResourceTypesA(module.Get(), AddEntriesOfType, reinterpret_cast<LONG_PTR>(&entries));
  for (const Component& component : kManifest) {
    std::string type = component.name;
    ::CharUpperBuffA(&type[0], DWORD(type.size()));
    expected.insert(type + "/1/1033");
    const HRSRC found = ::FindResourceExA(module.Get(), type.c_str(), MAKEINTRESOURCEA(1), 1033);
    const auto* data =
        static_cast<const char*>(::LockResource(::LoadResource(module.Get(), found)));
    EXPECT_TRUE(data &&
                std::string(data, ::SizeofResource(module.Get(), found)) == Payload(component.name))
        << type;
  }
  EXPECT_EQ(entries, expected);

  // One byte flipped in the middle of a payload, stored as its file is.
  const std::string damaged = "MSFLXGRD.OCX", payload = Payload(damaged);
  std::string exe = ReadWhole(BuildPath(TARNVEL_SIGNED_EXE)).value_or("");
  const std::size_t offset = exe.find(payload);
  ASSERT_NE(offset, std::string::npos) << "no payload " << damaged;
  exe[offset + payload.size() / 2] ^= 0x20;
  const std::string copy = NewFolder("tarnvel_damaged") + "\\setup.exe";
  ASSERT_TRUE(WriteWhole(copy, exe));

  Targets targets;
  targets.Place(damaged);
  targets.Place("RICHTX32.OCX");
  Process setup(copy, "/s");
  EXPECT_EQ(setup.Exit(), 1u);
  EXPECT_TRUE(ReadWhole(Target(damaged)) == OlderCopy(damaged))
      << "the damaged payload was written";
  EXPECT_TRUE(ReadWhole(Target("RICHTX32.OCX")) == Payload("RICHTX32.OCX"));
  EXPECT_TRUE(
      WaitUntil("RICHTX32.OCX to be registered", [] { return Registered("RICHTX32.OCX"); }));
}

}  // namespace
}  // namespace tarnvel::test
