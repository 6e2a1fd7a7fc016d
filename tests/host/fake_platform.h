// A scripted platform for host tests: files in memory, queued message-box
// answers, a hook run at every event pump (so handlers run inside pumps as on
// Windows), and everything the program asks of it written down in `events`.
// The end of the program is thrown as Ended; a backend counts created views.
#pragma once

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
#include "ui/toolkit.h"

namespace tarnvel::test {

struct Ended {  // thrown by EndProgram
  int code;
};
struct Unscripted {  // a question the test has no answer for
  std::string box;
};

inline std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

class FakePlatform : public Platform {
 public:
  struct File {
    std::string bytes;
    bool readOnly = false, hidden = false, system = false, directory = false;
    bool locked = false;  // held open by another program without sharing
  };

  std::string commandLine = "setup.exe";
  std::string systemDirectory = "C:\\WINDOWS\\system32";  // empty: it cannot be determined
  std::deque<int> answers;
  std::function<void(int)> onPump;  // gets the pump's index, from 0
  std::map<std::string, File> files;
  std::map<std::string, std::string> payloads;  // by upper-case type name
  std::set<std::string> failWrite, failClose;

  std::vector<std::string> events;  // "pump", "open PATH", "box TITLE", ...
  std::vector<std::string> boxes;   // "TITLE|PROMPT|0xFLAGS"
  std::vector<std::string> starts;  // "IMAGE|COMMAND LINE"
  std::optional<std::string> output;
  int pumps = 0;

  std::string CommandLine() override { return commandLine; }
  int ShowMessageBox(const std::string& prompt, const std::string& title, unsigned flags) override {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", flags);
    boxes.push_back(title + "|" + prompt + "|" + hex);
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
    const int index = pumps++;
    if (onPump) onPump(index);
  }
  std::string SystemDirectory() override { return systemDirectory; }
  std::string FilePresence(const std::string& path) override {
    events.push_back("presence " + path);
    const auto it = files.find(path);
    if (it == files.end() || it->second.hidden || it->second.system || it->second.directory)
      return "";
    return path.substr(path.rfind('\\') + 1);
  }
  bool ResetAttributes(const std::string& path) override {
    events.push_back("attributes " + path);
    const auto it = files.find(path);
    if (it == files.end()) return false;
    it->second.readOnly = it->second.hidden = it->second.system = false;
    return true;
  }
  // Like a plain open for writing: creates a missing file, refuses a
  // read-only one.
  bool OpenOutput(const std::string& path) override {
    events.push_back("open " + path);
    const auto it = files.find(path);
    if (output ||
        (it != files.end() && (it->second.readOnly || it->second.directory || it->second.locked)))
      return false;
    output = path;
    return true;
  }
  bool WriteOutput(const std::uint8_t* data, std::size_t size) override {
    events.push_back("write " + output.value());
    if (failWrite.count(*output)) return false;
    files[*output].bytes.assign(reinterpret_cast<const char*>(data), size);
    return true;
  }
  bool CloseOutput() override {
    events.push_back("close " + output.value());
    const bool closed = failClose.count(*output) == 0;
    output.reset();
    return closed;
  }
  void SweepTemporaryFiles(const std::string& directory) override {
    events.push_back("sweep " + directory);
  }
  bool LoadPayload(const std::string& type, int id, PayloadView& payload) override {
    events.push_back("load " + type);
    const auto it = payloads.find(Upper(type));
    if (id != 1 || it == payloads.end()) return false;
    payload = {reinterpret_cast<const std::uint8_t*>(it->second.data()), it->second.size()};
    return true;
  }
  bool StartProcess(const std::string& image, const std::string& commandLine,
                    const std::string&) override {
    events.push_back("start");
    starts.push_back(image + "|" + commandLine);
    return true;
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
