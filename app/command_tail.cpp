#include "app/command_tail.h"

#include "app/platform.h"

namespace tarnvel {

std::string CommandTailOf(const std::string& commandLine) {
  std::size_t pos = 0;
  const std::size_t n = commandLine.size();
  if (n > 0 && commandLine[0] == '"') {
    pos = commandLine.find('"', 1);
    pos = (pos == std::string::npos) ? n : pos + 1;
  } else {
    while (pos < n && commandLine[pos] != ' ') ++pos;
  }
  while (pos < n && commandLine[pos] == ' ') ++pos;
  return commandLine.substr(pos);
}

std::string Platform::CommandTail() { return CommandTailOf(CommandLine()); }

}  // namespace tarnvel
