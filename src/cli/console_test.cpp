// What the console writes for texts that carry control characters (a file name may hold a
// newline or an escape sequence): one "tga2avi: " line each, nothing raw reaching the terminal.

#include "cli/console.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/captured_stream.h"

namespace {

using testing_support::CapturedStream;

TEST(ConsoleTest, ControlCharactersAreShownEscaped) {
  const struct {
    std::string text;
    std::string shown;
  } rows[] = {
      {"Error on opening /a/two\nlines/shot0001.tga",
       "Error on opening /a/two\\nlines/shot0001.tga"},
      {std::string("red\x1b[31m\t\r") + std::string(1, '\0') + "\x7f" + "\x01",
       "red\\x1b[31m\\t\\r\\x00\\x7f\\x01"},
      {"caf\xc3\xa9 \xff plain", "caf\xc3\xa9 \xff plain"},  // bytes from 0x80 up pass as they are
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.shown);
    CapturedStream said;
    Console console(said.Stream(), /*terminal=*/true);
    console.Say(row.text);
    EXPECT_EQ(said.Text(), "tga2avi: " + row.shown + "\n");

    CapturedStream progress;
    Console terminal(progress.Stream(), /*terminal=*/true);
    terminal.ShowProgress(row.text);
    // Only the console's own rewind (a carriage return and the erase) is sent raw.
    EXPECT_EQ(progress.Text(), "\r\x1b[Ktga2avi: " + row.shown);
  }
}

}  // namespace
