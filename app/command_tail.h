#pragma once

#include <string>

namespace tarnvel {

// The tail of a command line: the program's name ends at its closing double
// quote when it begins with one, else at the first blank; every blank after
// the name is skipped; the rest, trailing blanks included, is the tail.
std::string CommandTailOf(const std::string& commandLine);

// The silent run is chosen by exactly this tail, case included.
constexpr const char* kSilentTail = "/s";

}  // namespace tarnvel
