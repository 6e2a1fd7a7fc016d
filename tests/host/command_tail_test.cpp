#include "app/command_tail.h"

#include <gtest/gtest.h>

namespace tarnvel {
namespace {

struct TailCase {
  const char* commandLine;
  const char* tail;
};

class CommandTailTest : public ::testing::TestWithParam<TailCase> {};

TEST_P(CommandTailTest, SplitsOffProgramNameAndFollowingBlanks) {
  EXPECT_EQ(CommandTailOf(GetParam().commandLine), GetParam().tail);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandTailTest,
    ::testing::Values(TailCase{"setup.exe", ""}, TailCase{"setup.exe /s", "/s"},
                      TailCase{"setup.exe    /s", "/s"}, TailCase{"setup.exe /s ", "/s "},
                      TailCase{"setup.exe /S", "/S"}, TailCase{"setup.exe   ", ""},
                      TailCase{"\"C:\\Program Files\\setup.exe\" /s", "/s"},
                      TailCase{"\"C:\\Program Files\\setup.exe\"/s", "/s"},
                      TailCase{"\"C:\\My Setup\\setup.exe\"     /x  ", "/x  "},
                      TailCase{"\"C:\\unterminated name /s", ""},
                      TailCase{"C:\\dir\\setup.exe /s /x", "/s /x"}, TailCase{"", ""},
                      // Only blanks are skipped: a tab belongs to the tail.
                      TailCase{"setup.exe \t/s", "\t/s"}));

}  // namespace
}  // namespace tarnvel
