// The demonstration's system part on POSIX: children through fork and exec with both pipes
// drained together, stop signals, mkdtemp, the settings file, the directory in the embedded
// Notes store.
#include <signal.h>
#include <stdlib.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "host/demo_system.h"
#include "notesemu/directory_tools.h"

namespace fs = std::filesystem;

namespace vphost::demo {
namespace {

// The signal that asked the demo to stop (Ctrl-C, hang-up, termination), 0 while none did.
volatile sig_atomic_t g_stop = 0;

void OnStopSignal(int signal) {
  g_stop = signal;
}

}  // namespace

// Standard input and the controlling terminal are inherited, so the terminal front end can
// ask there.
int Run(const std::vector<std::string>& argv, const Env& env, std::string* out, std::string* err,
        const RunLimits& limits) {
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return -1;
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    for (const auto& [k, v] : env) {
      if (v.empty())
        unsetenv(k.c_str());
      else
        setenv(k.c_str(), v.c_str(), 1);
    }
    if (!limits.folder.empty() && chdir(limits.folder.c_str()) != 0) _exit(127);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    close(outPipe[0]);
    close(errPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  std::string o, e;
  // Both pipes are drained together so neither can fill up and stall the child.
  fd_set fds;
  bool outOpen = true, errOpen = true, stopped = false;
  int waited = 0;
  while ((outOpen || errOpen) && !stopped) {
    FD_ZERO(&fds);
    if (outOpen) FD_SET(outPipe[0], &fds);
    if (errOpen) FD_SET(errPipe[0], &fds);
    timeval second{1, 0};
    int ready = select(std::max(outPipe[0], errPipe[0]) + 1, &fds, nullptr, nullptr, &second);
    if (ready < 0 && errno != EINTR) break;
    if (g_stop) stopped = true;
    if (ready <= 0) {
      if (limits.dots) {
        printf(".");
        fflush(stdout);
      }
      if (limits.seconds > 0 && ++waited >= limits.seconds) stopped = true;
      continue;
    }
    char buf[4096];
    for (auto [fd, open, text] :
         {std::tuple{outPipe[0], &outOpen, &o}, std::tuple{errPipe[0], &errOpen, &e}}) {
      if (*open && FD_ISSET(fd, &fds)) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
          *open = false;
        else
          text->append(buf, static_cast<size_t>(n));
      }
    }
    if (o.size() + e.size() > limits.maxOutput) stopped = true;
  }
  if (stopped) kill(pid, SIGKILL);
  close(outPipe[0]);
  close(errPipe[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (out) *out = o;
  if (err) *err = e;
  if (stopped) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Without SA_RESTART, so a wait for a child returns at once and the demo can clean up.
void CatchStopRequests() {
  signal(SIGPIPE, SIG_IGN);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

int StopRequest() {
  return g_stop;
}

void EndByStopRequest(int request) {
  printf("\nStopped (%s); the demo folder and its GnuPG agents are gone.\n", strsignal(request));
  fflush(stdout);
  ::signal(request, SIG_DFL);
  raise(request);
  _exit(128 + request);
}

std::string MakeWorkFolder(std::string* error) {
  char* tmp = getenv("TMPDIR");
  std::string base = tmp && *tmp ? tmp : "/tmp";
  std::string pattern = base + "/vp-demo-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    *error = "cannot make a folder in " + base;
    return "";
  }
  return pattern;
}

std::string SelfPath() {
  return fs::canonical("/proc/self/exe").string();
}

std::string DefaultGnuPG() {
  return fs::exists("/usr/bin/gpg") ? "/usr/bin/gpg" : "/usr/bin/gpg1";
}

bool CanRun(const std::string& program) {
  return access(program.c_str(), X_OK) == 0 && !fs::is_directory(program);
}

std::string InteractiveUi() {
  return "terminal";
}

// Each person has a settings file of their own.
Env PersonSettings(const std::string& home, const std::string& gpg) {
  std::string file = home + "/registry.reg";
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Brinmoor\\Veilpost Ver 1.0]\r\n"
         "\"GpgProgramPath\"=\""
      << gpg << "\"\r\n\"UseAgent\"=dword:00000000\r\n";
  return {{"VEILPOST_REGISTRY", file}};
}

void RestoreSettings() {}

std::string MakeDirectory(const std::string& folder, const std::string& file,
                          const std::vector<DirectoryPerson>& people,
                          const std::vector<DirectoryGroup>& groups) {
  std::string path = folder + "/" + file;
  std::string error = notesemu::CreateDirectoryDatabase(path);
  if (!error.empty()) return error;
  std::vector<notesemu::PersonEntry> entries;
  for (const DirectoryPerson& p : people) entries.push_back({p.fullName, p.shortName, p.mail});
  std::vector<notesemu::GroupEntry> lists;
  for (const DirectoryGroup& g : groups) lists.push_back({g.name, g.members, true});
  return notesemu::AddDirectoryEntries(path, entries, lists);
}

// The gpgconf installed beside the gpg knows that version's daemons.
void EndAgents(const std::string& gpg, const std::vector<std::string>& homes) {
  std::string gpgconf = (fs::path(gpg).parent_path() / "gpgconf").string();
  if (access(gpgconf.c_str(), X_OK) != 0) gpgconf = "/usr/bin/gpgconf";
  for (const std::string& home : homes)
    Run({gpgconf, "--homedir", home, "--kill", "all"}, {}, nullptr);
}

}  // namespace vphost::demo
