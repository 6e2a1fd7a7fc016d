// A scripted platform for host tests: files in memory, queued message-box
// answers, a hook run at every event pump (so handlers run inside pumps as on
// Windows), and everything the program asks of it written down in `events`.
// The end of the program is thrown as Ended; a backend counts created views.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/platform.h"
#include "install/image_version.h"
#include "ui/toolkit.h"

namespace tarnvel::test {

struct Ended {
  int code;
};  // thrown by EndProgram
struct Unscripted {
  std::string box;
};  // a question the test has no answer for

inline std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}
inline std::string Bytes(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

class FakePlatform : public Platform {
 public:
  struct File {
    std::string bytes;
    bool readOnly = false, hidden = false, system = false, directory = false;
    bool locked = false, denied = false;  // held open without sharing; access denied
  };

  std::string commandLine = "setup.exe";
  std::string wow64Directory;            // empty: not a 32-bit program on 64-bit Windows
  std::set<std::string> protectedFiles;  // by the path Windows knows them by
  FileProtection::Asked fileProtection = FileProtection::Asked::kAnswered;
  std::string systemDirectory = "C:\\WINDOWS\\system32";  // empty: it cannot be determined
  std::deque<int> answers;
  std::function<void(int)> onPump;                   // gets the pump's index, from 0
  std::function<void(const std::string&)> onReport;  // after a log "line" and a "box"
  std::map<std::string, File> files;
  std::map<std::string, std::string> payloads;  // by upper-case type name
  std::set<std::string> failWrite, failClose;
  std::vector<std::string> leftovers;  // what a sweep deletes
  bool otherSetupRunning = false;
  DisplayFacts display = {1u, 1u, true};            // WinSta0 in a user's session
  std::optional<OutputStep> restartRefused;         // that queueing step fails, access denied
  std::vector<std::string> renamesAtRestart;        // "FROM > TO: BYTES"
  std::map<std::string, std::string> queuedBefore;  // by an earlier run: the source by target
  std::map<std::string, std::string> runOnce;       // command lines by name
  // Exit codes by component name; none: runs past any deadline. A file's
  // second registration takes its code from exitCodesAgain.
  std::map<std::string, std::optional<std::uint32_t>> exitCodes, exitCodesAgain;
  std::map<std::string, File> kept;   // old files kept beside their targets, by path
  std::set<std::string> unkeepable;   // targets whose old file cannot be kept
  std::set<std::string> loaded;       // targets a program loaded once written: no put back
  std::uint32_t clock = 0xFFFF0000u;  // wraps during a run's wait

  // Written down: events ("pump", "open PATH", ...), boxes ("TITLE|PROMPT|0xFLAGS"), process
  // starts ("IMAGE|COMMAND LINE") and log lines.
  std::vector<std::string> events, boxes, starts, log;
  std::map<std::uint32_t, std::optional<std::uint32_t>> processes;  // exit codes by id
  std::optional<std::string> output;
  OutputFailure failure;
  int pumps = 0;

  std::string CommandLine() override { return commandLine; }
  int ShowMessageBox(const std::string& prompt, const std::string& title, unsigned flags) override {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", flags);
    boxes.push_back(title + "|" + prompt + "|" + hex);
    if (onReport) onReport("box");
    if ((flags & 0xF) == kMbOk) return kIdOk;
    if (answers.empty()) throw Unscripted{boxes.back()};
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  [[noreturn]] void EndProgram(int code) override {
    output.reset();
    throw Ended{code};
  }
  void PumpEvents() override {
    events.push_back("pump");
    if (onPump) onPump(pumps++);
  }
  std::string SystemDirectory() override { return systemDirectory; }
  std::string Wow64SystemDirectory() override { return wow64Directory; }
  // Versions are read from the bytes, as on Windows.
  std::optional<std::uint64_t> FileVersion(const std::string& path) override {
    const File* f = Seen("version ", path);
    if (!f) return std::nullopt;
    return ImageFileVersion(reinterpret_cast<const std::uint8_t*>(f->bytes.data()),
                            f->bytes.size());
  }
  bool FileHolds(const std::string& path, const std::uint8_t* data, std::size_t size) override {
    const File* f = Seen("compare ", path);
    return f && f->bytes == Bytes(data, size);
  }
  FileProtection FileProtected(const std::string& path) override {
    Seen("protected? ", path);
    const bool asked = fileProtection == FileProtection::Asked::kAnswered;
    return {fileProtection, asked && protectedFiles.count(path) != 0,
            fileProtection == FileProtection::Asked::kNoFunction ? "C:\\here\\sfc.dll" : ""};
  }
  bool ResetAttributes(const std::string& path) override {
    File* f = Seen("attributes ", path);
    if (!f) return Failed(OutputStep::kAttributes, 2);  // ERROR_FILE_NOT_FOUND
    f->readOnly = f->hidden = f->system = false;
    return true;
  }
  // Like a plain open for writing: creates a missing file, refuses a
  // read-only one.
  bool OpenOutput(const std::string& path) override {
    const File* f = Seen("open ", path);
    if (output) return Failed(OutputStep::kOpen, 170);         // ERROR_BUSY
    if (f && f->locked) return Failed(OutputStep::kOpen, 32);  // ERROR_SHARING_VIOLATION
    if (f && (f->readOnly || f->directory || f->denied))
      return Failed(OutputStep::kOpen, 5);  // ERROR_ACCESS_DENIED
    output = path;
    return true;
  }
  bool WriteOutput(const std::uint8_t* data, std::size_t size) override {
    events.push_back("write " + output.value());
    if (failWrite.count(*output)) return Failed(OutputStep::kWrite, 112);  // ERROR_DISK_FULL
    files[*output].bytes = Bytes(data, size);
    return true;
  }
  bool CloseOutput() override {
    events.push_back("close " + output.value());
    const bool closed = failClose.count(*output) == 0;
    output.reset();
    return closed || Failed(OutputStep::kClose, 5);
  }
  // The temporary file lies beside the target, by the name Windows knows.
  bool ReplaceAtRestart(const std::string& path, const std::string& knownPath,
                        const std::uint8_t* data, std::size_t size, std::string& queued) override {
    events.push_back("restart " + path);
    if (restartRefused == OutputStep::kQueueRename) return Failed(OutputStep::kQueueRename, 5);
    queued = knownPath.substr(0, knownPath.rfind('\\') + 1) + "~tvl1_1.tmp";
    renamesAtRestart.push_back(queued + " > " + knownPath + ": " + Bytes(data, size));
    return true;
  }
  std::string QueuedReplacement(const std::string& knownPath) override {
    const auto it = queuedBefore.find(knownPath);
    return it == queuedBefore.end() ? "" : it->second;
  }
  bool RenameAtRestart(const std::string& path, const std::string& knownPath,
                       std::string& queued) override {
    events.push_back("queue " + path);
    if (restartRefused == OutputStep::kQueueRename) return Failed(OutputStep::kQueueRename, 5);
    queued = knownPath.substr(0, knownPath.rfind('\\')) + path.substr(path.rfind('\\'));
    renamesAtRestart.push_back(queued + " > " + knownPath + ": " + kept.at(path).bytes);
    return true;
  }
  bool KeepBeside(const std::string& path, std::string& keptAs) override {
    const File* f = Seen("keep ", path);
    if (unkeepable.count(path)) return Failed(OutputStep::kKeep, 50);  // ERROR_NOT_SUPPORTED
    keptAs = path.substr(0, path.rfind('\\') + 1) + "~tvl2_" + std::to_string(kept.size()) + ".tmp";
    kept[keptAs] = *f;
    return true;
  }
  bool PutBack(const std::string& keptAs, const std::string& path) override {
    if (Seen("putback ", path) && loaded.count(path)) return Failed(OutputStep::kOpen, 32);
    files[path] = kept.at(keptAs);
    kept.erase(keptAs);
    return true;
  }
  void DeleteKept(const std::string& keptAs) override { kept.erase(keptAs); }
  bool RunAtRestart(const std::string& name, const std::string& commandLine) override {
    events.push_back("runonce");
    if (restartRefused == OutputStep::kQueueRegistration)
      return Failed(OutputStep::kQueueRegistration, 5);
    runOnce[name] = commandLine;
    return true;
  }
  DisplayFacts Display() override { return display; }
  bool TakeSetupLock() override {
    events.push_back("lock");
    return !otherSetupRunning;
  }
  std::vector<std::string> SweepTemporaryFiles(const std::string& directory) override {
    events.push_back("sweep " + directory);
    return leftovers;
  }
  bool LoadPayload(const std::string& type, int id, PayloadView& payload) override {
    events.push_back("load " + type);
    const auto it = payloads.find(Upper(type));
    if (id != 1 || it == payloads.end()) return Failed(OutputStep::kLoad, 1813);
    payload = {reinterpret_cast<const std::uint8_t*>(it->second.data()), it->second.size()};
    return true;
  }
  std::uint32_t StartProcess(const std::string& image, const std::string& commandLine,
                             const std::string&) override {
    events.push_back("start");
    starts.push_back(image + "|" + commandLine);
    const std::string name = commandLine.substr(commandLine.rfind('\\') + 1);
    const auto& codes =
        std::count(starts.begin(), starts.end(), starts.back()) > 1 ? exitCodesAgain : exitCodes;
    const auto scripted = codes.find(name.substr(0, name.size() - 1));  // less the quote
    const auto id = static_cast<std::uint32_t>(100 + 4 * starts.size());
    processes[id] = scripted == codes.end() ? std::optional<std::uint32_t>(0) : scripted->second;
    return id;
  }
  std::optional<std::uint32_t> ExitCode(std::uint32_t id) override { return processes.at(id); }
  void WaitForProcessOrEvent(const std::vector<std::uint32_t>&, std::uint32_t ms) override {
    events.push_back("wait");  // the time it passes shows on the clock
    clock += ms;
  }
  std::uint32_t Milliseconds() override { return clock; }
  OutputFailure LastOutputFailure() override { return failure; }
  std::optional<std::uint32_t> FileAttributes(const std::string& path) override {
    const File* f = Seen("presence ", path);
    if (!f) return std::nullopt;
    return (f->hidden ? kAttributeHidden : 0) | (f->system ? kAttributeSystem : 0) |
           (f->directory ? kAttributeDirectory : 0);
  }
  std::string ErrorText(std::uint32_t error) override { return "text of " + std::to_string(error); }
  std::string ProgramVersion() override { return "1.2.3.4"; }
  void Log(const std::string& line) override {
    log.push_back(line);
    if (onReport) onReport("line");
  }

 protected:
  // The end after a fault, recorded like the rest.
  void LogWithoutHeap(const char* line) override { Log(line); }
  void ShowMessageBoxWithoutHeap(const char* prompt, const char* title, unsigned flags) override {
    ShowMessageBox(prompt, title, flags);
  }
  [[noreturn]] void EndAtOnce(int code) override {
    output.reset();
    throw Ended{code};
  }

 private:
  // Notes the event and finds the file it is about.
  File* Seen(const char* event, const std::string& path) {
    events.push_back(event + path);
    const auto it = files.find(path);
    return it == files.end() ? nullptr : &it->second;
  }
  bool Failed(OutputStep step, std::uint32_t error) {
    failure = {step, error};
    return false;
  }
};

// Counts the windows the program creates.
class CountingBackend : public ui::Backend {
 public:
  CountingBackend() { ui::SetBackend(this); }
  ~CountingBackend() override { ui::SetBackend(nullptr); }
  int views = 0;
  std::vector<std::string> repaints;

  std::unique_ptr<ui::FormView> CreateView(ui::Form&) override {
    ++views;
    return std::make_unique<View>(repaints);
  }
  Insets FrameInsets(const ui::Form&) override { return {3, 22, 3, 3}; }
  int Dpi() override { return 96; }

 private:
  struct View : ui::FormView {
    explicit View(std::vector<std::string>& r) : repaints(r) {}
    void FormChanged() override {}
    void ControlChanged(ui::Control&) override {}
    void RepaintNow(ui::Control& c) override { repaints.push_back(c.Name()); }
    std::vector<std::string>& repaints;
  };
};

}  // namespace tarnvel::test
