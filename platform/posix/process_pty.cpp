// Process port on POSIX: a child with three pipes and a pseudo-terminal as its console.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/faults.h"
#include "platform/process.h"

extern char** environ;

namespace vp {
namespace {

// Owns one descriptor.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { Reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

struct Pipe {
  Fd read;
  Fd write;
  bool Open() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    read.Reset(fds[0]);
    write.Reset(fds[1]);
    return true;
  }
};

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A name without a slash is looked up along PATH, as Windows searches for a bare name.
std::string SearchPath(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return name;
  const char* env = std::getenv("PATH");
  std::string path = env ? env : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= path.size()) {
    size_t colon = path.find(':', start);
    if (colon == std::string::npos) colon = path.size();
    std::string dir = path.substr(start, colon - start);
    std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (IsRegularFile(candidate) && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = colon + 1;
  }
  return name;
}

// True when the program-name part of the line (up to the first blank outside quotes) holds a
// quote: then it names the program by itself, blanks and all.
bool ProgramIsQuoted(std::string_view line) {
  for (char c : line) {
    if (c == '"') return true;
    if (c == ' ' || c == '\t') return false;
  }
  return false;
}

// argv for the program: its path as resolved and the arguments split the Windows way.
std::vector<std::string> ProgramAndArguments(std::string_view line, std::string* program) {
  std::vector<std::string> args = SplitWindowsCommandLine(line);
  if (!ProgramIsQuoted(line)) {
    size_t rest = 0;
    std::string resolved = ResolveUnquotedProgram(line, &rest, IsRegularFile);
    if (resolved != args[0]) {
      // A program path with blanks: the arguments are what follows it.
      std::vector<std::string> tail =
          SplitWindowsCommandLine("x " + std::string(line.substr(rest)));
      args.assign(1, resolved);
      args.insert(args.end(), tail.begin() + 1, tail.end());
    }
  }
  *program = SearchPath(args[0]);
  return args;
}

// Keeps SIGPIPE away from the process while we write to a child that may have gone: the
// signal is blocked for this thread and one raised by our own write is swallowed.
class SigpipeGuard {
 public:
  SigpipeGuard() {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe, &old_);
  }
  ~SigpipeGuard() {
    sigset_t pending;
    sigpending(&pending);
    if (!pendingBefore_ && sigismember(&pending, SIGPIPE) == 1) {
      sigset_t pipe;
      sigemptyset(&pipe);
      sigaddset(&pipe, SIGPIPE);
      struct timespec zero = {0, 0};
      while (sigtimedwait(&pipe, nullptr, &zero) < 0 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }

 private:
  sigset_t old_;
  bool pendingBefore_ = false;
};

// The moment a run's limit passes, on the monotonic clock; none for a run without a limit.
class Deadline {
 public:
  explicit Deadline(int limitMs) : limited_(limitMs > 0) {
    if (!limited_) return;
    clock_gettime(CLOCK_MONOTONIC, &at_);
    at_.tv_sec += limitMs / 1000;
    at_.tv_nsec += static_cast<long>(limitMs % 1000) * 1000000L;
    if (at_.tv_nsec >= 1000000000L) {
      at_.tv_sec += 1;
      at_.tv_nsec -= 1000000000L;
    }
  }
  bool limited() const { return limited_; }
  // What poll takes: -1 without a limit, 0 once it has passed.
  int RemainingMs() const {
    if (!limited_) return -1;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    long long ms = (static_cast<long long>(at_.tv_sec) - now.tv_sec) * 1000 +
                   (at_.tv_nsec - now.tv_nsec) / 1000000;
    if (ms <= 0) return 0;
    // Rounded up, so a poll never wakes a moment before the limit and spins.
    return static_cast<int>(std::min<long long>(ms + 1, 1 << 30));
  }
  bool Passed() const { return limited_ && RemainingMs() == 0; }

 private:
  bool limited_;
  struct timespec at_ = {0, 0};
};

// The session id of a process from /proc/PID/stat (field 6, after the parenthesised name,
// which may itself hold blanks and parentheses); -1 when it cannot be read.
pid_t SessionOf(pid_t pid) {
  char path[64];
  snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  char buf[1024];
  ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return -1;
  buf[n] = '\0';
  const char* nameEnd = strrchr(buf, ')');
  char state = 0;
  int ppid = 0, pgrp = 0, session = -1;
  if (!nameEnd || sscanf(nameEnd + 1, " %c %d %d %d", &state, &ppid, &pgrp, &session) != 4)
    return -1;
  return session;
}

// Kills the child and everything it started in its session: its process group at once, then
// whatever moved to another group of the same session. The child is not reaped yet, so its id
// still names the session.
void KillSession(pid_t pid) {
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
  DIR* proc = opendir("/proc");
  if (!proc) return;
  while (struct dirent* entry = readdir(proc)) {
    char* end = nullptr;
    long other = strtol(entry->d_name, &end, 10);
    if (other <= 0 || *end != '\0') continue;
    if (SessionOf(static_cast<pid_t>(other)) == pid) kill(static_cast<pid_t>(other), SIGKILL);
  }
  closedir(proc);
}

// Feeds stdin and drains stdout, stderr and the terminal together until stdout and stderr
// are at end of file: a child that fills one pipe while we wait on another never stalls.
// False when the deadline passed first.
bool Exchange(const SpawnRequest& request, Fd& in, Fd& out, Fd& err, Fd& terminal,
              const Deadline& deadline, SpawnResult* result) {
  SigpipeGuard guard;
  std::string_view pending = request.stdinBytes;
  if (pending.empty()) {
    in.Reset();
  } else {
    fcntl(in.get(), F_SETFL, fcntl(in.get(), F_GETFL) | O_NONBLOCK);
  }
  fcntl(terminal.get(), F_SETFL, fcntl(terminal.get(), F_GETFL) | O_NONBLOCK);
  static constexpr size_t kChunk = 65536;
  std::string buffer(kChunk, '\0');

  // Reads what is there; false once the descriptor is finished (end of file, or EIO from the
  // terminal once no slave side is open).
  auto drain = [&](Fd& fd, std::string* sink) {
    ssize_t n = read(fd.get(), buffer.data(), kChunk);
    if (n > 0) {
      if (sink) sink->append(buffer.data(), static_cast<size_t>(n));
      return;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    fd.Reset();
  };

  while (out.ok() || err.ok()) {
    struct pollfd fds[4];
    Fd* owners[4];
    nfds_t count = 0;
    auto add = [&](Fd& fd, short events) {
      if (!fd.ok()) return;
      fds[count] = {fd.get(), events, 0};
      owners[count++] = &fd;
    };
    add(in, POLLOUT);
    add(out, POLLIN);
    add(err, POLLIN);
    add(terminal, POLLIN);
    int ready = poll(fds, count, deadline.RemainingMs());
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (ready == 0 && deadline.Passed()) {
      in.Reset();
      return false;
    }
    for (nfds_t i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      Fd& fd = *owners[i];
      if (&fd == &in) {
        ssize_t n = write(in.get(), pending.data(), pending.size());
        if (n > 0) pending.remove_prefix(static_cast<size_t>(n));
        // EPIPE and friends: the child does not want its input; that is its business.
        bool retry = n < 0 && (errno == EINTR || errno == EAGAIN);
        if (pending.empty() || (n < 0 && !retry)) in.Reset();
      } else if (&fd == &out) {
        drain(out, request.captureStdout ? &result->out : nullptr);
      } else if (&fd == &err) {
        drain(err, request.captureStderr ? &result->err : nullptr);
      } else {
        drain(terminal, nullptr);  // what the child shows on its console is not collected
      }
    }
  }
  in.Reset();
  return true;
}

// Waits until the child has ended or the deadline passes; false when it passed. A child can
// close its output and still run, so the end of the pipes is not the end of the wait.
bool AwaitExit(pid_t pid, const Deadline& deadline) {
  if (!deadline.limited()) return true;  // the blocking reap waits
  // Through syscall: the C library's own wrapper is not declared for C++ everywhere.
  Fd exited(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
  if (exited.ok()) {
    for (;;) {
      struct pollfd fd = {exited.get(), POLLIN, 0};
      int ready = poll(&fd, 1, deadline.RemainingMs());
      if (ready > 0) return true;
      if (ready < 0 && errno == EINTR) continue;
      if (ready < 0) break;  // fall back to asking
      if (deadline.Passed()) return false;
    }
  }
  // Without a process descriptor: ask now and then, more rarely as time goes on.
  long pauseUs = 1000;
  siginfo_t info;
  for (;;) {
    info.si_pid = 0;
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid) {
      return true;
    }
    if (deadline.Passed()) return false;
    struct timespec pause = {0, pauseUs * 1000};
    nanosleep(&pause, nullptr);
    pauseUs = std::min(pauseUs * 2, 50000L);
  }
}

void Reap(pid_t pid, SpawnResult* result) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return;
  }
  if (WIFEXITED(status)) result->exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result->termSignal = WTERMSIG(status);
}

class PtyProcessLauncher : public ProcessLauncher {
 public:
  SpawnResult Run(const SpawnRequest& request) override;
};

SpawnResult PtyProcessLauncher::Run(const SpawnRequest& request) {
  SpawnResult result;
  auto failed = [&](SpawnError error) {
    result.error = error;
    return result;
  };
  // In the order the runner reports them.
  Pipe out, err, in;
  if (FaultHit("process.stdout_pipe") || !out.Open()) return failed(SpawnError::kStdoutPipe);
  if (FaultHit("process.stderr_pipe") || !err.Open()) return failed(SpawnError::kStderrPipe);
  if (FaultHit("process.stdin_pipe") || !in.Open()) return failed(SpawnError::kStdinPipe);
  bool failDuplicate = FaultHit("process.dup");

  // The pseudo-terminal. We keep a slave descriptor of our own open while the child runs, so
  // the master never reports EIO merely because the child has not opened it yet or has
  // closed it for a moment; its output is read and thrown away until the pipes end.
  if (FaultHit("process.terminal")) return failed(SpawnError::kLaunch);
  Fd master(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  char terminal[128];
  if (!master.ok() || grantpt(master.get()) != 0 || unlockpt(master.get()) != 0 ||
      ptsname_r(master.get(), terminal, sizeof terminal) != 0) {
    return failed(SpawnError::kLaunch);
  }
  Fd slave(open(terminal, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!slave.ok()) return failed(SpawnError::kLaunch);
  if (failDuplicate) {
    errno = EMFILE;
    return failed(SpawnError::kDuplicateHandle);
  }

  std::string program;
  std::vector<std::string> args = ProgramAndArguments(request.commandLine, &program);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  // posix_spawn rather than fork: a large client process is not copied page table and all for
  // every run. The child gets a session of its own (setsid comes before the file actions), and
  // opening the terminal without O_NOCTTY as that session's leader makes it the controlling
  // terminal: the console that a Windows child gets, which GnuPG opens as /dev/tty.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in.read.get(), 0);
  posix_spawn_file_actions_adddup2(&actions, out.write.get(), 1);
  posix_spawn_file_actions_adddup2(&actions, err.write.get(), 2);
  posix_spawn_file_actions_addopen(&actions, 3, terminal, O_RDWR, 0);
  // Nothing else reaches the program, not even descriptors the host left inheritable.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, pipe;
  sigemptyset(&none);
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &pipe);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  int spawnError = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (spawnError != 0) {
    errno = spawnError;
    return failed(SpawnError::kLaunch);
  }

  // The child's ends belong to the child now; with ours closed, each read end sees end of
  // file when the child (and anything it passed them to) is done.
  in.read.Reset();
  out.write.Reset();
  err.write.Reset();

  Deadline deadline(request.timeoutMs);
  bool ended = Exchange(request, in.write, out.read, err.read, master, deadline, &result) &&
               AwaitExit(pid, deadline);
  if (!ended) {
    result.timedOut = true;
    KillSession(pid);
  }
  master.Reset();
  slave.Reset();
  Reap(pid, &result);
  return result;
}

}  // namespace

ProcessLauncher& PlatformProcessLauncher() {
  static PtyProcessLauncher launcher;
  return launcher;
}

}  // namespace vp
