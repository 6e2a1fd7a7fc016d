#include "fake_platform.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace tarnvel {

namespace {
std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}
}  // namespace

int FakePlatform::MessageBox(const std::string& prompt, const std::string& title, unsigned flags) {
  boxes.push_back({prompt, title, flags});
  events.push_back("box " + title);
  if ((flags & 0xF) == kMbOk) return kIdOk;
  if (answers.empty()) throw UnscriptedBox("unscripted message box: " + title);
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

void FakePlatform::EndProgram(int code) {
  events.push_back("end " + std::to_string(code));
  exitCode = code;
  if (openOutput) {
    outputAbandonedAtEnd = true;  // the temporary file goes; the target stays
    openOutput.reset();
  }
  throw ProgramEnded{code};
}

void FakePlatform::PumpEvents() {
  const int index = pumpCount++;
  events.push_back("pump");
  auto it = pumpActions.find(index);
  if (it != pumpActions.end()) {
    auto action = std::move(it->second);
    pumpActions.erase(it);
    action();
  }
}

unsigned FakePlatform::GetSystemDirectoryA(char* buffer, unsigned size) {
  if (systemDirectoryFails) return 0;
  const unsigned length = static_cast<unsigned>(systemDirectory.size());
  if (length + 1 > size) return length + 1;
  std::memcpy(buffer, systemDirectory.c_str(), length + 1);
  return length;
}

std::string FakePlatform::FilePresence(const std::string& path) {
  auto it = files.find(path);
  if (it == files.end()) return "";
  const File& f = it->second;
  if (f.hidden || f.system || f.directory) return "";
  const auto slash = path.find_last_of('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool FakePlatform::ResetAttributes(const std::string& path) {
  events.push_back("attributes " + path);
  auto it = files.find(path);
  if (it == files.end() || it->second.directory) return false;
  it->second.readOnly = it->second.hidden = it->second.system = it->second.archive = false;
  return true;
}

bool FakePlatform::OpenOutput(const std::string& path) {
  events.push_back("open " + path);
  if (openOutput) return false;  // one output file at a time
  auto it = files.find(path);
  if (it == files.end() || it->second.locked || it->second.readOnly || it->second.directory)
    return false;
  openOutput = path;
  return true;
}

bool FakePlatform::WriteOutput(const std::uint8_t* data, std::size_t size) {
  if (!openOutput) return false;
  events.push_back("write " + *openOutput);
  if (failWriteFor.count(*openOutput)) return false;  // target keeps its bytes
  File& f = files[*openOutput];
  f.bytes.assign(data, data + size);
  f.archive = true;
  return true;
}

bool FakePlatform::CloseOutput() {
  if (!openOutput) return false;
  events.push_back("close " + *openOutput);
  const bool closed = failCloseFor.count(*openOutput) == 0;
  openOutput.reset();  // released either way
  return closed;
}

bool FakePlatform::LoadPayload(const std::string& typeName, int id, PayloadView& payload) {
  events.push_back("load " + typeName);
  if (id != 1) return false;
  for (auto& [type, bytes] : payloads) {
    if (Upper(type) == Upper(typeName)) {
      payload.data = bytes.data();
      payload.size = bytes.size();
      return true;
    }
  }
  return false;
}

bool FakePlatform::StartProcess(const std::string& image, const std::string& commandLine,
                                const std::string& workingDirectory) {
  events.push_back("start " + commandLine);
  if (failProcessStart) return false;
  processStarts.push_back({image, commandLine, workingDirectory});
  return true;
}

}  // namespace tarnvel
