// A scripted platform for host tests: message-box answers queued, event
// pumps that deliver scripted clicks (so handlers run inside pumps as on
// Windows), files in memory, process starts recorded, and the end of the
// program observable as an exception.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/platform.h"

namespace tarnvel {

class FakePlatform : public Platform {
 public:
  // Thrown by EndProgram; a test catches it to see how the program ended.
  struct ProgramEnded {
    int exitCode;
  };
  // Thrown by a box that asks a question the script has no answer for.
  struct UnscriptedBox : std::runtime_error {
    using std::runtime_error::runtime_error;
  };

  struct Box {
    std::string prompt;
    std::string title;
    unsigned flags;
  };
  struct File {
    std::vector<std::uint8_t> bytes;
    bool readOnly = false;
    bool hidden = false;
    bool system = false;
    bool archive = false;
    bool directory = false;
    bool locked = false;  // held open by another program without sharing
  };
  struct ProcessStart {
    std::string image;
    std::string commandLine;
    std::string workingDirectory;
  };

  // ---- Script
  std::string commandLine = "setup.exe";
  std::deque<int> answers;  // message-box answers, first asked first used
  // Actions run by successive pumps: pump n runs pumpActions[n] if present.
  std::map<int, std::function<void()>> pumpActions;
  std::string systemDirectory = "C:\\WINDOWS\\system32";
  bool systemDirectoryFails = false;
  std::map<std::string, File> files;                          // by full path, compared exactly
  std::map<std::string, std::vector<std::uint8_t>> payloads;  // by type name
  std::set<std::string> failWriteFor;                         // paths whose write fails (disk full)
  std::set<std::string> failCloseFor;                         // paths whose close fails
  bool failProcessStart = false;

  // ---- Observations
  std::vector<Box> boxes;
  std::vector<std::string> events;  // "pump", "open PATH", "write PATH", ...
  std::vector<ProcessStart> processStarts;
  int pumpCount = 0;
  std::optional<int> exitCode;
  bool outputAbandonedAtEnd = false;
  std::optional<std::string> openOutput;

  static std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
  }

  // ---- Platform
  std::string CommandLine() override { return commandLine; }
  int MessageBox(const std::string& prompt, const std::string& title, unsigned flags) override;
  [[noreturn]] void EndProgram(int code) override;
  void PumpEvents() override;
  unsigned GetSystemDirectoryA(char* buffer, unsigned size) override;
  std::string FilePresence(const std::string& path) override;
  bool ResetAttributes(const std::string& path) override;
  bool OpenOutput(const std::string& path) override;
  bool WriteOutput(const std::uint8_t* data, std::size_t size) override;
  bool CloseOutput() override;
  void SweepTemporaryFiles(const std::string& directory) override {
    events.push_back("sweep " + directory);
  }
  bool LoadPayload(const std::string& typeName, int id, PayloadView& payload) override;
  bool StartProcess(const std::string& image, const std::string& commandLine,
                    const std::string& workingDirectory) override;
};

}  // namespace tarnvel
