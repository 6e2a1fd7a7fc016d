// The Win32 platform services and the payload extraction on the real file
// system, in a folder of the test's own; start-up hardening; and setup.exe's
// resources as Windows reads them. The payloads are platform_test.rc's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

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

std::string ProgramPath() {
  char path[MAX_PATH];
  return std::string(path, ::GetModuleFileNameA(nullptr, path, MAX_PATH));
}

TEST(FilePresence, NamesOnlyFilesThatAreNeitherHiddenNorSystemNorDirectories) {
  const std::string folder = NewFolder("tvltest_presence");
  ASSERT_TRUE(::CreateDirectoryA((folder + "\\directory.dll").c_str(), nullptr));
  const struct {
    const char* name;
    DWORD attributes;  // 0: absent
    const char* presence;
  } cases[] = {
      {"absent.dll", 0, ""},
      {"hidden.dll", FILE_ATTRIBUTE_HIDDEN, ""},
      {"system.dll", FILE_ATTRIBUTE_SYSTEM, ""},
      {"directory.dll", 0, ""},
      {"plain.dll", FILE_ATTRIBUTE_NORMAL, "plain.dll"},
      {"readonly.dll", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, "readonly.dll"},
  };
  Win32Platform platform;
  for (const auto& c : cases) {
    const std::string path = folder + "\\" + c.name;
    if (c.attributes != 0) {
      ASSERT_TRUE(WriteWhole(path, "MZ", c.attributes)) << path;
    }
    EXPECT_EQ(platform.FilePresence(path), c.presence) << c.name;
  }
}

TEST(Extraction, WritesExactlyThePayloadOverPresentFilesOnlyAndLeavesNoTemporaryFile) {
  const std::string folder = NewFolder("tvltest_extraction");
  const struct {
    const char* what;
    const char* type;
    const char* before;  // null: absent
    DWORD attributes;
    bool heldByAnother;
    bool written;
  } cases[] = {
      {"plain, longer", "TVLTEST.DLL", "previous content, longer than the payload ............"
                                       "..........................................",
       0, false, true},
      {"read-only, hidden, system", "TVLTEST.DLL", "previous", kMarks, false, true},
      {"empty", "TVLTEST.DLL", "", 0, false, true},
      {"name as listed", "Flash.ocx", "previous", 0, false, true},
      {"absent", "TVLTEST.DLL", nullptr, 0, false, false},
      {"held without sharing", "TVLTEST.DLL", "previous", 0, true, false},
      {"no such payload", "TVLNONE.DLL", "previous", FILE_ATTRIBUTE_READONLY, false, false},
  };
  Win32Platform platform;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = folder + "\\target.dll";
    Remove(path);
    if (c.before != nullptr) {
      ASSERT_TRUE(WriteWhole(path, c.before, c.attributes));
    }
    const HANDLE other = c.heldByAnother ? ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr,
                                                         OPEN_EXISTING, 0, nullptr)
                                         : INVALID_HANDLE_VALUE;
    std::int16_t errCount = 0;
    EXPECT_EQ(SaveResToDisk(platform, errCount, 1, c.type, path), c.written);
    if (other != INVALID_HANDLE_VALUE) ::CloseHandle(other);
    const std::string payload = c.type[0] == 'F' ? "MZ flash stand-in" : kTestPayload;
    if (c.written) {
      EXPECT_EQ(ReadWhole(path), payload);
      EXPECT_EQ(Attributes(path) & kMarks, 0u);
    } else if (c.before == nullptr) {
      EXPECT_EQ(Attributes(path), INVALID_FILE_ATTRIBUTES) << "created";
    } else {
      EXPECT_EQ(ReadWhole(path), c.before);
      EXPECT_EQ(Attributes(path) & kMarks, c.attributes & kMarks);
    }
    EXPECT_EQ(Matching(folder, "*").size(), c.before ? 1u : 0u) << "a temporary file is left";
  }
  // Nor does either step on its own create an absent target.
  const std::string absent = folder + "\\absent.dll";
  EXPECT_FALSE(platform.ResetAttributes(absent));
  if (platform.OpenOutput(absent)) {
    ADD_FAILURE() << "opened an absent target";
    platform.CloseOutput();
  }
  EXPECT_EQ(Attributes(absent), INVALID_FILE_ATTRIBUTES);
}

TEST(Extraction, SweepRemovesLeftoverTemporaryFilesButNotOneHeldOpenNorOtherNames) {
  const std::string folder = NewFolder("tvltest_sweep");
  for (const char* name : {"~tvl1a2b_1.tmp", "~tvl1a2b_2.tmp", "~tvlc3_17.tmp", "tvl1a2b_1.tmp",
                           "~tvl1a2b_1.dll", "MSCOMCTL.OCX"})
    ASSERT_TRUE(WriteWhole(folder + "\\" + name, "MZ"));
  // A live run holds its temporary file open, sharing no deletion.
  const HANDLE held =
      ::CreateFileA((folder + "\\~tvl1a2b_2.tmp").c_str(), GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Win32Platform().SweepTemporaryFiles(folder);
  ::CloseHandle(held);
  std::vector<std::string> left = Matching(folder, "*");
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"MSCOMCTL.OCX", "tvl1a2b_1.tmp", "~tvl1a2b_1.dll",
                                            "~tvl1a2b_2.tmp"}));
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
  const std::string targets[] = {folder + "\\first.dll", folder + "\\second.dll"};
  for (const std::string& target : targets) ASSERT_TRUE(WriteWhole(target, "previous"));
  // Both at once: each start of a process costs a minute under emulation.
  Process first(ProgramPath(), std::string(kEndInPump) + " 1 \"" + targets[0] + "\"");
  Process second(ProgramPath(), std::string(kEndInPump) + " 2 \"" + targets[1] + "\"");
  EXPECT_EQ(first.Exit(), 41u);
  EXPECT_EQ(second.Exit(), 42u);
  EXPECT_EQ(ReadWhole(targets[0]), "previous") << "ended in the first pump";
  EXPECT_EQ(ReadWhole(targets[1]), kTestPayload) << "ended in the second pump";
  EXPECT_EQ(Matching(folder, "~tvl*"), std::vector<std::string>{});
}

TEST(SetupResources, EachPayloadStoredUnderItsUpperCaseNameWithId1Language1033ByteForByte) {
  EXPECT_EQ(StoreProblems(BuildPath(TARNVEL_SETUP_EXE), BuildPath(TARNVEL_PAYLOAD_DIR)),
            std::vector<std::string>{});
}

TEST(SetupResources, IconGroup1HoldsTheOneImage30001) {
  const HMODULE setup =
      ::LoadLibraryExA(BuildPath(TARNVEL_SETUP_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(setup, nullptr);
  const HRSRC group = ::FindResourceA(setup, MAKEINTRESOURCEA(1), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  const auto* entries = static_cast<const std::uint8_t*>(::LockResource(::LoadResource(setup, group)));
  EXPECT_EQ(::SizeofResource(setup, group), 6u + 14u);  // a header and one entry
  EXPECT_EQ(entries[4] | entries[5] << 8, 1);
  EXPECT_EQ(entries[18] | entries[19] << 8, 30001);
  EXPECT_NE(::FindResourceA(setup, MAKEINTRESOURCEA(30001), RT_ICON), nullptr);
  ::FreeLibrary(setup);
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
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
