// Every string the program hands to Windows or takes from it passes through
// these two: UTF-8 inside, UTF-16 for the "W" calls.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/platform.h"
#include "app/wtf8.h"

namespace tarnvel {

// `text` for a "W" call; c_str() gives it with its terminating null. Every
// text in the program comes from Utf8From or is ASCII, so one that is not
// WTF-8 is the program's own fault: no other name is ever made of it.
std::wstring Utf16From(std::string_view text);

std::string Utf8From(const wchar_t* text, std::size_t length);
// Up to its terminating null.
std::string Utf8From(const wchar_t* text);

// A path the system writes into a buffer, as GetSystemDirectoryW does: asked
// again with the size the system reports, so that no long path is cut. Empty
// when the system cannot tell.
template <typename Ask>
std::string PathFromSystem(Ask ask) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  UINT length = ask(buffer.data(), static_cast<UINT>(buffer.size()));
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = ask(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length >= buffer.size()) length = 0;
  }
  return Utf8From(buffer.data(), length);
}

}  // namespace tarnvel
