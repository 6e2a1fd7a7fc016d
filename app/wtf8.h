// Texts inside the program are UTF-8 in std::string; Windows' "W" calls take
// UTF-16. A file name on NTFS may hold a surrogate that has no partner, which
// UTF-8 cannot carry: such a unit is written as the three bytes its code point
// would take (WTF-8), so that every 16-bit name comes back exactly.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace tarnvel {

// A 16-bit code unit: wchar_t where it is 16 bits wide (Windows), so that the
// text goes to a "W" call as it is.
using Utf16Unit = std::conditional_t<sizeof(wchar_t) == 2, wchar_t, char16_t>;
using Utf16Text = std::basic_string<Utf16Unit>;

// None when `text` is not WTF-8: a stray or missing continuation byte, an
// overlong form, a code point past U+10FFFF, or a surrogate pair spelled as
// two three-byte forms (UTF-16 would join them into another name).
std::optional<Utf16Text> Wtf8ToUtf16(std::string_view text);
std::string Utf16ToWtf8(const Utf16Unit* text, std::size_t length);

}  // namespace tarnvel
