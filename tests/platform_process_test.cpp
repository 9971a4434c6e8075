// Tests of the process launcher with real children: pipes, terminal, failures and no deadlock.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/faults.h"
#include "platform/process.h"
#include "platform/ui.h"
#include "support/test_env.h"

namespace {

constexpr size_t kChunk = 4096;
constexpr int kChunks = 300;  // 1.2 MiB on each pipe

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string Expected(char base) {
  std::string text;
  for (int i = 0; i < kChunks; ++i) text.append(kChunk, static_cast<char>(base + i % 26));
  return text;
}

// Child role: alternates chunks on stdout and stderr, then echoes its stdin on stdout. It
// writes everything before reading a byte, so a parent that feeds stdin before draining, or
// drains one pipe before the other, hangs.
int NoisyChild(int, char**) {
  for (int i = 0; i < kChunks; ++i) {
    if (!WriteAll(1, std::string(kChunk, static_cast<char>('a' + i % 26))) ||
        !WriteAll(2, std::string(kChunk, static_cast<char>('A' + i % 26)))) {
      return 3;
    }
  }
  std::string input;
  char buf[4096];
  ssize_t n;
  while ((n = read(0, buf, sizeof buf)) > 0) input.append(buf, static_cast<size_t>(n));
  return WriteAll(1, "|" + input) ? 0 : 4;
}

// Child role: checks it has a terminal of its own as controlling terminal.
int TerminalChild(int, char**) {
  int tty = open("/dev/tty", O_RDWR);
  if (tty < 0) {
    std::printf("no tty: %s", std::strerror(errno));
    return 1;
  }
  bool leader = getsid(0) == getpid();
  bool pipes = !isatty(0) && !isatty(1) && !isatty(2);
  WriteAll(tty, "shown on the console only\n");
  std::printf("tty=%d leader=%d pipes=%d", isatty(tty), leader, pipes);
  return 0;
}

// Child role: starts a helper in a process group of its own within its session, prints the
// helper's id, and both hang (for 30 s, so that a runner without a limit still ends).
int HangingChild(int, char**) {
  pid_t helper = fork();
  if (helper == 0) {
    setpgid(0, 0);
    sleep(30);
    _exit(0);
  }
  std::printf("%d\n", static_cast<int>(helper));
  std::fflush(stdout);
  sleep(30);
  return 0;
}

const bool kRegistered = vptest::RegisterChild("process-noisy", NoisyChild) &&
                         vptest::RegisterChild("process-terminal", TerminalChild) &&
                         vptest::RegisterChild("process-hang", HangingChild);

// A process that is gone or only waits to be reaped.
bool Ended(pid_t pid) {
  std::string stat = vptest::ReadFile("/proc/" + std::to_string(pid) + "/stat");
  size_t name = stat.rfind(')');
  return name == std::string::npos || stat.compare(name + 2, 1, "Z") == 0;
}

int OpenDescriptors() {
  int count = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++count;
    closedir(d);
  }
  return count;
}

vp::SpawnResult Launch(const std::string& line, std::string_view input = {}, bool out = true,
                       int timeoutMs = 0) {
  vp::SpawnRequest request;
  request.commandLine = line;
  request.stdinBytes = input;
  request.captureStdout = out;
  request.timeoutMs = timeoutMs;
  return vp::GetProcessLauncher().Run(request);
}

std::string Self() {
  return "\"" + vptest::TestBinary() + "\"";
}

TEST(PlatformProcess, FeedsStdinAndCapturesBothPipesInFull) {
  const std::string input(300 * 1024, 'p');  // more than a pipe holds
  vp::SpawnResult r = Launch(Self() + " --child process-noisy", input);
  ASSERT_EQ(r.error, vp::SpawnError::kNone);
  EXPECT_EQ(r.exitStatus, 0);
  ASSERT_EQ(r.out.size(), kChunk * kChunks + 1 + input.size());
  EXPECT_TRUE(r.out == Expected('a') + "|" + input) << "stdout differs";
  EXPECT_TRUE(r.err == Expected('A')) << "stderr differs";

  r = Launch("/bin/cat", "passphrase\nY\n");
  EXPECT_EQ(r.out, "passphrase\nY\n");
  EXPECT_EQ(r.err, "");
}

TEST(PlatformProcess, SplitsArgumentsAndReportsExitStatus) {
  vp::SpawnResult r =
      Launch("/bin/sh -c \"printf '%s|' \\\"$0\\\" \\\"$@\\\"; exit 3\" a \"b c\" d\\\"e");
  ASSERT_EQ(r.error, vp::SpawnError::kNone);
  EXPECT_EQ(r.out, "a|b c|d\"e|");
  EXPECT_EQ(r.exitStatus, 3);

  // A bare name is looked up along PATH.
  r = Launch("sh -c \"echo found\"");
  EXPECT_EQ(r.out, "found\n");
}

TEST(PlatformProcess, ProgramPathsWithBlanks) {
  const std::string dir = vptest::FreshDir("process-blanks");
  ASSERT_EQ(mkdir((dir + "/my tools").c_str(), 0700), 0);
  const std::string real = dir + "/my tools/run it";
  vptest::WriteFile(real, "#!/bin/sh\nprintf '%s|' \"$@\"\n");
  vptest::WriteFile(dir + "/my", "#!/bin/sh\necho decoy\n");
  ASSERT_EQ(chmod(real.c_str(), 0700), 0);
  ASSERT_EQ(chmod((dir + "/my").c_str(), 0700), 0);

  vp::SpawnResult r = Launch(real + " a \"b c\"");
  ASSERT_EQ(r.error, vp::SpawnError::kNone);
  EXPECT_EQ(r.out, "a|b c|");
  r = Launch("\"" + real + "\" x");
  EXPECT_EQ(r.out, "x|");
}

TEST(PlatformProcess, ChildHasItsOwnTerminal) {
  vp::SpawnResult r = Launch(Self() + " --child process-terminal");
  ASSERT_EQ(r.error, vp::SpawnError::kNone);
  EXPECT_EQ(r.out, "tty=1 leader=1 pipes=1");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exitStatus, 0);
}

TEST(PlatformProcess, CaptureSwitchOffDiscardsStdout) {
  vp::SpawnResult r = Launch("/bin/sh -c \"echo out; echo err >&2\"", {}, false);
  ASSERT_EQ(r.error, vp::SpawnError::kNone);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "err\n");
}

TEST(PlatformProcess, StartFailuresNameTheirStep) {
  const int before = OpenDescriptors();
  EXPECT_EQ(Launch("/nonexistent/dir/gpg --version").error, vp::SpawnError::kLaunch);
  EXPECT_EQ(Launch("no-such-program-anywhere").error, vp::SpawnError::kLaunch);
  const std::string dir = vptest::FreshDir("process-fail");
  vptest::WriteFile(dir + "/plain", "not a program");
  EXPECT_EQ(Launch(dir + "/plain").error, vp::SpawnError::kLaunch);

  const struct {
    const char* site;
    vp::SpawnError error;
  } sites[] = {
      {"process.stdout_pipe", vp::SpawnError::kStdoutPipe},
      {"process.stderr_pipe", vp::SpawnError::kStderrPipe},
      {"process.stdin_pipe", vp::SpawnError::kStdinPipe},
      {"process.dup", vp::SpawnError::kDuplicateHandle},
      {"process.terminal", vp::SpawnError::kLaunch},
  };
  for (const auto& s : sites) {
    vp::SetFaults(std::string(s.site) + "@1");
    vp::SpawnResult r = Launch("/bin/echo hi", "input");
    EXPECT_EQ(r.error, s.error) << s.site;
    EXPECT_EQ(r.out, "") << s.site;
    EXPECT_EQ(Launch("/bin/echo hi").out, "hi\n") << "only the first call fails: " << s.site;
  }
  vp::SetFaults("");
  EXPECT_EQ(OpenDescriptors(), before) << "no descriptor leaks on any path";
}

TEST(PlatformProcess, ChildIgnoringItsInputDoesNotKillUs) {
  // The child exits without reading; our write meets a closed pipe (EPIPE, not SIGPIPE).
  vp::SpawnResult r = Launch("/bin/true", std::string(1 << 20, 'x'));
  EXPECT_EQ(r.error, vp::SpawnError::kNone);
  EXPECT_EQ(r.exitStatus, 0);
}

}  // namespace

namespace {

TEST(PlatformProcess, LimitKillsTheWholeSessionAndSignalsAreReported) {
  // The limit leaves a slow start (sanitizers, a busy machine) time to print the helper's id;
  // the child hangs far longer, so the limit still ends it.
  vp::SpawnResult r = Launch(Self() + " --child process-hang", {}, true, 3000);
  ASSERT_EQ(r.error, vp::SpawnError::kNone);
  EXPECT_TRUE(r.timedOut);
  EXPECT_EQ(r.termSignal, SIGKILL);
  EXPECT_EQ(r.exitStatus, -1);
  pid_t helper = static_cast<pid_t>(atoi(r.out.c_str()));
  ASSERT_GT(helper, 0) << r.out;
  for (int i = 0; i < 200 && !Ended(helper); ++i) usleep(10000);
  EXPECT_TRUE(Ended(helper)) << "the helper in another process group outlived the limit";

  // Output closed early is not the end: the child still runs until the limit.
  r = Launch("/bin/sh -c \"exec >&- 2>&-; sleep 30\"", {}, true, 300);
  EXPECT_TRUE(r.timedOut);

  // A child killed by a signal is told apart from one that exited; a child within its limit ends
  // as usual.
  r = Launch("/bin/sh -c \"echo partial; kill -TERM $$\"", {}, true, 10000);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.out, "partial\n");
  EXPECT_EQ(r.termSignal, SIGTERM);
  EXPECT_EQ(r.exitStatus, -1);
}

}  // namespace

namespace {

// The desktop's opener takes a file named like an option as a file: "./" goes before it.
TEST(PlatformProcess, DesktopOpenerNeverTakesANameForAnOption) {
  const std::string dir = vptest::FreshDir("opener");
  vptest::WriteFile(dir + "/xdg-open", "#!/bin/sh\nprintf '[%s]' \"$@\" > \"$0.args\"\n");
  chmod((dir + "/xdg-open").c_str(), 0700);
  const std::string path = getenv("PATH");
  setenv("PATH", (dir + ":" + path).c_str(), 1);
  int dashed = vp::OpenWithDesktop("--help");
  std::string dashedArgs = vptest::ReadFile(dir + "/xdg-open.args");
  int plain = vp::OpenWithDesktop(dir + "/-x.doc");
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(dashed, vp::kShellOpened);
  EXPECT_EQ(dashedArgs, "[./--help]");
  EXPECT_EQ(plain, vp::kShellOpened);
  EXPECT_EQ(vptest::ReadFile(dir + "/xdg-open.args"), "[" + dir + "/-x.doc]");
}

}  // namespace
