// The security of a file that output replaces, carried over to its
// replacement: owner, group and DACL. Through ntdll, not advapi32, which would
// be a library loaded for it alone.
#pragma once

#include <windows.h>

#include <vector>

namespace tarnvel {

// The destination's owner, group and DACL, self-relative. False when they
// cannot be read (the reason then the last error); empty when the file
// system keeps no security at all.
bool ReadSecurity(HANDLE file, std::vector<unsigned char>& descriptor);

// Gives `file` the security ReadSecurity read, all or nothing; true as well
// when `descriptor` is empty. The reason for a false is the last error.
bool ApplySecurity(HANDLE file, std::vector<unsigned char>& descriptor);

}  // namespace tarnvel
