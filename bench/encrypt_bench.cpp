// Sending a memo to N recipients: DoEncrypt against the same GnuPG command lines run directly
// (spawn, feed the passphrase, read the output, reap), N = 1, 10, 50; and a memo to a group of
// 500 members, each with a key of their own.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "hooklib/core/strings.h"
#include "hooklib/gnupg/runner.h"
#include "hooklib/outgoing/encrypt.h"
#include "notesemu/directory_tools.h"
#include "platform/headless/headless_ui.h"
#include "platform/process.h"
#include "platform/registry.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

const char* kGpg = "/usr/bin/gpg";
const char* kPassphrase = "bench-pass";
constexpr int kMaxRecipients = 50;
const std::string kMemo = "Dear all,\n\nthe quarterly figures are attached.\n\nRegards\n";

// Answers every dialog with its default button and every box with OK, as a user in a hurry.
class EnterUi final : public vp::headless::HeadlessUi {
 protected:
  BoxAnswer AnswerBox(const std::string&, const std::string&, unsigned) override {
    return {vp::kIdOk, true};
  }
  void ShowBox(const std::string&, const std::string&, unsigned) override {}
  bool RunDialog(vp::headless::VirtualDialog& dialog) override {
    dialog.PressEnter();
    return dialog.Ended();
  }
};

std::string Email(int i) {
  char email[64];
  snprintf(email, sizeof email, "p%02d@bench.example", i);
  return email;
}

constexpr int kGroupMembers = 500;

std::string Member(int i) {
  char name[32];
  snprintf(name, sizeof name, "Member %03d", i);
  return name;
}
std::string MemberEmail(int i) {
  char email[64];
  snprintf(email, sizeof email, "m%03d@bench.example", i);
  return email;
}

// A key ring under vp-bench/NAME: the sender with a passphrase and `people` keys without, the
// key of person i named `name(i)` <`email(i)`>. Made once and kept.
std::string Home(const char* folder, int people, std::string (*name)(int),
                 std::string (*email)(int)) {
  std::string root = (fs::temp_directory_path() / "vp-bench" / folder).string();
  std::string home = root + "/gnupg";
  if (fs::exists(root + "/ready")) return root;
  fs::remove_all(root);
  fs::create_directories(home);
  fs::permissions(home, fs::perms::owner_all);
  std::string params = std::string("Key-Type: EDDSA\nKey-Curve: ed25519\nSubkey-Type: ECDH\n") +
                       "Subkey-Curve: cv25519\nName-Real: Bench Sender\nName-Email: " +
                       "sender@bench.example\nExpire-Date: 0\nPassphrase: " + kPassphrase +
                       "\n%commit\n";
  for (int i = 0; i < people; ++i)
    params +=
        "Key-Type: EDDSA\nKey-Curve: ed25519\nSubkey-Type: ECDH\nSubkey-Curve: cv25519\n"
        "Name-Real: " +
        name(i) + "\nName-Email: " + email(i) + "\nExpire-Date: 0\n%no-protection\n%commit\n";
  std::ofstream(root + "/params") << params;
  std::string cmd = std::string(kGpg) + " --homedir " + home +
                    " --batch --pinentry-mode loopback --gen-key " + root + "/params 2>/dev/null";
  if (system(cmd.c_str()) != 0) return "";
  std::ofstream(root + "/ready") << "";
  return root;
}

std::string Person(int i) {
  return "Person " + std::to_string(i);
}

std::string Home() {
  return Home("encrypt", kMaxRecipients, Person, Email);
}

std::string RecipientList(int n) {
  std::string list;
  for (int i = 0; i < n; ++i) list += (i ? ";" : "") + Email(i);
  return list;
}

// Everything DoEncrypt needs, for the key ring and directory under `root`: settings, a directory
// (people and groups made once), the interface.
bool Prepare(const std::string& root, const std::vector<notesemu::PersonEntry>& people = {},
             const std::vector<notesemu::GroupEntry>& groups = {}) {
  if (root.empty()) return false;
  setenv("GNUPGHOME", (root + "/gnupg").c_str(), 1);
  std::string notes = root + "/notes";
  if (!fs::exists(notes + "/names.nsf")) {
    fs::create_directories(notes);
    if (!notesemu::CreateDirectoryDatabase(notes + "/names.nsf").empty()) return false;
    if (!notesemu::AddDirectoryEntries(notes + "/names.nsf", people, groups).empty()) return false;
  }
  setenv("VEILPOST_NOTES_DATA", notes.c_str(), 1);
  setenv("TMP", root.c_str(), 1);
  setenv("TMPDIR", root.c_str(), 1);
  vp::LoadMessageStrings();
  vp::SetUi(std::make_unique<EnterUi>());
  vp::SharedSettings& s = vp::Settings();
  vp::CopyText(s.szGpgApp, kGpg);
  s.bUseAgent = 0;
  vp::CopyText(s.passphrase, kPassphrase);  // cached, as after the first memo of a session
  vp::RegistryKey key = nullptr;
  if (!vp::RegistryOpenOrCreate(vp::kConfigKeyPath, vp::kConfigKeyClass, &key)) return false;
  vp::RegistryWriteDword(key, "AttachPubKey", 0);
  vp::RegistryWriteDword(key, "EncryptMessage", 1);
  vp::RegistryWriteDword(key, "EncryptAttachments", 0);
  vp::RegistryClose(key);
  static const bool initialised = vp::InitOrlavexImpl("9.0.1", "1.5.5") == 0;
  return initialised;
}

bool Prepare() {
  return Prepare(Home());
}

int Send(int n) {
  std::string list = RecipientList(n);
  char attachments[1] = "";
  return vp::DoEncryptImpl("", "Bench Sender/Bench", list.c_str(), kMemo.c_str(), attachments);
}

// The GnuPG command lines one DoEncrypt makes, from a traced run.
std::vector<std::string> TracedCommands(int n) {
  std::string root = Home();
  std::string trace = root + "/trace.log";
  fs::remove(trace);
  vp::RegistryKey key = nullptr;
  vp::RegistryOpenOrCreate(vp::kConfigKeyPath, vp::kConfigKeyClass, &key);
  vp::RegistryWriteString(key, "TraceFile", trace.c_str());
  Send(n);
  vp::RegistryWriteString(key, "TraceFile", "");
  vp::RegistryClose(key);
  std::vector<std::string> lines;
  std::ifstream in(trace);
  std::string prefix = std::string(kGpg) + " --gnupg";
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  }
  fs::remove(trace);
  return lines;
}

// One bare run: GnuPG with the passphrase on standard input, both outputs read to the end.
void RunDirectly(const std::string& line) {
  std::vector<std::string> args = vp::SplitWindowsCommandLine(line);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, out[1], 2);
  posix_spawn_file_actions_addclose(&actions, in[1]);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  pid_t pid;
  posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  std::string feed = std::string(kPassphrase) + "\n";
  if (write(in[1], feed.data(), feed.size()) < 0) {
  }
  close(in[1]);
  char buf[4096];
  std::string text;
  ssize_t n;
  while ((n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  close(out[0]);
  int status;
  waitpid(pid, &status, 0);
  benchmark::DoNotOptimize(text);
}

void DoEncrypt_veilpost(benchmark::State& state) {
  if (!Prepare()) return state.SkipWithError("setup failed");
  int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    if (Send(n) != 0) state.SkipWithError("DoEncrypt failed");
  }
}

void DoEncrypt_baseline(benchmark::State& state) {
  if (!Prepare()) return state.SkipWithError("setup failed");
  int n = static_cast<int>(state.range(0));
  std::vector<std::string> commands = TracedCommands(n);
  if (commands.size() != static_cast<size_t>(2 * n + 2))
    return state.SkipWithError("unexpected command lines in the trace");
  // The encryption reads the body from the file its command line names last.
  const std::string& crypt = commands.back();
  std::vector<std::string> words = vp::SplitWindowsCommandLine(crypt);
  std::string input = words.back();
  std::string output = words[words.size() - 2];
  for (auto _ : state) {
    for (const std::string& c : commands) {
      if (&c == &crypt) std::ofstream(input, std::ios::binary) << kMemo;
      RunDirectly(c);
    }
    fs::remove(input);
    fs::remove(output);
  }
}

// One memo to the group "All Hands" of 500 people: resolution, a key check and a lookup per
// member, and one encryption naming 501 keys.
void DoEncrypt_group500(benchmark::State& state) {
  std::vector<notesemu::PersonEntry> people;
  notesemu::GroupEntry group{"All Hands", {}, true};
  for (int i = 0; i < kGroupMembers; ++i) {
    people.push_back({"CN=" + Member(i) + "/O=Bench", "", MemberEmail(i)});
    group.members.push_back("CN=" + Member(i) + "/O=Bench");
  }
  if (!Prepare(Home("group", kGroupMembers, Member, MemberEmail), people, {group}))
    return state.SkipWithError("setup failed");
  char attachments[1] = "";
  for (auto _ : state) {
    if (vp::DoEncryptImpl("", "Bench Sender/Bench", "All Hands", kMemo.c_str(), attachments) != 0)
      state.SkipWithError("DoEncrypt failed");
  }
  state.counters["recipients"] = kGroupMembers;
  state.counters["command_line"] = static_cast<double>(vp::LastCommandLine().size());
}

}  // namespace

BENCHMARK(DoEncrypt_group500)->Name("DoEncrypt/group500")->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(DoEncrypt_veilpost)
    ->Name("DoEncrypt/veilpost")
    ->Arg(1)
    ->Arg(10)
    ->Arg(50)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(DoEncrypt_baseline)
    ->Name("DoEncrypt/baseline")
    ->Arg(1)
    ->Arg(10)
    ->Arg(50)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
