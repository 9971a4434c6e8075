// The Windows test program: runs its cases (all, or those named) and prints one line per
// failure and a closing "N passed, N failed" line; or, started as "child-MODE ...", serves a
// case as the other process.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "platform/process.h"
#include "tests/win/win_test.h"

namespace wintest {
namespace {

struct Case {
  const char* name;
  CaseFunction fn;
};

std::vector<Case>& Cases() {
  static std::vector<Case> cases;
  return cases;
}

std::map<std::string, ChildMode>& Children() {
  static std::map<std::string, ChildMode> children;
  return children;
}

int g_failures = 0;

}  // namespace

bool Register(const char* name, CaseFunction fn) {
  Cases().push_back({name, fn});
  return true;
}

bool RegisterChild(const char* name, ChildMode fn) {
  Children()[name] = fn;
  return true;
}

void Fail(const char* file, int line, const std::string& what) {
  ++g_failures;
  const char* base = std::strrchr(file, '/');
  std::printf("    %s:%d: %s\n", base ? base + 1 : file, line, what.c_str());
}

std::string SelfPath() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  return std::string(path, n);
}

std::string TempFolder() {
  char buf[MAX_PATH];
  std::string path(buf, GetTempPathA(sizeof buf, buf));
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

std::string ReadFileText(const std::string& path) {
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
  }
  return text;
}

int RunChild(const std::string& args, std::string* out) {
  vp::SpawnRequest request;
  request.commandLine = "\"" + SelfPath() + "\" " + args;
  request.timeoutMs = 60000;
  vp::SpawnResult result = vp::GetProcessLauncher().Run(request);
  if (out) *out = result.out;
  if (!result.err.empty()) std::printf("    child %s said: %s\n", args.c_str(), result.err.c_str());
  return result.error == vp::SpawnError::kNone ? result.exitStatus : -100;
}

}  // namespace wintest

int main(int argc, char** argv) {
  using namespace wintest;
  // The mode word may come after argv[1] when the program path held blanks and was not quoted.
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "child-", 6) != 0) continue;
    auto it = Children().find(argv[i] + 6);
    return it == Children().end() ? 99 : it->second(argc - i + 1, argv + i - 1);
  }
  // Started with options it does not know (as a GnuPG stand-in would be), it does nothing.
  if (argc >= 2 && argv[1][0] == '-') return 98;
  int passed = 0, failed = 0;
  for (const Case& c : Cases()) {
    bool chosen = argc < 2;
    for (int i = 1; i < argc; ++i) chosen = chosen || std::strcmp(argv[i], c.name) == 0;
    if (!chosen) continue;
    int before = g_failures;
    std::printf("[ RUN  ] %s\n", c.name);
    std::fflush(stdout);
    c.fn();
    bool ok = g_failures == before;
    std::printf("[ %s ] %s\n", ok ? " OK " : "FAIL", c.name);
    std::fflush(stdout);
    (ok ? passed : failed)++;
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}
