// A small test harness for the Windows test program, which runs under Wine where GoogleTest is
// not built: named cases, checks that record failures, and child modes the cases start.
#pragma once
#include <string>
#include <vector>

namespace wintest {

using CaseFunction = void (*)();
// Adds a case; the program runs every case, or those named on its command line.
bool Register(const char* name, CaseFunction fn);
// Records a failed check of the current case.
void Fail(const char* file, int line, const std::string& what);

// This program's own path, for starting it in a child mode.
std::string SelfPath();
// The user's temporary folder, without its closing backslash.
std::string TempFolder();
// A whole file's bytes ("" when it cannot be read).
std::string ReadFileText(const std::string& path);
// Runs this program in a child mode through the system's process port (which is itself under
// test): `args` follow the program name on the command line. Returns its exit code; standard
// output goes to *out when given.
int RunChild(const std::string& args, std::string* out = nullptr);

// A child mode: argv[1] names it; returns the process's exit code.
using ChildMode = int (*)(int argc, char** argv);
bool RegisterChild(const char* name, ChildMode fn);

}  // namespace wintest

#define WIN_TEST(name)                                                             \
  static void name();                                                              \
  [[maybe_unused]] static bool name##_registered = wintest::Register(#name, name); \
  static void name()

#define WIN_CHILD(name)                                                                 \
  static int name(int argc, char** argv);                                               \
  [[maybe_unused]] static bool name##_registered = wintest::RegisterChild(#name, name); \
  static int name([[maybe_unused]] int argc, [[maybe_unused]] char** argv)

#define EXPECT(cond) ((cond) ? (void)0 : wintest::Fail(__FILE__, __LINE__, "expected " #cond))

#define EXPECT_TEXT(actual, expected)                                                           \
  do {                                                                                          \
    std::string a_ = (actual), e_ = (expected);                                                 \
    if (a_ != e_)                                                                               \
      wintest::Fail(__FILE__, __LINE__, #actual " is \"" + a_ + "\", expected \"" + e_ + "\""); \
  } while (0)
