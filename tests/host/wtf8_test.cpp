// Texts cross to Windows as UTF-16 and come back as UTF-8; a name that is not valid UTF-16 comes
// back exactly, and bytes that no UTF-16 text gives are refused rather than read as another name.
#include "app/wtf8.h"

#include <gtest/gtest.h>

namespace tarnvel::test {

// Both directions: the 16-bit text gives the bytes and the bytes give it back.
const std::tuple<const char*, std::string, std::u16string> kBoth[] = {
    {"empty", "", u""},
    {"ASCII", "C:\\Temp\\Tarnvel setup.log", u"C:\\Temp\\Tarnvel setup.log"},
    {"two bytes", "\xD0\x9F\xD1\x80\xC3\xA9 \xC2\x80\xDF\xBF", u"\u041F\u0440\u00E9 \u0080\u07FF"},
    {"three bytes", "\xE4\xBE\x8B \xE0\xA0\x80\xEF\xBF\xBF", u"\u4F8B \u0800\uFFFF"},
    {"four bytes: a surrogate pair", "\xF0\x9F\x98\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
     u"\U0001F600\U00010000\U0010FFFF"},
    {"a lone lead surrogate, mid-name", "a\xED\xA0\x80z",
     std::u16string(u"a") + char16_t(0xD800) + u"z"},
    {"a lone trail surrogate", "\xED\xBF\xBF", std::u16string(1, char16_t(0xDFFF))},
    {"a trail before a lead is no pair", "\xED\xB0\x80\xED\xA0\x80",
     std::u16string{char16_t(0xDC00), char16_t(0xD800)}},
    {"a lone lead at the end, after a pair", "\xF0\x9F\x98\x80\xED\xAF\xBF",
     std::u16string(u"\U0001F600") + char16_t(0xDBFF)},
};

TEST(Wtf8, EveryTextCrossesBothWaysExactlyAndOtherBytesAreRefused) {
  for (const auto& [what, utf8, utf16] : kBoth) {
    SCOPED_TRACE(what);
    const Utf16Text wide(utf16.begin(), utf16.end());
    EXPECT_EQ(Utf16ToWtf8(wide.data(), wide.size()), utf8);
    EXPECT_EQ(Wtf8ToUtf16(utf8), std::optional<Utf16Text>(wide));
  }
  for (const char* bytes : {
           "\x80",               // a continuation byte alone
           "a\xC3", "\xE4\xBE",  // cut off after the lead, in three
           "\xE4\x28\x8B",       // a continuation missing in the middle
           "\xC0\xAF", "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF",  // overlong two, three, four
           "\xF4\x90\x80\x80",                                          // past U+10FFFF
           "\xF5\x80\x80\x80", "\xFF",                                  // no lead at all
           "\xED\xA0\x80\xED\xB0\x80",  // a pair spelled as two halves
       }) {
    SCOPED_TRACE(::testing::PrintToString(std::string(bytes)));
    EXPECT_EQ(Wtf8ToUtf16(bytes), std::nullopt);
  }
}

}  // namespace tarnvel::test
