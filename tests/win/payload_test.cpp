// Reads setup.exe's resources back through the Windows resource functions, as
// the program itself finds them, and runs each stand-in's registration.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "install/manifest.h"
#include "ui/resource_ids.h"

namespace tarnvel {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr char kMarkKey[] = "Software\\Tarnvel\\StandIn\\Registered";

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Upper(std::string text) {
  CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// Owns a module or an icon; released when it goes out of scope.
template <typename T, BOOL(WINAPI* Release)(T)>
class Owned {
 public:
  explicit Owned(T handle) : handle_(handle) {}
  ~Owned() {
    if (handle_) Release(handle_);
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  T Get() const { return handle_; }

 private:
  T handle_;
};

using Module = Owned<HMODULE, FreeLibrary>;
using Icon = Owned<HICON, DestroyIcon>;

// A resource's bytes, or empty when there is no such resource.
Bytes ResourceBytes(HMODULE module, LPCSTR type, LPCSTR name) {
  HRSRC found = FindResourceA(module, name, type);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const auto* data = static_cast<const std::uint8_t*>(LockResource(loaded));
  if (!data) return {};
  return Bytes(data, data + SizeofResource(module, found));
}

std::uint32_t Le(const Bytes& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes.at(at + i);
  return value;
}

class SetupResourcesTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    setup_ = LoadLibraryExA(TARNVEL_SETUP_EXE, nullptr,
                            LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  }
  static void TearDownTestSuite() {
    if (setup_) FreeLibrary(setup_);
    setup_ = nullptr;
  }
  void SetUp() override { ASSERT_NE(setup_, nullptr) << "cannot load " << TARNVEL_SETUP_EXE; }

  static HMODULE setup_;
};

HMODULE SetupResourcesTest::setup_ = nullptr;

TEST_F(SetupResourcesTest, PayloadStoreHoldsEachComponentByteForByteAtItsTableSize) {
  for (const Component& component : kManifest) {
    SCOPED_TRACE(component.name);
    const Bytes stored = ResourceBytes(setup_, Upper(component.name).c_str(), MAKEINTRESOURCEA(1));
    ASSERT_EQ(stored.size(), component.size);
    EXPECT_EQ(stored[0], 'M');
    EXPECT_EQ(stored[1], 'Z');
    const Bytes file = ReadFileBytes(std::string(TARNVEL_PAYLOAD_DIR "\\") + component.name);
    EXPECT_TRUE(stored == file) << "differs from the file bound in";
  }
}

BOOL CALLBACK CollectType(HMODULE, LPSTR type, LONG_PTR param) {
  if (!IS_INTRESOURCE(type)) reinterpret_cast<std::set<std::string>*>(param)->insert(type);
  return TRUE;
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
  reinterpret_cast<std::vector<std::string>*>(param)->push_back(
      IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : name);
  return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param) {
  reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
  return TRUE;
}

TEST_F(SetupResourcesTest, PayloadTypesAreTheUpperCaseNamesEachWithId1InLanguage1033Only) {
  std::set<std::string> types;
  EnumResourceTypesA(setup_, CollectType, reinterpret_cast<LONG_PTR>(&types));
  std::set<std::string> expected;
  for (const Component& component : kManifest) expected.insert(Upper(component.name));
  EXPECT_EQ(types, expected);  // and no other named type

  for (const std::string& type : expected) {
    SCOPED_TRACE(type);
    std::vector<std::string> names;
    EnumResourceNamesA(setup_, type.c_str(), CollectName, reinterpret_cast<LONG_PTR>(&names));
    EXPECT_EQ(names, std::vector<std::string>{"#1"});
    std::vector<WORD> languages;
    EnumResourceLanguagesA(setup_, type.c_str(), MAKEINTRESOURCEA(1), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{1033});
  }
}

TEST_F(SetupResourcesTest, NamesAsListedFindTheirUpperCaseEntries) {
  const struct {
    const char* listed;
    const char* stored;
  } cases[] = {{"Flash.ocx", "FLASH.OCX"}, {"agentctl.dll", "AGENTCTL.DLL"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.listed);
    HRSRC byListedName = FindResourceA(setup_, MAKEINTRESOURCEA(1), c.listed);
    ASSERT_NE(byListedName, nullptr);
    EXPECT_EQ(byListedName, FindResourceA(setup_, MAKEINTRESOURCEA(1), c.stored));
  }
}

TEST_F(SetupResourcesTest, IconGroup1HoldsOneImage30001Of32By32In16Colours) {
  const Bytes group =
      ResourceBytes(setup_, MAKEINTRESOURCEA(14), MAKEINTRESOURCEA(TARNVEL_IDI_PROGRAM));
  ASSERT_EQ(group.size(), 6u + 14u);  // GRPICONDIR with one entry
  EXPECT_EQ(Le(group, 2, 2), 1u);     // an icon
  EXPECT_EQ(Le(group, 4, 2), 1u);     // one image
  EXPECT_EQ(group[6], 32);
  EXPECT_EQ(group[7], 32);
  EXPECT_EQ(group[8], 16);
  EXPECT_EQ(Le(group, 12, 2), 4u);
  EXPECT_EQ(Le(group, 14, 4), 744u);
  EXPECT_EQ(Le(group, 18, 2), 30001u);
  // Windows picks that image for a 32 x 32 icon.
  EXPECT_EQ(LookupIconIdFromDirectoryEx(const_cast<PBYTE>(group.data()), TRUE, 32, 32, 0), 30001);

  Bytes image = ResourceBytes(setup_, MAKEINTRESOURCEA(3), MAKEINTRESOURCEA(30001));
  ASSERT_EQ(image.size(), 744u);
  EXPECT_EQ(Le(image, 4, 4), 32u);
  EXPECT_EQ(Le(image, 8, 4), 64u);
  EXPECT_EQ(Le(image, 14, 2), 4u);
  const Bytes icoFile = ReadFileBytes(TARNVEL_ART_DIR "\\program.ico");
  EXPECT_TRUE(std::equal(image.begin(), image.end(), icoFile.begin() + 22, icoFile.end()));
  Icon icon(CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()), TRUE,
                                     0x00030000, 32, 32, 0));
  EXPECT_NE(icon.Get(), nullptr);
}

TEST_F(SetupResourcesTest, PicturesAre24BitBitmapsOfTheirSizes) {
  const struct {
    int id;
    const char* file;
    std::uint32_t width, height, fileSize;
  } cases[] = {{TARNVEL_IDB_EMBLEM, "emblem.bmp", 97, 97, 28380},
               {TARNVEL_IDB_BANNER, "banner.bmp", 200, 80, 48054}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    // A bitmap resource is its file without the 14-byte file header.
    const Bytes stored = ResourceBytes(setup_, MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(c.id));
    ASSERT_EQ(stored.size(), c.fileSize - 14);
    EXPECT_EQ(Le(stored, 4, 4), c.width);
    EXPECT_EQ(Le(stored, 8, 4), c.height);
    EXPECT_EQ(Le(stored, 14, 2), 24u);
    EXPECT_EQ(Le(stored, 16, 4), static_cast<std::uint32_t>(BI_RGB));
    const Bytes file = ReadFileBytes(std::string(TARNVEL_ART_DIR "\\") + c.file);
    ASSERT_EQ(file.size(), c.fileSize);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), file.begin() + 14, file.end()));
  }
}

// A string of a version record's US English block. The W form reads the
// record as stored; the A form wants a buffer from GetFileVersionInfoA.
std::string VersionString(const Bytes& record, const char* key) {
  const std::string path = std::string("\\StringFileInfo\\040904B0\\") + key;
  const std::wstring widePath(path.begin(), path.end());
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(record.data(), widePath.c_str(), &value, &length) || length == 0) return "";
  std::string text;
  for (const wchar_t* c = static_cast<const wchar_t*>(value); *c; ++c) {
    text += static_cast<char>(*c);
  }
  return text;
}

VS_FIXEDFILEINFO FixedInfo(const Bytes& record) {
  void* value = nullptr;
  UINT length = 0;
  VS_FIXEDFILEINFO info{};
  if (VerQueryValueW(record.data(), L"\\", &value, &length) && length >= sizeof info) {
    std::memcpy(&info, value, sizeof info);
  }
  return info;
}

TEST_F(SetupResourcesTest, VersionRecordNamesTheProductAndVersion1000) {
  const Bytes record = ResourceBytes(setup_, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1));
  ASSERT_FALSE(record.empty());
  const VS_FIXEDFILEINFO info = FixedInfo(record);
  EXPECT_EQ(info.dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(info.dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(info.dwFileVersionLS, 0u);
  EXPECT_EQ(VersionString(record, "ProductName"), "Tarnvel Pre-installation Setup");
  EXPECT_EQ(VersionString(record, "CompanyName"), "Tarnvel");
  EXPECT_EQ(VersionString(record, "FileVersion"), "1.0.0.0");
  EXPECT_NE(VersionString(record, "FileDescription"), "");
}

TEST_F(SetupResourcesTest, ManifestAsksForAdministratorsSystemDpiAndCommonControls6) {
  const Bytes manifest = ResourceBytes(setup_, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
  const std::string text(manifest.begin(), manifest.end());
  EXPECT_NE(text.find("level=\"requireAdministrator\""), std::string::npos);
  EXPECT_NE(text.find(">true</dpiAware>"), std::string::npos);
  EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string::npos);
  EXPECT_NE(text.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);  // 10
  EXPECT_NE(text.find("{e2011457-1546-43c5-a5fe-008deee3d3f0}"), std::string::npos);  // Vista
}

// A copy of a stand-in under a name of its own in a folder of its own, so
// that its registration mark cannot be taken for a real install's. Removes
// the copy and the mark when done.
class StandInCopy {
 public:
  explicit StandInCopy(const std::string& name) : fileName_("payload_test_" + name) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "tarnvel_payload_test";
    CreateDirectoryA(folder_.c_str(), nullptr);
    path_ = folder_ + "\\" + fileName_;
    copied_ = CopyFileA((std::string(TARNVEL_STANDIN_DIR "\\") + name).c_str(), path_.c_str(),
                        FALSE) != 0;
  }
  ~StandInCopy() {
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kMarkKey, fileName_.c_str());
    DeleteFileA(path_.c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  StandInCopy(const StandInCopy&) = delete;
  StandInCopy& operator=(const StandInCopy&) = delete;

  bool Copied() const { return copied_; }
  const std::string& Path() const { return path_; }
  const std::string& FileName() const { return fileName_; }

 private:
  std::string fileName_, folder_, path_;
  bool copied_ = false;
};

// The registration mark of `name`: 1 when registered, -1 when absent.
long Mark(const std::string& name) {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, kMarkKey, name.c_str(), RRF_RT_REG_DWORD, nullptr, &value,
                   &size) != ERROR_SUCCESS) {
    return -1;
  }
  return static_cast<long>(value);
}

TEST(StandInTest, EachRegistersUnderItsOwnFileNameAndUnregistersAgain) {
  using Entry = HRESULT(STDAPICALLTYPE*)();
  for (const Component& component : kManifest) {
    SCOPED_TRACE(component.name);
    StandInCopy copy(component.name);
    ASSERT_TRUE(copy.Copied());
    Module dll(LoadLibraryExA(copy.Path().c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    ASSERT_NE(dll.Get(), nullptr) << GetLastError();
    const auto registerServer =
        reinterpret_cast<Entry>(GetProcAddress(dll.Get(), "DllRegisterServer"));
    const auto unregisterServer =
        reinterpret_cast<Entry>(GetProcAddress(dll.Get(), "DllUnregisterServer"));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_NE(unregisterServer, nullptr);

    ASSERT_EQ(Mark(copy.FileName()), -1);
    EXPECT_EQ(registerServer(), S_OK);
    EXPECT_EQ(Mark(copy.FileName()), 1);
    EXPECT_EQ(unregisterServer(), S_OK);
    EXPECT_EQ(Mark(copy.FileName()), -1);
  }
}

TEST(StandInTest, VersionRecordCarriesTheTablesVersionAndSaysWhatItStandsFor) {
  for (const Component& component : kManifest) {
    SCOPED_TRACE(component.name);
    // Read from a copy: Wine answers some of these names with its own DLLs.
    StandInCopy copy(component.name);
    ASSERT_TRUE(copy.Copied());
    Module dll(LoadLibraryExA(copy.Path().c_str(), nullptr,
                              LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_NE(dll.Get(), nullptr) << GetLastError();
    const Bytes record = ResourceBytes(dll.Get(), MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1));
    ASSERT_FALSE(record.empty());
    EXPECT_EQ(VersionString(record, "FileVersion"), component.fileVersion);
    const std::string subject = *component.description ? component.description : component.name;
    EXPECT_EQ(VersionString(record, "FileDescription"), "Tarnvel stand-in for " + subject);
    EXPECT_EQ(VersionString(record, "OriginalFilename"), component.name);
    const VS_FIXEDFILEINFO info = FixedInfo(record);
    const std::string fixed = std::to_string(HIWORD(info.dwFileVersionMS)) + "." +
                              std::to_string(LOWORD(info.dwFileVersionMS)) + "." +
                              std::to_string(HIWORD(info.dwFileVersionLS)) + "." +
                              std::to_string(LOWORD(info.dwFileVersionLS));
    EXPECT_EQ(fixed, component.fileVersion);
  }
}

}  // namespace
}  // namespace tarnvel
