// The trace log: line ends, data blocks, and tracing that cannot happen.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
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

// A FIFO or a link planted as the trace file: nothing blocks and nothing is written through.
TEST(CoreTrace, SpecialFilesAreRefusedWithoutBlocking) {
  std::string dir = vptest::FreshDir("trace-special");
  std::string fifo = dir + "/trace.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  vptest::WriteConfigKey({vptest::Str("TraceFile", fifo)});
  auto traced = std::async(std::launch::async, [] { vp::WriteTrace("into a FIFO"); });
  if (traced.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    // Frees the stuck writer so that the test can end.
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    traced.wait();
    close(reader);
    FAIL() << "the trace blocked on a FIFO";
  }
  std::string target = dir + "/target";
  vptest::WriteFile(target, "theirs");
  ASSERT_EQ(symlink(target.c_str(), (dir + "/trace.log").c_str()), 0);
  vptest::WriteConfigKey({vptest::Str("TraceFile", dir + "/trace.log")});
  vp::WriteTrace("through a link");
  EXPECT_EQ(vptest::ReadFile(target), "theirs");
}

TEST(CoreTrace, OverLongLinesAreCut) {
  std::string dir = vptest::FreshDir("trace-long");
  std::string file = dir + "/trace.log";
  vptest::WriteConfigKey({vptest::Str("TraceFile", file)});
  vp::WriteTrace("%s", std::string(20000, 'x').c_str());
  EXPECT_EQ(vptest::ReadFile(file), std::string(8191, 'x') + "\r\n");
}

}  // namespace
