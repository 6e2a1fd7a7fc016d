// This run's log file, and the program's own file version for its first line.
#pragma once

#include <string>

#include "app/win32_handles.h"

namespace tarnvel {

// "Tarnvel setup 2026-12-07 #003.log" in the temporary folder: the day's
// runs numbered on from the highest number there, so that the newest sorts
// last, and created new, so that no other run's log is ever overwritten.
// Opened on the first line; a log that cannot be opened or written is given
// up quietly.
class RunLogFile {
 public:
  // One line, after the local time to the millisecond. Leaves the caller's
  // last error as it was.
  void Add(const std::string& line);
  // The same without heap memory, for the end after a fault; cut short when
  // longer than FixedText holds. Nothing when the log is not open yet:
  // opening it would take heap memory.
  void AddWithoutHeap(const char* line);

 private:
  bool Open();
  void Write(const char* text, std::size_t size);

  UniqueHandle file_;
  bool tried_ = false;
};

// FILEVERSION of the executable's version resource, "1.0.0.0"; "unknown"
// without one. Read from the resource itself: version.dll would be one more
// library to load for it alone.
std::string OwnFileVersion();

}  // namespace tarnvel
