// The Win32 platform and the extraction on the real file system, in folders
// of the test's own; the fault end; start-up hardening. The payload is
// platform_test.rc's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>

#include "app/win32_fault_end.h"
#include "app/win32_platform.h"
#include "app/win32_startup.h"
#include "driver.h"
#include "install/save_res_to_disk.h"

namespace tarnvel::test {
namespace {

const std::string kTestPayload =
    std::string("MZ\x90\0\0\xFF", 6) + " tvltest payload 0123456789abcdefghijklmnopqrstuvwxyz";
constexpr DWORD kMarks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr char kEndInPump[] = "--end-in-pump";
constexpr char kOverflowStack[] = "--overflow-stack";

std::string Self() {
  char self[MAX_PATH];
  return std::string(self, ::GetModuleFileNameA(nullptr, self, MAX_PATH));
}

// Byte for byte and version, read alongside a writer but not past an exclusive holder.
TEST(FileFacts, HoldsThePayloadOnlyWithItsVeryBytesAndVersionsReadAlongsideAWriter) {
  const std::string path = NewFolder("tvltest_holds") + "\\target.dll";
  // Larger than a piece of the comparison: the last piece counts too.
  const std::string big = ReadWhole(BuildPath(TARNVEL_PAYLOAD_DIR) + "\\MSCOMCTL.OCX").value_or("");
  std::string bigLastByteOff = big;
  bigLastByteOff.back() ^= 1;
  const std::string& small = kTestPayload;
  constexpr DWORD kNobody = ~0u;  // else the sharing of another program's handle
  const struct {
    std::string payload, target;
    DWORD holderSharing;
    bool holds;
  } cases[] = {
      {small, small, kNobody, true},
      {big, big, kNobody, true},
      {big, bigLastByteOff, kNobody, false},
      {small, small + "x", kNobody, false},
      {small, small.substr(0, small.size() - 1), kNobody, false},
      {big, big, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
      {small, small, 0, false},
  };
  Win32Platform platform;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.payload.size() << " bytes over " << c.target.size()
                                    << ", held sharing " << c.holderSharing);
    ASSERT_TRUE(WriteWhole(path, c.target));
    const UniqueHandle other(c.holderSharing == kNobody
                                 ? INVALID_HANDLE_VALUE
                                 : ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                 c.holderSharing, nullptr, OPEN_EXISTING, 0,
                                                 nullptr));
    EXPECT_EQ(static_cast<bool>(other), c.holderSharing != kNobody);
    const auto* data = reinterpret_cast<const std::uint8_t*>(c.payload.data());
    EXPECT_EQ(platform.FileHolds(path, data, c.payload.size()), c.holds);
    EXPECT_EQ(platform.FileVersion(path), c.target.size() == big.size()
                                              ? std::optional(0x00060001005F002Dull)  // 6.1.95.45
                                              : std::nullopt);
  }
}

TEST(Extraction, WritesExactlyThePayloadOverPresentFilesOnlyAndLeavesNoTemporaryFile) {
  const std::string folder = NewFolder("tvltest_extraction");
  const std::string path = folder + "\\target.dll";
  const struct {
    const char* type;
    const char* before;  // null: absent
    DWORD attributes;
    bool written;
    OutputFailure failure = {};  // where it stopped, for the log
  } cases[] = {
      // clang-format off
      {"TVLTEST.DLL", "previous, and longer than the payload: 0123456789 0123456789 0123456789", 0,
       true},
      {"TVLTEST.DLL", "", kMarks, true},
      {"TVLTEST.DLL", nullptr, 0, false, {OutputStep::kAttributes, ERROR_FILE_NOT_FOUND}},
      {"TVLNONE.DLL", "previous", FILE_ATTRIBUTE_READONLY, false,
       {OutputStep::kLoad, ERROR_RESOURCE_TYPE_NOT_FOUND}},
      // clang-format on
  };
  Win32Platform platform;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << " over " << (c.before ? c.before : "nothing"));
    Remove(path);
    ASSERT_TRUE(c.before == nullptr || WriteWhole(path, c.before, c.attributes));
    std::int16_t errCount = 0;
    const SaveOutcome outcome = SaveResToDisk(platform, errCount, 1, c.type, path);
    EXPECT_EQ(outcome, c.written ? SaveOutcome::kWritten : SaveOutcome::kFailed);
    EXPECT_EQ(errCount, c.written ? 0 : 1) << "a failure counts once";
    EXPECT_EQ(Matching(folder, "*").size(), c.before ? 1u : 0u) << "a file created or left";
    if (c.written) {
      EXPECT_EQ(ReadWhole(path), kTestPayload);
      EXPECT_EQ(Attributes(path) & kMarks, 0u);
      continue;
    }
    EXPECT_EQ(int(platform.LastOutputFailure().step), int(c.failure.step));
    EXPECT_EQ(platform.LastOutputFailure().error, c.failure.error);
    if (c.before != nullptr) {
      EXPECT_EQ(ReadWhole(path), c.before);
      EXPECT_EQ(Attributes(path) & kMarks, c.attributes & kMarks);
    }
  }
  // Nor does the open on its own create an absent target.
  Remove(path);
  if (platform.OpenOutput(path)) {
    ADD_FAILURE() << "opened an absent target";
    platform.CloseOutput();
  }
  EXPECT_EQ(Attributes(path), INVALID_FILE_ATTRIBUTES);
}

TEST(Extraction, SweepRemovesLeftoverTemporaryFilesButNotOneHeldOpenNorOtherNames) {
  const std::string folder = NewFolder("tvltest_sweep");
  // Other names, among them near misses the search finds: none of this program's making.
  std::set<std::string> kept = {"MSCOMCTL.OCX",        "tvl1a2b_1.tmp",
                                "~tvl1a2b_1.dll",      "~tvlbackup.tmp",
                                "~tvl1a2b.tmp",        "~tvl_1.tmp",
                                "~tvl1a2b_.tmp",       "~tvl1a2b_1x.tmp",
                                "~tvl123456789_1.tmp", "~tvl1a2b_12345678901.tmp"};
  for (const std::string& name : kept) ASSERT_TRUE(WriteWhole(folder + "\\" + name, "MZ"));
  for (const char* name : {"~tvl1a2b_1.tmp", "~tvl1a2b_2.tmp", "~tvlc3_17.tmp"})
    ASSERT_TRUE(WriteWhole(folder + "\\" + name, "MZ"));
  // A live run holds its temporary file open, sharing no deletion.
  UniqueHandle held(::CreateFileA((folder + "\\~tvl1a2b_2.tmp").c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
  const std::vector<std::string> deleted = Win32Platform().SweepTemporaryFiles(folder);
  held.Reset();
  EXPECT_EQ(std::set<std::string>(deleted.begin(), deleted.end()),
            (std::set<std::string>{folder + "\\~tvl1a2b_1.tmp", folder + "\\~tvlc3_17.tmp"}))
      << "for the log";
  const std::vector<std::string> left = Matching(folder, "*");
  kept.insert("~tvl1a2b_2.tmp");
  EXPECT_EQ(std::set<std::string>(left.begin(), left.end()), kept);
}

TEST(RunLog, EachRunGetsANewFileNumberedOnNeverReusedAndNoneWhereTheTemporaryFolderIsNoFolder) {
  const std::string folder = NewFolder("tvltest_logs");
  const std::string otherDay = "Tarnvel setup 2000-01-01 #007.log";
  ASSERT_TRUE(WriteWhole(folder + "\\" + otherDay, "another day's"));
  std::vector<std::string> logs;
  {
    const TemporaryFolderAt temporary(folder + "\\");
    Win32Platform first, second;
    first.Log("one");
    second.Log("two");
    first.Log("three");
    logs = LogsIn(folder);
  }
  const auto numbers = [&] {
    return logs[1].substr(logs[1].size() - 9) + logs[2].substr(logs[2].size() - 9);
  };
  ASSERT_EQ(logs.size(), 3u);
  EXPECT_EQ(logs[0], otherDay);
  EXPECT_EQ(ReadWhole(folder + "\\" + otherDay), "another day's");
  // Today's, numbered on from what is there, each line after the time.
  EXPECT_EQ(numbers(), " #001.log #002.log");
  // UTF-8, marked so for the readers that would take the ANSI code page.
  const auto lines = [&](const std::string& log) {
    const std::string text = ReadWhole(folder + "\\" + log).value_or("");
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF") << log;
    return text.substr(3);
  };
  const std::string first = lines(logs[1]);
  EXPECT_EQ(first.size(), 2 * 13 + std::string("one\r\nthree\r\n").size()) << first;
  EXPECT_EQ(first.substr(2, 1) + first.substr(5, 1) + first.substr(8, 1) + first.substr(12, 6),
            "::. one\r\n");
  EXPECT_EQ(lines(logs[2]).substr(12), " two\r\n");

  // A number is never taken again that day, though its log was deleted.
  for (const std::string& log : {logs[2], logs[1]}) {
    ASSERT_TRUE(::DeleteFileA((folder + "\\" + log).c_str()));
    const TemporaryFolderAt temporary(folder + "\\");
    Win32Platform().Log("after a deletion");
  }
  logs = LogsIn(folder);
  ASSERT_EQ(logs.size(), 3u);
  EXPECT_EQ(numbers(), " #003.log #004.log");

  const TemporaryFolderAt noFolder(folder + "\\" + otherDay);
  Win32Platform().Log("nowhere to go");
  EXPECT_EQ(LogsIn(folder).size(), 3u);
  EXPECT_EQ(ReadWhole(folder + "\\" + otherDay), "another day's");
}

// Ends the program in pump number `endIn` of an extraction.
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

TEST(Extraction, EndedInsideEitherPumpTheTargetIsOldOrNewAndNoTemporaryFileIsLeft) {
  const std::string folder = NewFolder("tvltest_pumps");
  // Both at once: each start of a process costs a minute under emulation.
  std::vector<std::unique_ptr<Process>> children;
  for (int pump : {1, 2}) {
    const std::string target = folder + "\\" + std::to_string(pump) + ".dll";
    ASSERT_TRUE(WriteWhole(target, "previous"));
    children.push_back(std::make_unique<Process>(
        Self(), kEndInPump + (" " + std::to_string(pump)) + " \"" + target + "\""));
  }
  EXPECT_EQ(children[0]->Exit(), 41u);
  EXPECT_EQ(children[1]->Exit(), 42u);
  EXPECT_EQ(ReadWhole(folder + "\\1.dll"), "previous") << "ended in the first pump";
  EXPECT_EQ(ReadWhole(folder + "\\2.dll"), kTestPayload) << "ended in the second pump";
  EXPECT_EQ(Matching(folder, "~tvl*"), std::vector<std::string>{});
}

// Calls itself until the stack runs out; each frame reads its caller's, so none merge.
__attribute__((noinline)) int Deeper(int depth, volatile const char* caller) {
  volatile char frame[512];
  frame[0] = static_cast<char>(caller[0] + 1);
  return depth == 0 ? frame[0] : Deeper(depth + 1, frame) + caller[0];
}

// The child, an interactive run, overflows its stack: the report still gets
// its box. The log's line is the cut image's test's.
TEST(FaultEnd, StackOverflowEndsInTheReportBoxThenExitCode3) {
  Process child(Self(), std::string(kOverflowStack) + " 1");
  const MessageBoxShown shown = WaitForMessageBox(child);
  ASSERT_NE(shown.box, nullptr);
  const std::string report = "An unexpected error ended the setup:\r\n";
  const std::string overflow = "exception 0xC00000FD at 0x";
  EXPECT_EQ(shown.title, "Tarnvel setup");
  EXPECT_EQ(shown.text.substr(0, report.size() + overflow.size()), report + overflow);
  EXPECT_EQ(shown.text.size(), report.size() + overflow.size() + 8) << shown.text;
  EXPECT_TRUE(Answer(shown, IDOK));
  EXPECT_EQ(child.Exit(), 3u);
}

// Its imports come from the system directory too, though one lies beside this program.
TEST(StartUp, LibraryLoadedFromTheSystemDirectoryTakesItsImportsFromThere) {
  const std::string user = SystemDirectory() + "\\tvltest_user.dll";
  const std::string plant = SystemDirectory() + "\\tvltest_plant.dll";
  ASSERT_TRUE(Copy(BuildPath(TARNVEL_PLANT_USER_DLL), user));
  ASSERT_TRUE(Copy(BuildPath(TARNVEL_PLANT_DLL), plant));
  const HMODULE loaded = LoadFromSystemDirectory("tvltest_user.dll");
  char taken[MAX_PATH] = "";
  ::GetModuleFileNameA(::GetModuleHandleA("tvltest_plant.dll"), taken, MAX_PATH);
  if (loaded != nullptr) ::FreeLibrary(loaded);
  Remove(user);
  Remove(plant);
  ASSERT_NE(loaded, nullptr);
  const std::string besideSelf = Self().substr(0, Self().find_last_of('\\') + 1);
  EXPECT_NE(*taken, '\0');
  EXPECT_EQ(_strnicmp(taken, besideSelf.c_str(), besideSelf.size()) == 0, false) << taken;
}

// Last: it changes how this process loads DLLs.
TEST(StartUp, HardenedProcessNoLongerLoadsADllFromBesideTheProgram) {
  const HMODULE before = ::LoadLibraryA("tvltest_plant.dll");
  ASSERT_NE(before, nullptr) << "the planted DLL should sit beside the test program";
  ::FreeLibrary(before);
  HardenProcess();
  EXPECT_EQ(::LoadLibraryA("tvltest_plant.dll"), nullptr);
  EXPECT_NE(::LoadLibraryA("version.dll"), nullptr) << "from the system directory";
}

}  // namespace
}  // namespace tarnvel::test

// The test program is also the child that ends inside a pump.
int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], tarnvel::test::kEndInPump) == 0) {
    tarnvel::test::EndingPlatform platform(std::atoi(argv[2]));
    std::int16_t errCount = 0;
    tarnvel::SaveResToDisk(platform, errCount, 1, "TVLTEST.DLL", argv[3]);
    return 99;  // not reached: the program ends in the pump
  }
  if (argc == 3 && std::strcmp(argv[1], tarnvel::test::kOverflowStack) == 0) {
    tarnvel::Win32Platform platform;
    tarnvel::SetUnexpectedErrorPlatform(&platform);
    tarnvel::EndFaultsThroughUnexpectedError();
    platform.Log("the stack overflows next");
    const volatile char first = 0;
    return tarnvel::test::Deeper(std::atoi(argv[2]), &first);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
