// The trace log: line ends, data blocks, and tracing that cannot happen.
#include <gtest/gtest.h>

#include <string>

#include "hooklib/core/trace.h"
#include "support/registry_file.h"
#include "support/test_env.h"

namespace {

TEST(CoreTrace, LinesEndInCrLfAndDataBlocksAreFramed) {
  std::string dir = vptest::FreshDir("trace");
  std::string file = dir + "/trace.log";
  vptest::WriteConfigKey({vptest::Str("TraceFile", file)});

  vp::WriteTrace("Notes client version: %s", "9.0.1");
  vp::WriteTraceData("a\0b", 3);
  vp::WriteTrace("%s", "two\nlines %s");
  EXPECT_EQ(
      vptest::ReadFile(file),
      std::string("Notes client version: 9.0.1\r\n[DATA BEGIN]\r\na\0b\r\n[DATA END]\r\n", 60) +
          "two\r\nlines %s\r\n");
}

TEST(CoreTrace, NothingHappensWithoutAUsableTraceFile) {
  std::string dir = vptest::FreshDir("trace-off");
  vptest::RemoveRegistry();
  vp::WriteTrace("no trace file configured");
  vptest::WriteConfigKey({vptest::Str("TraceFile", dir + "/missing/dir/trace.log")});
  vp::WriteTrace("directory does not exist");
  vp::WriteTraceData("x", 1);
  EXPECT_FALSE(vptest::PathExistsForTest(dir + "/missing"));
}

TEST(CoreTrace, OverLongLinesAreCut) {
  std::string dir = vptest::FreshDir("trace-long");
  std::string file = dir + "/trace.log";
  vptest::WriteConfigKey({vptest::Str("TraceFile", file)});
  vp::WriteTrace("%s", std::string(20000, 'x').c_str());
  EXPECT_EQ(vptest::ReadFile(file), std::string(8191, 'x') + "\r\n");
}

}  // namespace
