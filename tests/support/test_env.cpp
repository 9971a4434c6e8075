// Test main: isolates each test process and dispatches child roles.
#include "support/test_env.h"

#include "hooklib/core/strings.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace vptest {
namespace {

std::map<std::string, ChildMain>& Children() {
  static std::map<std::string, ChildMain> children;
  return children;
}

std::string g_private_dir;
std::string g_self;

}  // namespace

const std::string& PrivateDir() {
  return g_private_dir;
}

std::string FreshDir(const std::string& name) {
  std::string dir = g_private_dir + "/" + name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::string ShortPrivateDir(const std::string& prefix) {
  std::string pattern = "/tmp/" + prefix + "-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp in /tmp failed");
  return pattern;
}

std::string RegistryPath() {
  return g_private_dir + "/registry.reg";
}
std::string SegmentName() {
  return "/veilpost-test-" + std::to_string(getpid());
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool PathExistsForTest(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

int RunCommand(const std::string& commandLine, std::string* output) {
  FILE* p = popen(commandLine.c_str(), "r");
  if (!p) return -1;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  int status = pclose(p);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string VeilpostBinary() {
  return std::string(VP_BIN_DIR) + "/veilpost";
}
std::string TestBinary() {
  return g_self;
}

bool RegisterChild(const char* name, ChildMain main) {
  Children()[name] = main;
  return true;
}

std::string ChildProgram(const std::string& role, const std::string& dir) {
  std::string path = dir + "/" + kChildProgramPrefix + role;
  fs::remove(path);
  fs::create_symlink(g_self, path);
  return path;
}

}  // namespace vptest

int main(int argc, char** argv) {
  vptest::g_self = fs::canonical("/proc/self/exe").string();
  if (argc >= 3 && std::string(argv[1]) == "--child") {
    auto it = vptest::Children().find(argv[2]);
    if (it == vptest::Children().end()) return 127;
    return it->second(argc - 2, argv + 2);
  }
  // Started under a role's name, as a program the system runs by path with its own arguments.
  std::string called = fs::path(argv[0]).filename().string();
  if (called.rfind(vptest::kChildProgramPrefix, 0) == 0) {
    auto it = vptest::Children().find(called.substr(strlen(vptest::kChildProgramPrefix)));
    return it == vptest::Children().end() ? 127 : it->second(argc, argv);
  }

  // Each test process gets its own folder, registry file and shared segment, so tests can run
  // in parallel and never touch the user's own settings.
  const char* base = std::getenv("VP_TEST_RUN_DIR");
  fs::path root = base ? fs::path(base) : fs::temp_directory_path() / "vp-tests";
  fs::create_directories(root);
  // Shared by every test process of the run (the key rings are made once), and by children.
  setenv("VP_TEST_RUN_DIR", root.c_str(), 1);
  vptest::g_private_dir = (root / ("p" + std::to_string(getpid()))).string();
  fs::remove_all(vptest::g_private_dir);
  fs::create_directories(vptest::g_private_dir);
  setenv("TMPDIR", vptest::g_private_dir.c_str(), 1);
  setenv("TMP", vptest::g_private_dir.c_str(), 1);
  setenv("VEILPOST_REGISTRY", vptest::RegistryPath().c_str(), 1);
  setenv("VEILPOST_SEGMENT", vptest::SegmentName().c_str(), 1);
  unsetenv("VEILPOST_UI");
  unsetenv("VEILPOST_UI_LOG");
  unsetenv("VEILPOST_FAULTS");

  // As the library does when it is loaded.
  vp::LoadMessageStrings();
  testing::InitGoogleTest(&argc, argv);
  int rc = RUN_ALL_TESTS();
  std::error_code ec;
  if (rc == 0) fs::remove_all(vptest::g_private_dir, ec);
  return rc;
}
