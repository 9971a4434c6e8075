// The runner's overhead: RunGnuPG of "gpg --version" against a bare spawn-and-wait of the same
// command line.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "hooklib/core/settings.h"
#include "hooklib/gnupg/runner.h"
#include "platform/process.h"

extern char** environ;

namespace {

const char* kGpg = "/usr/bin/gpg";

void RunnerVersion_veilpost(benchmark::State& state) {
  vp::CopyText(vp::Settings().szGpgApp, kGpg);
  vp::Settings().bUseAgent = 0;
  vp::RunGnuPG("--version ", nullptr, nullptr, "");  // learns the version once, as in use
  for (auto _ : state) {
    char* r = vp::RunGnuPG("--version ", nullptr, nullptr, "");
    benchmark::DoNotOptimize(r);
  }
}

// The same command line, spawned with its output read to the end and the child reaped.
void RunnerVersion_baseline(benchmark::State& state) {
  vp::CopyText(vp::Settings().szGpgApp, kGpg);
  vp::RunGnuPG("--version ", nullptr, nullptr, "");
  std::vector<std::string> args = vp::SplitWindowsCommandLine(vp::LastCommandLine());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto _ : state) {
    int out[2];
    if (pipe(out) != 0) state.SkipWithError("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid;
    posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    char buf[4096];
    std::string text;
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    close(out[0]);
    int status;
    waitpid(pid, &status, 0);
    benchmark::DoNotOptimize(text);
  }
}

}  // namespace

BENCHMARK(RunnerVersion_veilpost)
    ->Name("RunnerVersion/veilpost")
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
BENCHMARK(RunnerVersion_baseline)
    ->Name("RunnerVersion/baseline")
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);
