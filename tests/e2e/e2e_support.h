// What the end-to-end tests share: setup.exe and its payloads, the targets
// of one test in the system directory, and the stand-in regsvr32.exe.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "driver.h"
#include "install/manifest.h"

namespace tarnvel::test {

inline const std::string kSetupExe = BuildPath(TARNVEL_SETUP_EXE);
inline const std::string kPayloads = BuildPath(TARNVEL_PAYLOAD_DIR);
constexpr char kMarkKey[] = "Software\\Tarnvel\\StandIn\\Registered";
// The stand-in regsvr32.exe counts its calls here, by command line.
constexpr char kCallsKey[] = "Software\\Tarnvel\\StandIn\\Calls";

inline std::string Target(const std::string& name) { return SystemDirectory() + "\\" + name; }
inline std::string Payload(const std::string& name) {
  return ReadWhole(kPayloads + "\\" + name).value_or("(missing)");
}

// The text of each log in `folder`, oldest first.
inline std::vector<std::string> LogTexts(const std::string& folder) {
  std::vector<std::string> texts;
  for (const std::string& name : LogsIn(folder))
    texts.push_back(ReadWhole(folder + "\\" + name).value_or(""));
  return texts;
}
inline void ExpectLines(const std::string& log, std::initializer_list<std::string> lines) {
  for (const std::string& line : lines)
    EXPECT_NE(log.find(line), std::string::npos) << line << " in\n" << log;
}

// A genuine stand-in that tells another file version: its version record's
// binary version patched in place.
inline std::string WithVersion(std::string image, DWORD ms, DWORD ls) {
  const std::size_t fixed = image.find("\xBD\x04\xEF\xFE");
  if (fixed == std::string::npos || fixed + 16 > image.size()) return "";
  std::memcpy(&image[fixed + 8], &ms, 4);
  std::memcpy(&image[fixed + 12], &ls, 4);
  return image;
}

// Each stand-in's DllRegisterServer leaves a value named after its file.
inline bool Registered(const std::string& name) {
  return ::RegGetValueA(HKEY_CURRENT_USER, kMarkKey, name.c_str(), RRF_RT_REG_DWORD, nullptr,
                        nullptr, nullptr) == ERROR_SUCCESS;
}

// Registrations run beside the setup and outlive it.
inline bool NoRegistrationRunning() {
  for (const PROCESSENTRY32& entry : Processes())
    if (_stricmp(entry.szExeFile, "regsvr32.exe") == 0) return false;
  return true;
}

// The components Wine puts in the system directory itself (the rig's
// TARNVEL_WINE_OWN_DLLS), by their manifest names.
inline const std::set<std::string> kWinesOwn = {"COMCAT.DLL",   "oleaut32.dll", "olepro32.dll",
                                                "RICHED32.DLL", "shlwapi.dll",  "uxtheme.dll",
                                                "wshom.ocx"};

// The component files of one test. Before and after it, no component is
// present in the system directory but Wine's own.
class Targets {
 public:
  Targets() { Clear(); }
  ~Targets() { Clear(); }
  void Place(const std::string& name) { Place(name, OlderCopy(name)); }
  void Place(const std::string& name, const std::string& bytes, DWORD attributes = 0) {
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kMarkKey, name.c_str());
    ASSERT_TRUE(WriteWhole(Target(name), bytes, attributes)) << name;
  }

 private:
  static void Clear() {
    EXPECT_TRUE(WaitUntil("the last regsvr32.exe to end", NoRegistrationRunning));
    for (const Component& component : kManifest)
      if (kWinesOwn.count(component.name) == 0) Remove(Target(component.name));
  }
};

// Where every planted program and DLL leaves its mark when it runs or is
// loaded (a file named after it), for this process and those it starts.
inline const std::string& PlantMarks() {
  static const std::string marks = [] {
    const std::string folder = NewFolder("tarnvel_plant_marks");
    ::SetEnvironmentVariableA("TARNVEL_PLANT_MARKS", folder.c_str());
    return folder;
  }();
  return marks;
}

// setup.exe copied into a new folder with a regsvr32.exe and, under the name
// of every library the setup loads or brings in, and of those installers have
// been caught loading from their own folder, a DLL: all of them mark
// PlantMarks() if they run.
inline std::string PlantedSetup(const std::string& name) {
  const std::string folder = NewFolder(name);
  PlantMarks();
  EXPECT_TRUE(Copy(BuildPath(TARNVEL_PLANTED_REGSVR32), folder + "\\regsvr32.exe"));
  for (const char* library :
       {"user32",  "gdi32",    "advapi32", "sfc",      "sfc_os",  "uxtheme", "dwmapi",  "cryptbase",
        "version", "comctl32", "msimg32",  "winmm",    "profapi", "userenv", "imm32",   "msctf",
        "oleacc",  "apphelp",  "propsys",  "setupapi", "ntmarta", "clbcatq", "secur32", "msvcrt"})
    EXPECT_TRUE(Copy(BuildPath(TARNVEL_PLANT_DLL), folder + "\\" + library + ".dll"));
  EXPECT_TRUE(Copy(kSetupExe, folder + "\\setup.exe"));
  return folder + "\\setup.exe";
}

// The system's regsvr32.exe is the stand-in while this lives.
class StandInRegsvr32 {
 public:
  StandInRegsvr32() : backup_(NewFolder("tarnvel_regsvr32") + "\\regsvr32.exe") {
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kCallsKey);
    EXPECT_TRUE(Copy(kTool, backup_));
    EXPECT_TRUE(Copy(BuildPath(TARNVEL_STAND_IN_REGSVR32), kTool));
  }
  ~StandInRegsvr32() {
    EXPECT_TRUE(WaitUntil("the stand-in's registrations to end", NoRegistrationRunning));
    EXPECT_TRUE(Copy(backup_, kTool)) << "regsvr32.exe not restored";
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kCallsKey);
  }
  // How often it ran with that whole command line.
  static DWORD Calls(const std::string& commandLine) {
    DWORD count = 0, size = sizeof count;
    ::RegGetValueA(HKEY_CURRENT_USER, kCallsKey, commandLine.c_str(), RRF_RT_REG_DWORD, nullptr,
                   &count, &size);
    return count;
  }

 private:
  const std::string kTool = Target("regsvr32.exe");
  std::string backup_;
};

}  // namespace tarnvel::test
