// Per-process isolation for tests: a private folder, registry file, shared segment and UI log.
#pragma once
#include <string>

namespace vptest {

// The test process's private folder (also TMPDIR and TMP), made before the first test runs and
// removed after the last.
const std::string& PrivateDir();

// A fresh empty folder inside the private folder, for one test.
std::string FreshDir(const std::string& name);

// A new private folder (mode 0700) directly in /tmp, named `prefix` and random letters: short
// wherever the checkout lies, for what holds sockets. The caller removes it.
std::string ShortPrivateDir(const std::string& prefix);

// Paths the environment of this process points at.
std::string RegistryPath();  // VEILPOST_REGISTRY
std::string SegmentName();   // VEILPOST_SEGMENT

// Writes `text` to `path` (binary); reads a whole file ("" when missing).
void WriteFile(const std::string& path, const std::string& text);
std::string ReadFile(const std::string& path);
bool PathExistsForTest(const std::string& path);

// Runs a shell command line, returns its exit status and (optionally) its standard output.
int RunCommand(const std::string& commandLine, std::string* output = nullptr);

// The built programs.
std::string VeilpostBinary();
std::string TestBinary();  // this test binary, for re-running itself as a child

// Child roles: the test binary started with "--child NAME ARGS..." runs the role registered
// under NAME instead of the tests and exits with its result.
using ChildMain = int (*)(int argc, char** argv);
bool RegisterChild(const char* name, ChildMain main);

// A program path in `dir` that starts this test binary as the role NAME, for code that runs a
// program by path with arguments of its own (a GnuPG that hangs or dies): the role gets the
// full argv, argv[0] being that path.
constexpr const char* kChildProgramPrefix = "vp-child-";
std::string ChildProgram(const std::string& role, const std::string& dir);

}  // namespace vptest
