#include "gui_targets.h"

#include <cstdio>
#include <memory>
#include <utility>

namespace tarnvel::e2e {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

std::string SystemDirectory() {
  char buffer[MAX_PATH] = {};
  GetSystemDirectoryA(buffer, MAX_PATH);
  return buffer;
}

std::string ReadWholeFile(const std::string& path) {
  std::string content;
  UniqueFile file(std::fopen(path.c_str(), "rb"));
  if (!file) return content;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0;) {
    content.append(chunk, n);
  }
  return content;
}

PlacedTarget::PlacedTarget(std::string name, std::string payloadDir)
    : name_(std::move(name)),
      payloadDir_(std::move(payloadDir)),
      path_(SystemDirectory() + "\\" + name_),
      placeholder_("Tarnvel end-to-end placeholder for " + name_ + "\r\n") {
  if (GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES && !LeftByEarlierRun()) {
    error_ = path_ + " already exists and was not made by these tests: left alone";
    return;
  }
  SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
  UniqueFile file(std::fopen(path_.c_str(), "wb"));
  if (!file ||
      std::fwrite(placeholder_.data(), 1, placeholder_.size(), file.get()) != placeholder_.size()) {
    error_ = "cannot write " + path_;
    return;
  }
  placed_ = true;
}

PlacedTarget::~PlacedTarget() {
  if (placed_) DeleteFileA(path_.c_str());
}

bool PlacedTarget::Rewritten() const {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return GetFileAttributesExA(path_.c_str(), GetFileExInfoStandard, &data) &&
         data.nFileSizeLow != placeholder_.size();
}

bool PlacedTarget::LeftByEarlierRun() const {
  const std::string content = Content();
  return content == placeholder_ || (!content.empty() && content == Payload());
}

LockedFile::LockedFile(const std::string& path)
    : handle_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {}

}  // namespace tarnvel::e2e
