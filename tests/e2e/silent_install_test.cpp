// The silent install end to end: the real setup.exe runs "/s" under Wine
// against a prepared system directory, and the tests read what it left.
// Starting a 32-bit program costs about a minute under emulation, so the two
// runs (one with a target locked, one with nothing locked) happen once, before
// the tests, and every test reads their record.
#include <windows.h>
// The rest need <windows.h> first.
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "install/manifest.h"

namespace {

using tarnvel::Component;
using tarnvel::kManifest;

// Build paths arrive as Z:/... : Wine shows the Unix root as drive Z:.
std::string WindowsPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

const std::string kSetupExe = WindowsPath(TARNVEL_E2E_SETUP_EXE);
const std::string kPayloadDir = WindowsPath(TARNVEL_E2E_PAYLOAD_DIR);
const std::string kPlantedTool = WindowsPath(TARNVEL_E2E_PLANTED_TOOL);
constexpr char kPlantedMarker[] = TARNVEL_E2E_PLANTED_MARKER;
// Where each stand-in's DllRegisterServer leaves a value named after its file.
constexpr char kMarkKey[] = "Software\\Tarnvel\\StandIn\\Registered";

// Generous bounds: one setup start takes about a minute here, and each
// registration another one or two, several at once on two cores.
constexpr ULONGLONG kRunBoundMs = 15 * 60 * 1000;
constexpr ULONGLONG kRegistrationBoundMs = 10 * 60 * 1000;
constexpr DWORD kWindowPollMs = 20;

constexpr DWORD kClearedMarks =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct FindCloser {
  void operator()(HANDLE handle) const { FindClose(handle); }
};
using UniqueFind = std::unique_ptr<void, FindCloser>;

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

UniqueHandle Own(HANDLE handle) {
  return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

std::string Lower(std::string text) {
  CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

bool SameName(const std::string& a, const std::string& b) { return Lower(a) == Lower(b); }

// ---------------------------------------------------------------------------
// Files

struct FileState {
  bool exists = false;
  DWORD attributes = 0;
  std::string bytes;
};

std::string ReadBytes(const std::string& path) {
  UniqueHandle file = Own(CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) Fail("cannot open " + path);
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) Fail("cannot size " + path);
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() &&
      (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
       read != bytes.size())) {
    Fail("cannot read " + path);
  }
  return bytes;
}

FileState ReadState(const std::string& path) {
  FileState state;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return state;
  state.exists = true;
  state.attributes = attributes;
  state.bytes = ReadBytes(path);
  return state;
}

void RemoveFile(const std::string& path) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!DeleteFileA(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
    Fail("cannot delete " + path);
  }
}

void PutFile(const std::string& path, const std::string& bytes, DWORD attributes) {
  RemoveFile(path);
  {
    UniqueHandle file = Own(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file ||
        !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
      Fail("cannot write " + path);
    }
  }
  if (attributes != 0 && !SetFileAttributesA(path.c_str(), attributes)) {
    Fail("cannot mark " + path);
  }
}

// Lower-case names of everything in a folder.
std::set<std::string> ListFolder(const std::string& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAA found{};
  const HANDLE first = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (first == INVALID_HANDLE_VALUE) Fail("cannot list " + folder);
  const UniqueFind find(first);
  do {
    names.insert(Lower(found.cFileName));
  } while (FindNextFileA(find.get(), &found));
  return names;
}

std::set<std::string> Minus(const std::set<std::string>& a, const std::set<std::string>& b) {
  std::set<std::string> rest;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::inserter(rest, rest.end()));
  return rest;
}

// An older copy as a deployed machine might hold it: an image header, then filler.
std::string OlderCopy(const std::string& name, std::size_t size) {
  std::string bytes = "MZ older copy of " + name + ". ";
  while (bytes.size() < size) bytes += bytes;
  bytes.resize(size);
  return bytes;
}

// ---------------------------------------------------------------------------
// Registry marks and processes

std::set<std::string> ReadMarks() {
  std::set<std::string> marked;
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kMarkKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
    return marked;
  }
  const UniqueKey key(opened);
  for (const Component& component : kManifest) {
    if (RegQueryValueExA(key.get(), component.name, nullptr, nullptr, nullptr, nullptr) ==
        ERROR_SUCCESS) {
      marked.insert(component.name);
    }
  }
  return marked;
}

void DeleteMarks() {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kMarkKey, 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS) {
    return;
  }
  const UniqueKey key(opened);
  for (const Component& component : kManifest) RegDeleteValueA(key.get(), component.name);
}

int CountProcesses(const char* exeName) {
  UniqueHandle snapshot = Own(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) Fail("cannot list processes");
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  int count = 0;
  for (BOOL more = Process32First(snapshot.get(), &entry); more;
       more = Process32Next(snapshot.get(), &entry)) {
    if (SameName(entry.szExeFile, exeName)) ++count;
  }
  return count;
}

// ---------------------------------------------------------------------------
// Windows

// Notes every visible top-level window of one process. Polled from the
// waiting thread itself: a second thread in a 32-bit process is not reliable
// under the emulation this runs in.
class WindowWatch {
 public:
  explicit WindowWatch(DWORD processId) : processId_(processId) {}

  void Poll() { EnumWindows(&WindowWatch::Visit, reinterpret_cast<LPARAM>(this)); }
  // Each window seen so far, as class "title".
  const std::vector<std::string>& Seen() const { return seen_; }

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM self) {
    auto* watch = reinterpret_cast<WindowWatch*>(self);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != watch->processId_ || !IsWindowVisible(window)) return TRUE;
    if (std::find(watch->windows_.begin(), watch->windows_.end(), window) !=
        watch->windows_.end()) {
      return TRUE;
    }
    watch->windows_.push_back(window);
    watch->seen_.push_back(Describe(window));
    return TRUE;
  }

  // Asks nothing of the window's own thread, which may be busy or gone.
  static std::string Describe(HWND window) {
    char className[256] = "";
    GetClassNameA(window, className, sizeof className);
    wchar_t title[256] = L"";
    InternalGetWindowText(window, title, 256);
    char narrowTitle[512] = "";
    WideCharToMultiByte(CP_ACP, 0, title, -1, narrowTitle, sizeof narrowTitle, nullptr, nullptr);
    return std::string(className) + " \"" + narrowTitle + "\"";
  }

  const DWORD processId_;
  std::vector<HWND> windows_;
  std::vector<std::string> seen_;
};

// ---------------------------------------------------------------------------
// The scenario

enum class Seed { Absent, Older, ReadOnly, Hidden, Longer, Locked, WineOwn };
enum class After { Absent, Payload, KeepsContent, Untouched };

struct Target {
  std::string name;
  Seed seed;
  After lockedRun;    // first run: the locked target is held open throughout
  After unlockedRun;  // second run: nothing locked, the first run's writes removed
};

// Every manifest name not listed here, and not one of Wine's own, is held absent.
const Target kListed[] = {
    {"agentctl.dll", Seed::Older, After::Payload, After::Absent},
    {"MSINET.OCX", Seed::Older, After::Payload, After::Absent},
    {"SYSINFO.OCX", Seed::ReadOnly, After::Payload, After::Absent},
    {"MSWINSCK.OCX", Seed::Longer, After::Payload, After::Absent},
    {"MSCAL.OCX", Seed::Locked, After::KeepsContent, After::Payload},
    {"PICCLP32.OCX", Seed::Hidden, After::Untouched, After::Untouched},
    {"MSCOMCT2.OCX", Seed::Absent, After::Absent, After::Absent},
};

// Wine's own libraries under component names; the test prefix gives them the
// system mark, so the setup passes them over.
const char* const kWineOwn[] = {"COMCAT.DLL",  "oleaut32.dll", "olepro32.dll", "RICHED32.DLL",
                                "shlwapi.dll", "uxtheme.dll",  "wshom.ocx"};

// All 28 names, in manifest order, with what each run must leave.
std::vector<Target> Plan() {
  std::vector<Target> plan;
  for (const Component& component : kManifest) {
    Target target{component.name, Seed::Absent, After::Absent, After::Absent};
    for (const Target& listed : kListed) {
      if (SameName(listed.name, component.name)) target = listed;
    }
    for (const char* own : kWineOwn) {
      if (SameName(own, component.name)) {
        target = {component.name, Seed::WineOwn, After::Untouched, After::Untouched};
      }
    }
    plan.push_back(target);
  }
  return plan;
}

struct RunRecord {
  const char* label = "";
  bool finished = false;
  DWORD exitCode = 0;
  double seconds = 0;
  std::map<std::string, FileState> before;  // by manifest name
  std::map<std::string, FileState> after;
  std::set<std::string> registered;  // manifest names with a mark
  bool registrationsSettled = false;
  std::set<std::string> added;  // system directory entries
  std::vector<std::string> windows;
};

class Scenario {
 public:
  Scenario() = default;
  ~Scenario() { Restore(); }
  Scenario(const Scenario&) = delete;
  Scenario& operator=(const Scenario&) = delete;

  void Play() {
    FindFolders();
    CheckPreconditions();
    for (const Target& target : plan_) {
      if (target.seed == Seed::WineOwn) continue;
      originals_[target.name] = ReadState(Path(target.name));
    }
    for (const Target& target : plan_) {
      if (target.lockedRun == After::Payload || target.unlockedRun == After::Payload) {
        payloads_[target.name] = ReadBytes(kPayloadDir + "\\" + target.name);
      }
    }
    DeleteMarks();
    for (const Target& target : plan_) Prepare(target);
    PrepareWorkFolder();

    lockedRun = RunSetup("with MSCAL.OCX locked", &Target::lockedRun, true);
    // The second run starts from absent targets, except the one that was locked.
    for (const Target& target : plan_) {
      if (target.lockedRun == After::Payload) RemoveFile(Path(target.name));
    }
    DeleteMarks();
    unlockedRun = RunSetup("with nothing locked", &Target::unlockedRun, false);

    plantedRan =
        GetFileAttributesA((workDir_ + "\\" + kPlantedMarker).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  const std::vector<Target>& Targets() const { return plan_; }
  const std::string& Payload(const std::string& name) const { return payloads_.at(name); }

  std::string error;
  RunRecord lockedRun;
  RunRecord unlockedRun;
  bool plantedRan = false;

 private:
  std::string Path(const std::string& name) const { return systemDir_ + "\\" + name; }

  void FindFolders() {
    char systemDir[MAX_PATH];
    const UINT length = GetSystemDirectoryA(systemDir, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) Fail("no system directory");
    systemDir_.assign(systemDir, length);

    char temp[MAX_PATH];
    const DWORD tempLength = GetTempPathA(MAX_PATH, temp);
    if (tempLength == 0 || tempLength >= MAX_PATH) Fail("no temporary folder");
    workDir_ = std::string(temp, tempLength) + "tarnvel-e2e-silent-" +
               std::to_string(GetCurrentProcessId());
  }

  void CheckPreconditions() const {
    for (const Target& target : plan_) {
      if (target.seed != Seed::WineOwn) continue;
      const DWORD attributes = GetFileAttributesA(Path(target.name).c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_SYSTEM)) {
        throw std::runtime_error("Wine's own " + target.name +
                                 " lacks the system mark: the setup would replace it");
      }
    }
  }

  void Prepare(const Target& target) {
    const std::string path = Path(target.name);
    const std::string older = OlderCopy(target.name, 4096);
    switch (target.seed) {
      case Seed::Absent:
        RemoveFile(path);
        break;
      case Seed::Older:
      case Seed::Locked:
        PutFile(path, older, 0);
        break;
      case Seed::ReadOnly:
        PutFile(path, older, FILE_ATTRIBUTE_READONLY);
        break;
      case Seed::Hidden:
        PutFile(path, older, FILE_ATTRIBUTE_HIDDEN);
        break;
      case Seed::Longer:
        PutFile(path, OlderCopy(target.name, payloads_.at(target.name).size() + 65536), 0);
        break;
      case Seed::WineOwn:
        break;
    }
  }

  void PrepareWorkFolder() {
    if (!CreateDirectoryA(workDir_.c_str(), nullptr)) Fail("cannot create " + workDir_);
    workDirMade_ = true;
    setupCopy_ = workDir_ + "\\setup.exe";
    if (!CopyFileA(kSetupExe.c_str(), setupCopy_.c_str(), TRUE)) Fail("cannot copy " + kSetupExe);
    // Planted where a search by name would find it first.
    const std::string planted = workDir_ + "\\regsvr32.exe";
    if (!CopyFileA(kPlantedTool.c_str(), planted.c_str(), TRUE)) Fail("cannot copy the tool");
  }

  std::map<std::string, FileState> Snapshot() const {
    std::map<std::string, FileState> states;
    for (const Target& target : plan_) states[target.name] = ReadState(Path(target.name));
    return states;
  }

  RunRecord RunSetup(const char* label, After Target::*expectation, bool lockTargets) {
    RunRecord run;
    run.label = label;
    run.before = Snapshot();
    const std::set<std::string> entriesBefore = ListFolder(systemDir_);
    std::set<std::string> expectedMarks;
    for (const Target& target : plan_) {
      if (target.*expectation == After::Payload) expectedMarks.insert(target.name);
    }

    std::vector<UniqueHandle> locks;
    for (const Target& target : plan_) {
      if (!lockTargets || target.seed != Seed::Locked) continue;
      locks.push_back(Own(CreateFileA(Path(target.name).c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
      if (!locks.back()) Fail("cannot lock " + target.name);
    }

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::string commandLine = "\"" + setupCopy_ + "\" /s";
    if (!CreateProcessA(setupCopy_.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_SUSPENDED, nullptr, workDir_.c_str(), &startup, &started)) {
      Fail("cannot start " + setupCopy_);
    }
    const UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);
    // Watching from before the first instruction: no window can slip by.
    WindowWatch watch(started.dwProcessId);
    const ULONGLONG start = GetTickCount64();
    ResumeThread(thread.get());
    for (;;) {
      watch.Poll();
      if (WaitForSingleObject(process.get(), kWindowPollMs) == WAIT_OBJECT_0) {
        run.finished = true;
        break;
      }
      if (GetTickCount64() - start > kRunBoundMs) break;
    }
    watch.Poll();
    run.seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
    run.windows = watch.Seen();
    if (run.finished) {
      GetExitCodeProcess(process.get(), &run.exitCode);
    } else {
      TerminateProcess(process.get(), 3);
      WaitForSingleObject(process.get(), INFINITE);
    }
    locks.clear();
    std::printf("[ silent  ] run %s: %s, exit code %lu, %.0f s\n", label,
                run.finished ? "finished" : "did not finish", run.exitCode, run.seconds);

    WaitForRegistrations(expectedMarks, run);
    run.after = Snapshot();
    const std::set<std::string> entriesAfter = ListFolder(systemDir_);
    run.added = Minus(entriesAfter, entriesBefore);
    return run;
  }

  // The registrations run beside the setup and outlive it: wait until the
  // expected marks are there and no regsvr32.exe runs any more.
  static void WaitForRegistrations(const std::set<std::string>& expected, RunRecord& run) {
    const ULONGLONG deadline = GetTickCount64() + kRegistrationBoundMs;
    const ULONGLONG start = GetTickCount64();
    for (;;) {
      run.registered = ReadMarks();
      const bool allMarked = std::includes(run.registered.begin(), run.registered.end(),
                                           expected.begin(), expected.end());
      if (allMarked && CountProcesses("regsvr32.exe") == 0) {
        run.registrationsSettled = true;
        break;
      }
      if (GetTickCount64() > deadline) break;
      Sleep(2000);
    }
    std::printf("[ silent  ] registrations %s after %.0f s more\n",
                run.registrationsSettled ? "settled" : "did not settle",
                static_cast<double>(GetTickCount64() - start) / 1000.0);
  }

  // Puts back what the system directory and the registry held before.
  void Restore() noexcept {
    for (const auto& [name, original] : originals_) {
      try {
        if (original.exists) {
          PutFile(Path(name), original.bytes, original.attributes & ~FILE_ATTRIBUTE_NORMAL);
        } else {
          RemoveFile(Path(name));
        }
      } catch (const std::exception& e) {
        std::printf("[ silent  ] cannot restore %s: %s\n", name.c_str(), e.what());
      }
    }
    DeleteMarks();
    if (workDirMade_) {
      for (const char* file : {"setup.exe", "regsvr32.exe", kPlantedMarker}) {
        DeleteFileA((workDir_ + "\\" + file).c_str());
      }
      RemoveDirectoryA(workDir_.c_str());
    }
  }

  const std::vector<Target> plan_ = Plan();
  std::string systemDir_;
  std::string workDir_;
  bool workDirMade_ = false;
  std::string setupCopy_;
  std::map<std::string, FileState> originals_;
  std::map<std::string, std::string> payloads_;
};

// ---------------------------------------------------------------------------
// The tests

class SilentInstall : public ::testing::Test {
 public:
  static void SetUpTestSuite() {
    scenario_ = new Scenario;
    try {
      scenario_->Play();
    } catch (const std::exception& e) {
      scenario_->error = e.what();
    }
  }
  static void TearDownTestSuite() {
    delete scenario_;
    scenario_ = nullptr;
  }

 protected:
  void SetUp() override { ASSERT_TRUE(scenario_->error.empty()) << scenario_->error; }

  struct Phase {
    const RunRecord& run;
    After Target::*expectation;
  };
  static std::vector<Phase> Phases() {
    return {{scenario_->lockedRun, &Target::lockedRun},
            {scenario_->unlockedRun, &Target::unlockedRun}};
  }

  static Scenario* scenario_;
};

Scenario* SilentInstall::scenario_ = nullptr;

std::uint32_t ManifestSize(const std::string& name) {
  for (const Component& component : kManifest) {
    if (name == component.name) return component.size;
  }
  return 0;
}

// Names the case in a failure message.
std::string In(const RunRecord& run, const std::string& name = "") {
  return std::string("run ") + run.label + (name.empty() ? "" : ", " + name);
}

TEST_F(SilentInstall, LockedTargetEndsTheRunWithExitCodeOne) {
  ASSERT_TRUE(scenario_->lockedRun.finished);
  EXPECT_EQ(scenario_->lockedRun.exitCode, 1u);
}

TEST_F(SilentInstall, RunWithNothingLockedEndsWithExitCodeZero) {
  ASSERT_TRUE(scenario_->unlockedRun.finished);
  EXPECT_EQ(scenario_->unlockedRun.exitCode, 0u);
}

TEST_F(SilentInstall, PresentTargetsHoldExactlyThePayloadWithMarksCleared) {
  for (const Phase& phase : Phases()) {
    for (const Target& target : scenario_->Targets()) {
      if (target.*phase.expectation != After::Payload) continue;
      const FileState& state = phase.run.after.at(target.name);
      ASSERT_TRUE(state.exists) << In(phase.run, target.name);
      EXPECT_EQ(state.bytes.size(), ManifestSize(target.name)) << In(phase.run, target.name);
      EXPECT_TRUE(state.bytes == scenario_->Payload(target.name))
          << In(phase.run, target.name) << ": differs from the payload";
      EXPECT_EQ(state.attributes & kClearedMarks, 0u) << In(phase.run, target.name);
    }
  }
}

TEST_F(SilentInstall, AbsentTargetsAreNotCreated) {
  for (const Phase& phase : Phases()) {
    for (const Target& target : scenario_->Targets()) {
      if (target.*phase.expectation != After::Absent) continue;
      EXPECT_FALSE(phase.run.after.at(target.name).exists) << In(phase.run, target.name);
    }
  }
}

TEST_F(SilentInstall, HiddenAndSystemTargetsAreLeftAsTheyWere) {
  for (const Phase& phase : Phases()) {
    for (const Target& target : scenario_->Targets()) {
      if (target.*phase.expectation != After::Untouched) continue;
      const FileState& before = phase.run.before.at(target.name);
      const FileState& after = phase.run.after.at(target.name);
      EXPECT_EQ(after.exists, before.exists) << In(phase.run, target.name);
      EXPECT_EQ(after.attributes, before.attributes) << In(phase.run, target.name);
      EXPECT_TRUE(after.bytes == before.bytes) << In(phase.run, target.name) << ": changed";
    }
  }
}

TEST_F(SilentInstall, LockedTargetKeepsItsContent) {
  int locked = 0;
  for (const Phase& phase : Phases()) {
    for (const Target& target : scenario_->Targets()) {
      if (target.*phase.expectation != After::KeepsContent) continue;
      ++locked;
      const FileState& after = phase.run.after.at(target.name);
      ASSERT_TRUE(after.exists) << In(phase.run, target.name);
      EXPECT_TRUE(after.bytes == phase.run.before.at(target.name).bytes)
          << In(phase.run, target.name) << ": changed";
    }
  }
  EXPECT_EQ(locked, 1);
}

TEST_F(SilentInstall, EveryWrittenTargetIsRegisteredAndNoOtherIs) {
  for (const Phase& phase : Phases()) {
    std::set<std::string> written;
    for (const Target& target : scenario_->Targets()) {
      if (target.*phase.expectation == After::Payload) written.insert(target.name);
    }
    EXPECT_TRUE(phase.run.registrationsSettled) << In(phase.run);
    EXPECT_EQ(phase.run.registered, written) << In(phase.run);
  }
}

// Every target existed before its run, so anything new is a left-over.
TEST_F(SilentInstall, LeavesNoNewFileInTheSystemDirectory) {
  for (const Phase& phase : Phases()) {
    EXPECT_EQ(phase.run.added, std::set<std::string>{}) << In(phase.run);
  }
}

TEST_F(SilentInstall, ShowsNoWindow) {
  for (const Phase& phase : Phases()) {
    EXPECT_EQ(phase.run.windows, std::vector<std::string>{}) << In(phase.run);
  }
}

TEST_F(SilentInstall, NeverStartsARegsvr32FromItsOwnOrTheCurrentFolder) {
  EXPECT_FALSE(scenario_->plantedRan);
}

// The watch behind ShowsNoWindow, tried on windows of this process.
TEST(WindowWatch, SeesVisibleWindowsOfTheWatchedProcessOnly) {
  struct WindowDestroyer {
    void operator()(HWND window) const { DestroyWindow(window); }
  };
  using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;
  const auto create = [](const char* title, DWORD style) {
    return UniqueWindow(CreateWindowExA(0, "STATIC", title, style, 10, 10, 200, 80, nullptr,
                                        nullptr, GetModuleHandleA(nullptr), nullptr));
  };
  const UniqueWindow hidden = create("hidden probe", WS_OVERLAPPEDWINDOW);
  const UniqueWindow shown = create("shown probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  ASSERT_TRUE(hidden && shown);

  WindowWatch ours(GetCurrentProcessId());
  ours.Poll();
  EXPECT_EQ(ours.Seen(), std::vector<std::string>{"Static \"shown probe\""});
  // A thread's id is never a process's: no window belongs to it.
  WindowWatch another(GetCurrentThreadId());
  another.Poll();
  EXPECT_EQ(another.Seen(), std::vector<std::string>{});
}

}  // namespace
