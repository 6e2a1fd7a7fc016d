#include "app/win32_text.h"

namespace tarnvel {

std::wstring Utf16From(std::string_view text) {
  auto wide = Wtf8ToUtf16(text);
  if (!wide) FailUnexpectedly("a text that is not UTF-8 was to be handed to Windows");
  return std::move(*wide);
}

std::string Utf8From(const wchar_t* text, std::size_t length) { return Utf16ToWtf8(text, length); }

std::string Utf8From(const wchar_t* text) { return Utf16ToWtf8(text, ::lstrlenW(text)); }

}  // namespace tarnvel
