// Component files put into the system directory for one scenario, so the
// install run finds its targets present, and taken away afterwards.
#pragma once

#include <string>

#include "gui_driver.h"

namespace tarnvel::e2e {

std::string SystemDirectory();
std::string ReadWholeFile(const std::string& path);

class PlacedTarget {
 public:
  // Writes a placeholder under `name`; `payloadDir` holds the component
  // files bound into setup.exe, named as in the manifest.
  PlacedTarget(std::string name, std::string payloadDir);
  ~PlacedTarget();  // removes the file again
  PlacedTarget(const PlacedTarget&) = delete;
  PlacedTarget& operator=(const PlacedTarget&) = delete;

  bool Placed() const { return placed_; }
  const std::string& Error() const { return error_; }
  const std::string& Name() const { return name_; }
  const std::string& Path() const { return path_; }
  std::string Content() const { return ReadWholeFile(path_); }
  std::string Payload() const { return ReadWholeFile(payloadDir_ + "\\" + name_); }
  bool Unchanged() const { return Content() == placeholder_; }
  // Looks at the size only: an open handle here could make the program's
  // replace of the file fail.
  bool Rewritten() const;

 private:
  bool LeftByEarlierRun() const;

  std::string name_;
  std::string payloadDir_;
  std::string path_;
  std::string placeholder_;
  std::string error_;
  bool placed_ = false;
};

// Holds a file open without sharing, so no one else can open it.
class LockedFile {
 public:
  explicit LockedFile(const std::string& path);
  bool Locked() const { return handle_.Valid(); }
  void Unlock() { handle_.Reset(); }

 private:
  UniqueHandle handle_;
};

}  // namespace tarnvel::e2e
