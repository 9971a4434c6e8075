// Tests of Windows command-line splitting and of resolving a program path with blanks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "support/test_env.h"

namespace {

using Args = std::vector<std::string>;

TEST(PlatformCmdline, SplitsAsTheCRuntimeDoes) {
  struct Case {
    const char* line;
    Args args;
  };
  const Case cases[] = {
      {"", {""}},
      {"prog a\tb", {"prog", "a", "b"}},
      {"prog   a  ", {"prog", "a"}},
      {"\"C:\\Program Files\\GNU\\gpg.exe\" --x", {"C:\\Program Files\\GNU\\gpg.exe", "--x"}},
      // The program name knows no escapes: quotes toggle wherever they are.
      {"C:\\dir\\\"quoted part\"\\x y", {"C:\\dir\\quoted part\\x", "y"}},
      {"\"C:\\x\\\"y z", {"C:\\x\\y", "z"}},
      {" a b", {"", "a", "b"}},
      // Arguments: the documented examples.
      {"p \"abc\" d e", {"p", "abc", "d", "e"}},
      {"p a\\\\\\b d\"e f\"g h", {"p", "a\\\\\\b", "de fg", "h"}},
      {"p a\\\\\\\"b c d", {"p", "a\\\"b", "c", "d"}},
      {"p a\\\\\\\\\"b c\" d e", {"p", "a\\\\b c", "d", "e"}},
      {"p a\"b\"\" c d", {"p", "ab\" c d"}},
      // Edges that break naive splitters.
      {"p \"c:\\dir\\\\\" x", {"p", "c:\\dir\\", "x"}},
      {"p \"\" x", {"p", "", "x"}},
      {"p \"a\\\"b\"", {"p", "a\"b"}},
      {"p a\"\" b", {"p", "a", "b"}},
      {"p \"unterminated arg", {"p", "unterminated arg"}},
      {"p a\\\\b\\c\\", {"p", "a\\\\b\\c\\"}},
      {"p \"\"\"\"", {"p", "\""}},
      {"p \"she said \"\"hi\"\"\" x", {"p", "she said \"hi\"", "x"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(vp::SplitWindowsCommandLine(c.line), c.args) << "line: " << c.line;
  }
}

// Whatever a name or path holds comes back from the splitter as the one argument it was.
TEST(PlatformCmdline, QuotedArgumentsSplitBackUnchanged) {
  const std::string args[] = {
      "",
      "plain",
      "two words\tand a tab",
      "\"Smith, Bob\" <bob@example.com>",
      "Dan \"Q\" Smith",
      "x\" --armor \"y",
      "a\\\"b",             // a backslash before a quote
      "a\\\\\"b\\",         // two before a quote, one at the end
      "C:\\dir\\",          // a trailing backslash before the closing quote
      "\\\\server\\share",  // backslashes not before a quote stay single
      "\"",
      "\"\"",
      "\\",
  };
  std::string line = "gpg";
  Args expected = {"gpg"};
  for (const std::string& arg : args) {
    EXPECT_EQ(vp::SplitWindowsCommandLine("gpg " + vp::QuoteWindowsArgument(arg)),
              (Args{"gpg", arg}))
        << arg;
    line += " " + vp::QuoteWindowsArgument(arg);
    expected.push_back(arg);
  }
  EXPECT_EQ(vp::SplitWindowsCommandLine(line), expected);
  // Backslashes are doubled only before a quote.
  EXPECT_EQ(vp::QuoteWindowsArgument("\\\\s\\x\\"), "\"\\\\s\\x\\\\\"");
}

TEST(PlatformCmdline, UnquotedProgramTakesLongestExistingPrefix) {
  const std::string dir = vptest::FreshDir("cmdline-resolve");
  // A stray "a" file must not capture "a b/c d", which exists too.
  vptest::WriteFile(dir + "/a", "decoy");
  ASSERT_EQ(vp::MakeDirectory(dir + "/a b"), vp::MakeDirResult::kCreated);
  vptest::WriteFile(dir + "/a b/c d", "real");

  size_t rest = 0;
  std::string line = dir + "/a b/c d --x \"y z\"";
  EXPECT_EQ(vp::ResolveUnquotedProgram(line, &rest, vp::PathExists), dir + "/a b/c d");
  EXPECT_EQ(line.substr(rest), "--x \"y z\"");

  line = dir + "/a b/c d";
  EXPECT_EQ(vp::ResolveUnquotedProgram(line, &rest, vp::PathExists), line);
  EXPECT_EQ(rest, line.size());

  line = dir + "/a  more args";
  EXPECT_EQ(vp::ResolveUnquotedProgram(line, &rest, vp::PathExists), dir + "/a");
  EXPECT_EQ(line.substr(rest), "more args");

  // Nothing exists: the first word, so that the start fails on it.
  line = dir + "/none here --x";
  EXPECT_EQ(vp::ResolveUnquotedProgram(line, &rest, vp::PathExists), dir + "/none");
  EXPECT_EQ(line.substr(rest), "here --x");
}

}  // namespace
