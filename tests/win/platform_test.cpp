// The Win32 platform services and the payload extraction, run against the
// real file system and message queue. Files are written in the system
// directory under names of the tests' own ("tvltest_*") and removed after.
//
// Ending the program inside a pump needs a process of its own: the test
// program starts itself again with kChildSwitch (see RunChild).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/win32_handles.h"
#include "app/win32_platform.h"
#include "app/win32_startup.h"
#include "install/save_res_to_disk.h"

namespace tarnvel {
namespace {

// The payloads of platform_test.rc.
const std::string kTestPayload =
    std::string("MZ\x90\0\0\xFF", 6) + " tvltest payload 0123456789abcdefghijklmnopqrstuvwxyz";
const std::string kFlashPayload = "MZ flash stand-in";
const std::string kAgentPayload = "MZ agentctl stand-in";

constexpr DWORD kMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr const char* kChildSwitch = "--tvltest-end-in-pump";

std::string SystemDirectory() {
  char buffer[MAX_PATH];
  const UINT length = ::GetSystemDirectoryA(buffer, MAX_PATH);
  return std::string(buffer, length);
}

std::string SystemPath(const std::string& name) { return SystemDirectory() + "\\" + name; }

std::string ProgramPath() {
  char buffer[MAX_PATH];
  return std::string(buffer, ::GetModuleFileNameA(nullptr, buffer, MAX_PATH));
}

void Remove(const std::string& path) {
  ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileA(path.c_str());
}

bool WriteWhole(const std::string& path, const std::string& content) {
  UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file &&
         ::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written,
                     nullptr) &&
         written == content.size() && file.Close();
}

std::optional<std::string> ReadWhole(const std::string& path) {
  UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string content(::GetFileSize(file.Get(), nullptr), '\0');
  DWORD read = 0;
  if (!content.empty() &&
      !::ReadFile(file.Get(), &content[0], static_cast<DWORD>(content.size()), &read, nullptr))
    return std::nullopt;
  content.resize(read);
  return content;
}

DWORD Attributes(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

// The temporary output files a process has left in the system directory.
std::vector<std::string> TemporariesOf(DWORD processId) {
  char pattern[64];
  std::snprintf(pattern, sizeof pattern, "\\%s%lx_*", kTemporaryPrefix, processId);
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  const HANDLE search = ::FindFirstFileA((SystemDirectory() + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (::FindNextFileA(search, &found));
  ::FindClose(search);
  return names;
}

// Another program holding a file open for reading, sharing nothing.
UniqueHandle HoldWithoutSharing(const std::string& path) {
  return UniqueHandle(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Files of one test in the system directory, removed when the test ends.
class TestFiles {
 public:
  ~TestFiles() {
    for (const auto& path : paths_) Remove(path);
    for (const auto& path : directories_) ::RemoveDirectoryA(path.c_str());
  }

  std::string File(const std::string& name, const std::string& content, DWORD marks = 0) {
    const std::string path = Absent(name);
    EXPECT_TRUE(WriteWhole(path, content)) << path;
    if (marks != 0) {
      EXPECT_TRUE(::SetFileAttributesA(path.c_str(), marks)) << path;
    }
    return path;
  }
  std::string Directory(const std::string& name) {
    const std::string path = SystemPath("tvltest_" + name);
    ::RemoveDirectoryA(path.c_str());
    EXPECT_TRUE(::CreateDirectoryA(path.c_str(), nullptr)) << path;
    directories_.push_back(path);
    return path;
  }
  // A path where no file is, and where one left by a test is removed again.
  std::string Absent(const std::string& name) {
    const std::string path = SystemPath("tvltest_" + name);
    Remove(path);
    paths_.push_back(path);
    return path;
  }

 private:
  std::vector<std::string> paths_;
  std::vector<std::string> directories_;
};

class ExtractionTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(TemporariesOf(::GetCurrentProcessId()), std::vector<std::string>());
  }

  bool Save(const std::string& type, const std::string& destination) {
    return SaveResToDisk(platform, errCount, 1, type, destination);
  }

  Win32Platform platform;
  std::int16_t errCount = 0;
  TestFiles files;
};

TEST_F(ExtractionTest, OverwritesMarkedDestinationsAndClearsTheirMarks) {
  for (const DWORD marks : {DWORD{FILE_ATTRIBUTE_READONLY}, DWORD{FILE_ATTRIBUTE_HIDDEN},
                            DWORD{FILE_ATTRIBUTE_SYSTEM}, kMarks}) {
    SCOPED_TRACE(marks);
    const std::string path = files.File("marked.dll", "previous content", marks);
    EXPECT_TRUE(Save("TVLTEST.DLL", path));
    EXPECT_EQ(ReadWhole(path), kTestPayload);
    EXPECT_EQ(Attributes(path) & kMarks, 0u);
  }
  EXPECT_EQ(errCount, 0);
}

TEST_F(ExtractionTest, DestinationEndsExactlyAtThePayloadsLength) {
  for (const std::string& previous :
       {std::string(3 * kTestPayload.size(), 'x'), std::string("MZ"), std::string()}) {
    SCOPED_TRACE(previous.size());
    const std::string path = files.File("length.dll", previous);
    EXPECT_TRUE(Save("TVLTEST.DLL", path));
    EXPECT_EQ(ReadWhole(path), kTestPayload);
  }
}

TEST_F(ExtractionTest, TypeNameFindsItsEntryWhateverItsCase) {
  const struct {
    const char* typeName;
    const std::string& payload;
  } cases[] = {
      {"Flash.ocx", kFlashPayload},
      {"agentctl.dll", kAgentPayload},
      {"TVLTEST.DLL", kTestPayload},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typeName);
    const std::string path = files.File("case.dll", "previous content");
    EXPECT_TRUE(Save(c.typeName, path));
    EXPECT_EQ(ReadWhole(path), c.payload);
  }
  EXPECT_EQ(errCount, 0);
}

TEST_F(ExtractionTest, AbsentDestinationFailsAndCreatesNothing) {
  const std::string path = files.Absent("absent.dll");
  EXPECT_FALSE(Save("TVLTEST.DLL", path));
  EXPECT_EQ(errCount, 1);
  EXPECT_EQ(Attributes(path), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ExtractionTest, UnknownTypeNameFailsAndLeavesTheDestinationUntouched) {
  const DWORD marks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
  const std::string path = files.File("unknown.dll", "previous content", marks);
  EXPECT_FALSE(Save("TVLNONE.DLL", path));
  EXPECT_EQ(errCount, 1);
  EXPECT_EQ(ReadWhole(path), "previous content");
  EXPECT_EQ(Attributes(path) & kMarks, marks);
}

TEST_F(ExtractionTest, DestinationHeldWithoutSharingFailsWithItsContentKept) {
  const std::string path = files.File("held.dll", "previous content", FILE_ATTRIBUTE_READONLY);
  {
    const UniqueHandle other = HoldWithoutSharing(path);
    ASSERT_TRUE(other);
    EXPECT_FALSE(Save("TVLTEST.DLL", path));
  }
  EXPECT_EQ(errCount, 1);
  EXPECT_EQ(ReadWhole(path), "previous content");
  EXPECT_EQ(Attributes(path) & kMarks, 0u);  // reset before the open failed
}

TEST_F(ExtractionTest, ReplaceThatFailsKeepsTheDestinationAndReleasesTheOutput) {
  const std::string path = files.File("replace.dll", "previous content");
  const std::string next = files.File("next.dll", "next previous");
  const auto* payload = reinterpret_cast<const std::uint8_t*>(kTestPayload.data());

  ASSERT_TRUE(platform.OpenOutput(path));
  EXPECT_FALSE(platform.OpenOutput(next));  // one output at a time
  {
    const UniqueHandle other = HoldWithoutSharing(path);
    ASSERT_TRUE(other);
    EXPECT_FALSE(platform.WriteOutput(payload, kTestPayload.size()));
  }
  EXPECT_EQ(ReadWhole(path), "previous content");
  EXPECT_TRUE(platform.CloseOutput());

  ASSERT_TRUE(platform.OpenOutput(next));
  EXPECT_TRUE(platform.WriteOutput(payload, kTestPayload.size()));
  EXPECT_TRUE(platform.CloseOutput());
  EXPECT_EQ(ReadWhole(next), kTestPayload);
}

// Reads the destination at every pump of an extraction.
class WatchedPlatform : public Win32Platform {
 public:
  explicit WatchedPlatform(std::string path) : path_(std::move(path)) {}
  void PumpEvents() override {
    Win32Platform::PumpEvents();
    seen.push_back(ReadWhole(path_).value_or("(unreadable)"));
  }
  std::vector<std::string> seen;

 private:
  std::string path_;
};

TEST_F(ExtractionTest, DestinationHoldsItsOldBytesInTheFirstPumpAndThePayloadInTheSecond) {
  const std::string path = files.File("pumps.dll", "previous content");
  WatchedPlatform watched(path);
  EXPECT_TRUE(SaveResToDisk(watched, errCount, 1, "TVLTEST.DLL", path));
  EXPECT_EQ(watched.seen, (std::vector<std::string>{"previous content", kTestPayload}));
}

TEST_F(ExtractionTest, NestedCallFromThePumpFailsAtItsOpenAndLeavesTheOuterOutputAlone) {
  constexpr UINT kRunNested = WM_APP + 1;
  const std::string outer = files.File("outer.dll", "outer previous");
  const std::string inner = files.File("inner.dll", "inner previous", FILE_ATTRIBUTE_READONLY);
  std::optional<bool> innerResult;
  platform.SetMessageFilter([&](MSG& message) {
    if (message.hwnd != nullptr || message.message != kRunNested) return false;
    innerResult = Save("FLASH.OCX", inner);
    return true;
  });
  MSG message;
  ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // gives the thread its queue
  ASSERT_TRUE(::PostThreadMessageA(::GetCurrentThreadId(), kRunNested, 0, 0));

  EXPECT_TRUE(Save("TVLTEST.DLL", outer));
  EXPECT_EQ(innerResult, false);
  EXPECT_EQ(errCount, 1);
  EXPECT_EQ(ReadWhole(outer), kTestPayload);
  EXPECT_EQ(ReadWhole(inner), "inner previous");
  EXPECT_EQ(Attributes(inner) & kMarks, 0u);  // it got as far as its open
}

TEST(FilePresenceTest, NamesOnlyFilesThatAreNeitherHiddenNorSystemNorDirectories) {
  TestFiles files;
  const struct {
    std::string path;
    const char* expected;
  } cases[] = {
      {files.Absent("absent.dll"), ""},
      {files.File("hidden.dll", "x", FILE_ATTRIBUTE_HIDDEN), ""},
      {files.File("system.dll", "x", FILE_ATTRIBUTE_SYSTEM), ""},
      {files.Directory("directory.dll"), ""},
      {files.File("plain.dll", "x"), "tvltest_plain.dll"},
      {files.File("readonly.dll", "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE),
       "tvltest_readonly.dll"},
  };
  Win32Platform platform;
  for (const auto& c : cases) EXPECT_EQ(platform.FilePresence(c.path), c.expected) << c.path;
}

TEST(ResetAttributesTest, ClearsEveryMarkAndFailsWithoutAFile) {
  TestFiles files;
  const std::string path = files.File("reset.dll", "x", kMarks | FILE_ATTRIBUTE_ARCHIVE);
  Win32Platform platform;
  EXPECT_TRUE(platform.ResetAttributes(path));
  // Wine reports the archive mark on every file.
  EXPECT_EQ(Attributes(path) & kMarks, 0u);
  EXPECT_FALSE(platform.ResetAttributes(files.Absent("reset_absent.dll")));
}

TEST(LoadPayloadTest, ViewsTheResourceBytesAndFailsForAnUnknownTypeOrId) {
  Win32Platform platform;
  PayloadView payload;
  ASSERT_TRUE(platform.LoadPayload("TVLTEST.DLL", 1, payload));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(payload.data), payload.size), kTestPayload);
  EXPECT_FALSE(platform.LoadPayload("TVLNONE.DLL", 1, payload));
  EXPECT_FALSE(platform.LoadPayload("TVLTEST.DLL", 2, payload));
}

TEST(SystemDirectoryTest, GivesThePathOrTheSizeNeededForIt) {
  Win32Platform platform;
  char buffer[255];
  const unsigned length = platform.GetSystemDirectoryA(buffer, sizeof buffer);
  ASSERT_GT(length, 3u);
  EXPECT_EQ(std::strlen(buffer), length);
  EXPECT_NE(buffer[length - 1], '\\');
  char tooSmall[3];
  EXPECT_EQ(platform.GetSystemDirectoryA(tooSmall, sizeof tooSmall), length + 1);
}

// A window whose procedure counts the messages it gets; WM_APP + 2 fails.
class CountingWindow {
 public:
  CountingWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TvlTestCounting";
    ::RegisterClassA(&windowClass);  // already there for the second window: fine
    handle_ = ::CreateWindowExA(0, "TvlTestCounting", "tvltest", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                100, nullptr, nullptr, windowClass.hInstance, nullptr);
    ::SetWindowLongPtrA(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~CountingWindow() { ::DestroyWindow(handle_); }
  HWND Handle() const { return handle_; }
  int count = 0;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CountingWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self != nullptr && message == WM_APP) {
      ++self->count;
      return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
  }
  HWND handle_;
};

TEST(PumpTest, HandlesEveryPendingMessageAfterTheFilterHadItsPick) {
  CountingWindow window;
  Win32Platform platform;
  int filtered = 0;
  platform.SetMessageFilter([&](MSG& message) {
    if (message.message != WM_APP + 1) return false;
    ++filtered;
    return true;
  });
  for (UINT message : {WM_APP, WM_APP + 1, WM_APP, WM_APP})
    ASSERT_TRUE(::PostMessageA(window.Handle(), message, 0, 0));
  platform.PumpEvents();
  EXPECT_EQ(window.count, 3);
  EXPECT_EQ(filtered, 1);
  MSG left;
  EXPECT_FALSE(::PeekMessageA(&left, nullptr, WM_APP, WM_APP + 1, PM_NOREMOVE));
}

TEST(PumpTest, QuitIsLeftForTheMainLoopWhichReturnsItsCode) {
  CountingWindow window;
  Win32Platform platform;
  ASSERT_TRUE(::PostMessageA(window.Handle(), WM_APP, 0, 0));
  ::PostQuitMessage(7);
  platform.PumpEvents();
  EXPECT_EQ(window.count, 1);
  ASSERT_TRUE(::PostMessageA(window.Handle(), WM_APP, 0, 0));
  EXPECT_EQ(platform.RunMessageLoop(), 7);
  EXPECT_EQ(window.count, 2);
}

// Answers the first message box shown on this thread with No, noting its owner.
HWND boxOwner = nullptr;
LRESULT CALLBACK AnswerNo(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    const HWND box = reinterpret_cast<HWND>(wParam);
    char className[16] = {};
    ::GetClassNameA(box, className, sizeof className);
    if (std::strcmp(className, "#32770") == 0) {
      boxOwner = ::GetWindow(box, GW_OWNER);
      ::PostMessageA(box, WM_COMMAND, IDNO, 0);
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(MessageBoxTest, IsModalToTheActiveWindowAndGivesThePressedButton) {
  CountingWindow window;
  ::ShowWindow(window.Handle(), SW_SHOW);
  ::SetActiveWindow(window.Handle());
  ASSERT_EQ(::GetActiveWindow(), window.Handle());
  const HHOOK hook = ::SetWindowsHookExA(WH_CBT, AnswerNo, nullptr, ::GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  Win32Platform platform;
  EXPECT_EQ(platform.MessageBox("Replace it?", "tvltest", kMbYesNo | kMbIconExclamation), kIdNo);
  ::UnhookWindowsHookEx(hook);
  EXPECT_EQ(boxOwner, window.Handle());
}

TEST(StartProcessTest, FailsForAMissingImage) {
  Win32Platform platform;
  const std::string missing = SystemPath("tvltest_missing.exe");
  EXPECT_FALSE(platform.StartProcess(missing, "tvltest_missing.exe", ""));
}

// ---- Ending the program inside a pump, in a child process.

// Ends the program in the pump numbered `endIn` (1 or 2) of an extraction.
class EndingPlatform : public Win32Platform {
 public:
  explicit EndingPlatform(int endIn) : endIn_(endIn) {}
  void PumpEvents() override {
    Win32Platform::PumpEvents();
    if (++pumps_ == endIn_) EndProgram(40 + endIn_);
  }

 private:
  int endIn_;
  int pumps_ = 0;
};

constexpr const char* kHandlerRanMarker = "handler_ran.txt";

LRESULT CALLBACK MarkIfDestroyed(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY || message == WM_CLOSE || message == WM_ENDSESSION)
    WriteWhole(kHandlerRanMarker, "ran");
  return ::DefWindowProcA(window, message, wParam, lParam);
}

// The child: reports its pid and how it was started in its working directory,
// waits until the parent holds it, then ends inside pump `endIn` of an
// extraction to `destination`, with a window whose handlers must not run.
int RunChild(int endIn, const std::string& destination) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  ::GetStartupInfoA(&startup);
  const bool hidden =
      (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 && startup.wShowWindow == SW_HIDE;
  const std::string go = "tvltest_go_" + std::to_string(::GetCurrentProcessId());
  const UniqueHandle goEvent(::CreateEventA(nullptr, TRUE, FALSE, go.c_str()));
  const std::string report =
      std::to_string(::GetCurrentProcessId()) + " " + (hidden ? "hidden" : "shown");
  if (!goEvent || !WriteWhole("child" + std::to_string(endIn) + ".txt", report)) return 90;
  if (::WaitForSingleObject(goEvent.Get(), 10 * 60 * 1000) != WAIT_OBJECT_0) return 91;

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = MarkIfDestroyed;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "TvlTestChild";
  ::RegisterClassA(&windowClass);
  ::CreateWindowExA(0, "TvlTestChild", "tvltest", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                    nullptr, nullptr, windowClass.hInstance, nullptr);

  EndingPlatform platform(endIn);
  std::int16_t errCount = 0;
  SaveResToDisk(platform, errCount, 1, "TVLTEST.DLL", destination);
  return 92;  // not reached: the program ends in the pump
}

struct Child {
  DWORD processId = 0;
  UniqueHandle process;
  std::string report;
};

// Waits for the child's report in `directory`, then lets it go on.
Child HoldChild(const std::string& directory, int endIn) {
  const std::string reportPath = directory + "\\child" + std::to_string(endIn) + ".txt";
  Child child;
  for (int wait = 0; wait < 10 * 60 * 5; ++wait) {  // a 32-bit start is slow under emulation
    if (auto report = ReadWhole(reportPath)) {
      child.report = *report;
      break;
    }
    ::Sleep(200);
  }
  child.processId = std::strtoul(child.report.c_str(), nullptr, 10);
  child.process =
      UniqueHandle(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, child.processId));
  const std::string go = "tvltest_go_" + std::to_string(child.processId);
  const UniqueHandle goEvent(::OpenEventA(EVENT_MODIFY_STATE, FALSE, go.c_str()));
  if (goEvent) ::SetEvent(goEvent.Get());
  return child;
}

TEST(ProgramEndTest, EndedInAPumpTheDestinationHoldsOldBytesOrPayloadAndNoTemporaryIsLeft) {
  TestFiles files;
  char temp[MAX_PATH];
  const std::string directory = std::string(temp, ::GetTempPathA(MAX_PATH, temp)) + "tvltest_" +
                                std::to_string(::GetCurrentProcessId());
  ASSERT_TRUE(::CreateDirectoryA(directory.c_str(), nullptr));
  const std::string destinations[] = {files.File("end_first.dll", "previous content"),
                                      files.File("end_second.dll", "previous content")};

  // Both children start at once: each start costs about a minute here.
  Win32Platform platform;
  for (int endIn : {1, 2}) {
    const std::string commandLine = "\"" + ProgramPath() + "\" " + kChildSwitch + " " +
                                    std::to_string(endIn) + " " + destinations[endIn - 1];
    ASSERT_TRUE(platform.StartProcess(ProgramPath(), commandLine, directory));
  }
  for (int endIn : {1, 2}) {
    SCOPED_TRACE(endIn);
    // Found in the working directory given, so the child started there.
    const Child child = HoldChild(directory, endIn);
    ASSERT_TRUE(child.process) << "no report from the child";
    EXPECT_NE(child.report.find(" hidden"), std::string::npos) << child.report;
    ASSERT_EQ(::WaitForSingleObject(child.process.Get(), 10 * 60 * 1000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    ::GetExitCodeProcess(child.process.Get(), &exitCode);
    EXPECT_EQ(exitCode, DWORD(40 + endIn));
    EXPECT_EQ(ReadWhole(destinations[endIn - 1]),
              endIn == 1 ? std::string("previous content") : kTestPayload);
    EXPECT_EQ(TemporariesOf(child.processId), std::vector<std::string>());
    Remove(directory + "\\child" + std::to_string(endIn) + ".txt");
  }
  EXPECT_EQ(Attributes(directory + "\\" + kHandlerRanMarker), INVALID_FILE_ATTRIBUTES);
  Remove(directory + "\\" + kHandlerRanMarker);
  ::RemoveDirectoryA(directory.c_str());
}

// Last: it changes how this process loads DLLs.
TEST(HardenProcessTest, DllBesideTheProgramNoLongerLoads) {
  constexpr const char* kPlanted = "tvltest_plant.dll";
  const HMODULE before = ::LoadLibraryA(kPlanted);
  ASSERT_NE(before, nullptr) << "the planted DLL should sit beside the test program";
  ::FreeLibrary(before);
  HardenProcess();
  const HMODULE after = ::LoadLibraryA(kPlanted);
  EXPECT_EQ(after, nullptr);
  if (after != nullptr) ::FreeLibrary(after);
  const HMODULE system = ::LoadLibraryA("version.dll");
  EXPECT_NE(system, nullptr);
  if (system != nullptr) ::FreeLibrary(system);
}

}  // namespace
}  // namespace tarnvel

// Its own main, taking the place of gtest_main's: the program is also the
// child process of ProgramEndTest.
int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], tarnvel::kChildSwitch) == 0)
    return tarnvel::RunChild(std::atoi(argv[2]), argv[3]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
