// Sending a memo: DoEncrypt to N = 1, 10, 50 recipients against the same GnuPG command lines run
// directly (spawn, feed the passphrase, read the output, reap); and memos to big groups and on a
// big ring against their floor (one listing and the encryption, run directly); PgpCheckKey on
// the big ring against a bare "gpg --list-keys NAME".
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "hooklib/core/strings.h"
#include "hooklib/gnupg/batch_lookup.h"
#include "hooklib/gnupg/key_listing.h"
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
  // A box means something went wrong: it is shown on standard error, so the failure says why.
  BoxAnswer AnswerBox(const std::string& text, const std::string&, unsigned) override {
    fprintf(stderr, "box: %s\n", text.c_str());
    return {vp::kIdOk, true};
  }
  void ShowBox(const std::string& text, const std::string&, unsigned) override {
    fprintf(stderr, "box: %s\n", text.c_str());
  }
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

// The benchmark folder, fixed by main before any benchmark points TMPDIR elsewhere.
std::string BenchDir() {
  const char* dir = getenv("VP_BENCH_DIR");
  return dir ? dir : (fs::temp_directory_path() / "vp-bench").string();
}

bool Gpg(const std::string& home, const std::string& args) {
  std::string cmd = std::string(kGpg) + " --homedir " + home +
                    " --batch --pinentry-mode loopback --passphrase '' " + args +
                    " >/dev/null 2>&1";
  return system(cmd.c_str()) == 0;
}

// A key ring under the benchmark folder: the sender (ed25519, with a passphrase) and `people`
// RSA keys without, the key of person i named `name(i)` <`email(i)`>. The people's keys share the
// material of one key, each made at its own second (so each has its own fingerprint): making one
// costs a signature, not new primes. Made once and kept.
std::string Home(const char* folder, int people, std::string (*name)(int),
                 std::string (*email)(int)) {
  std::string root = BenchDir() + "/" + folder;
  std::string home = root + "/gnupg";
  if (fs::exists(root + "/ready")) return root;
  fs::remove_all(root);
  fs::create_directories(home);
  fs::permissions(home, fs::perms::owner_all);
  std::string params = std::string("Key-Type: EDDSA\nKey-Curve: ed25519\nSubkey-Type: ECDH\n") +
                       "Subkey-Curve: cv25519\nName-Real: Bench Sender\nName-Email: " +
                       "sender@bench.example\nExpire-Date: 0\nPassphrase: " + kPassphrase +
                       "\n%commit\n";
  std::ofstream(root + "/sender") << params;
  if (!Gpg(home, "--gen-key " + root + "/sender")) return "";
  if (!Gpg(home, "--quick-gen-key 'Seed <seed@seed.example>' rsa1024 sign,encr never")) return "";
  std::string grips = root + "/grips";
  system((std::string(kGpg) + " --homedir " + home +
          " --with-colons --with-keygrip --list-secret-keys seed@seed.example > " + grips)
             .c_str());
  std::ifstream in(grips);
  std::string grip;
  for (std::string line; std::getline(in, line);)
    if (line.rfind("grp:", 0) == 0 && grip.empty()) grip = line.substr(12, 40);
  if (grip.size() != 40) return "";
  std::ofstream out(root + "/params");
  for (int i = 0; i < people; ++i) {
    char stamp[32];
    snprintf(stamp, sizeof stamp, "2020%02d%02dT%02d%02d%02d", 1 + i / (28 * 86400) % 12,
             1 + i / 86400 % 28, i / 3600 % 24, i / 60 % 60, i % 60);
    out << "Key-Type: RSA\nKey-Grip: " << grip
        << "\nKey-Usage: sign encrypt\nName-Real: " << name(i) << "\nName-Email: " << email(i)
        << "\nCreation-Date: " << stamp << "\nExpire-Date: 0\n%no-protection\n%commit\n";
  }
  out.close();
  if (!Gpg(home, "--gen-key " + root + "/params")) return "";
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
    // Made aside and moved in whole: a directory left half made would send memos elsewhere.
    std::string making = root + "/notes-new";
    fs::remove_all(making);
    fs::create_directories(making);
    std::string error = notesemu::CreateDirectoryDatabase(making + "/names.nsf");
    if (error.empty()) error = notesemu::AddDirectoryEntries(making + "/names.nsf", people, groups);
    if (!error.empty()) {
      fprintf(stderr, "directory: %s\n", error.c_str());
      return false;
    }
    fs::remove_all(notes);
    fs::rename(making, notes);
  }
  setenv("VEILPOST_NOTES_DATA", notes.c_str(), 1);
  // A private temporary folder of its own, made afresh: what an earlier run left there is gone.
  std::string tmp = root + "/tmp";
  fs::remove_all(tmp);
  fs::create_directories(tmp);
  fs::permissions(tmp, fs::perms::owner_all);
  setenv("TMP", tmp.c_str(), 1);
  setenv("TMPDIR", tmp.c_str(), 1);
  vp::LoadMessageStrings();
  vp::SetUi(std::make_unique<EnterUi>());
  vp::SharedSettings& s = vp::Settings();
  vp::CopyText(s.szGpgApp, kGpg);
  s.bUseAgent = 0;
  vp::RegistryKey key = nullptr;
  if (!vp::RegistryOpenOrCreate(vp::kConfigKeyPath, vp::kConfigKeyClass, &key)) return false;
  vp::RegistryWriteDword(key, "AttachPubKey", 0);
  vp::RegistryWriteDword(key, "EncryptMessage", 1);
  vp::RegistryWriteDword(key, "EncryptAttachments", 0);
  vp::RegistryClose(key);
  static const bool initialised = vp::InitOrlavexImpl("9.0.1", "1.5.5") == 0;
  // Known already, as after the first memo of a session; held where this process's GnuPG runs
  // take it from (its own memory, with the cache interval 0).
  vp::CopyText(vp::Passphrase(), vp::kPassphraseCapacity, kPassphrase);
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

// The GnuPG command lines that `send` makes, from a traced run in `root`.
template <typename Send>
std::vector<std::string> TracedCommands(const std::string& root, Send send) {
  std::string trace = root + "/trace.log";
  fs::remove(trace);
  vp::RegistryKey key = nullptr;
  vp::RegistryOpenOrCreate(vp::kConfigKeyPath, vp::kConfigKeyClass, &key);
  vp::RegistryWriteString(key, "TraceFile", trace.c_str());
  send();
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

// Runs `commands` directly, the body written where the encryption reads it; the floor of a memo.
void RunCommands(benchmark::State& state, const std::vector<std::string>& commands) {
  const std::string* crypt = nullptr;
  for (const std::string& c : commands)
    if (c.find("--encrypt") != std::string::npos) crypt = &c;
  if (!crypt) return state.SkipWithError("no encryption in the trace");
  // The encryption reads the body from the file its command line names last.
  std::vector<std::string> words = vp::SplitWindowsCommandLine(*crypt);
  std::string input = words.back();
  std::string output = words[words.size() - 2];
  std::string options;  // an options file naming the keys is wiped after the run: keep a copy
  for (size_t i = 0; i + 1 < words.size(); ++i)
    if (words[i] == "--options") options = words[i + 1];
  std::string optionsText;
  if (!options.empty()) {
    std::ifstream in(options + ".kept");
    optionsText.assign(std::istreambuf_iterator<char>(in), {});
    fs::remove(options + ".kept");
  }
  for (auto _ : state) {
    for (const std::string& c : commands) {
      if (&c == crypt) {
        std::ofstream(input, std::ios::binary) << kMemo;
        if (!options.empty()) std::ofstream(options) << optionsText;
      }
      RunDirectly(c);
    }
    fs::remove(input);
    fs::remove(output);
  }
  if (!options.empty()) fs::remove(options);
}

// The floor of a memo: its public key listings and its encryption, run directly (the sender's
// secret key lookup is left out, as one listing of its own).
std::vector<std::string> Floor(const std::vector<std::string>& commands) {
  std::vector<std::string> floor;
  for (const std::string& c : commands)
    if (c.find("--list-public-keys") != std::string::npos ||
        c.find("--encrypt") != std::string::npos)
      floor.push_back(c);
  return floor;
}

// Starts each run as usual, keeping its command line whole (the trace cuts long lines) and
// copying an options file the line names to "<file>.kept": the library wipes it after the run,
// and the floor replays it.
class KeepingLauncher final : public vp::ProcessLauncher {
 public:
  std::vector<std::string> lines;
  vp::SpawnResult Run(const vp::SpawnRequest& request) override {
    lines.push_back(request.commandLine);
    std::vector<std::string> words = vp::SplitWindowsCommandLine(request.commandLine);
    for (size_t i = 0; i + 1 < words.size(); ++i)
      if (words[i] == "--options")
        fs::copy_file(words[i + 1], words[i + 1] + ".kept", fs::copy_options::overwrite_existing);
    return vp::PlatformProcessLauncher().Run(request);
  }
};

// The GnuPG command lines of one memo to `to`.
std::vector<std::string> TracedMemo(const char* to) {
  KeepingLauncher keeping;
  vp::SetProcessLauncher(&keeping);
  char attachments[1] = "";
  vp::DoEncryptImpl("", "Bench Sender/Bench", to, kMemo.c_str(), attachments);
  vp::SetProcessLauncher(nullptr);
  std::vector<std::string> gpg;
  for (const std::string& line : keeping.lines)
    if (line.rfind(std::string(kGpg) + " --gnupg", 0) == 0) gpg.push_back(line);
  return gpg;
}

void DoEncrypt_baseline(benchmark::State& state) {
  if (!Prepare()) return state.SkipWithError("setup failed");
  int n = static_cast<int>(state.range(0));
  RunCommands(state, TracedCommands(Home(), [&] { Send(n); }));
}

std::vector<notesemu::PersonEntry> People(int count, std::string (*name)(int),
                                          std::string (*email)(int)) {
  std::vector<notesemu::PersonEntry> people;
  for (int i = 0; i < count; ++i) people.push_back({"CN=" + name(i) + "/O=Bench", "", email(i)});
  return people;
}

notesemu::GroupEntry Group(const char* groupName, int count, std::string (*name)(int)) {
  notesemu::GroupEntry group{groupName, {}, true};
  for (int i = 0; i < count; ++i) group.members.push_back("CN=" + name(i) + "/O=Bench");
  return group;
}

bool PrepareGroup500() {
  return Prepare(Home("group", kGroupMembers, Member, MemberEmail),
                 People(kGroupMembers, Member, MemberEmail),
                 {Group("All Hands", kGroupMembers, Member)});
}

void Memo(benchmark::State& state, const char* to, int recipients) {
  char attachments[1] = "";
  for (auto _ : state) {
    if (vp::DoEncryptImpl("", "Bench Sender/Bench", to, kMemo.c_str(), attachments) != 0)
      state.SkipWithError("DoEncrypt failed");
  }
  state.counters["recipients"] = recipients;
}

// One memo to the group "All Hands" of 500 people, each with a key: resolution, one listing for
// all members, and one encryption naming 501 keys.
void Group500_veilpost(benchmark::State& state) {
  if (!PrepareGroup500()) return state.SkipWithError("setup failed");
  Memo(state, "All Hands", kGroupMembers);
}
void Group500_baseline(benchmark::State& state) {
  if (!PrepareGroup500()) return state.SkipWithError("setup failed");
  RunCommands(state, Floor(TracedMemo("All Hands")));
}

// What the same 500 lookups cost one listing per name, as before they were batched.
void Group500Lookups_one_per_name(benchmark::State& state) {
  if (!PrepareGroup500()) return state.SkipWithError("setup failed");
  for (auto _ : state) {
    for (int i = 0; i < kGroupMembers; ++i) {
      vp::KeyLookup lookup;
      if (vp::LookUpKeys(Member(i).c_str(), false, &lookup) != 0 ||
          lookup.match.outcome != vp::MatchOutcome::kExact)
        return state.SkipWithError("lookup failed");
    }
  }
}
void Group500Lookups_batched(benchmark::State& state) {
  if (!PrepareGroup500()) return state.SkipWithError("setup failed");
  std::vector<std::string> names;
  for (int i = 0; i < kGroupMembers; ++i) names.push_back(Member(i));
  for (auto _ : state) {
    vp::BatchedLookups batch;
    if (vp::LookUpPublicKeysBatched(names, &batch) != 0 || batch.runs != 1)
      return state.SkipWithError("lookup failed");
  }
}

// The big ring: 10,000 people; a directory group of the first 8191 (the table's limit) and one
// of the first 50.
constexpr int kRingPeople = 10000;
constexpr int kAllMembers = 8191;
std::string RingPerson(int i) {
  char name[32];
  snprintf(name, sizeof name, "Person %05d", i);
  return name;
}
std::string RingEmail(int i) {
  char email[64];
  snprintf(email, sizeof email, "p%05d@ring.example", i);
  return email;
}
std::string Ring() {
  return Home("ring10000", kRingPeople, RingPerson, RingEmail);
}
bool PrepareRing() {
  // A group's member list holds at most 65535 bytes: "Everyone" is made of teams of 1000.
  std::vector<notesemu::GroupEntry> groups{{"Everyone", {}, true}, Group("Fifty", 50, RingPerson)};
  for (int first = 0; first < kAllMembers; first += 1000) {
    notesemu::GroupEntry team{"Team " + std::to_string(first / 1000), {}, true};
    for (int i = first; i < first + 1000 && i < kAllMembers; ++i)
      team.members.push_back("CN=" + RingPerson(i) + "/O=Bench");
    groups[0].members.push_back(team.name);
    groups.push_back(team);
  }
  return Prepare(Ring(), People(kAllMembers, RingPerson, RingEmail), groups);
}

void All8191_veilpost(benchmark::State& state) {
  if (!PrepareRing()) return state.SkipWithError("setup failed");
  Memo(state, "Everyone", kAllMembers);
}
void All8191_baseline(benchmark::State& state) {
  if (!PrepareRing()) return state.SkipWithError("setup failed");
  RunCommands(state, Floor(TracedMemo("Everyone")));
}
void Ring10000Memo50_veilpost(benchmark::State& state) {
  if (!PrepareRing()) return state.SkipWithError("setup failed");
  Memo(state, "Fifty", 50);
}
void Ring10000Memo50_baseline(benchmark::State& state) {
  if (!PrepareRing()) return state.SkipWithError("setup failed");
  RunCommands(state, Floor(TracedMemo("Fifty")));
}

// PgpCheckKey as the script calls it, one name, against a bare "gpg --list-keys NAME".
void Ring10000CheckKey_veilpost(benchmark::State& state) {
  if (!PrepareRing()) return state.SkipWithError("setup failed");
  for (auto _ : state) {
    char name[64] = "Person 04711/Bench";
    int found = 0;
    if (vp::PgpCheckKeyImpl(name, &found) != 0 || found != 1)
      return state.SkipWithError("PgpCheckKey failed");
  }
}
void Ring10000CheckKey_baseline(benchmark::State& state) {
  if (!PrepareRing()) return state.SkipWithError("setup failed");
  std::string line = std::string(kGpg) + " --list-keys \"Person 04711\"";
  for (auto _ : state) RunDirectly(line);
}

}  // namespace

BENCHMARK(Group500_veilpost)->Name("Group500/veilpost")->Unit(benchmark::kSecond)->Iterations(2);
BENCHMARK(Group500_baseline)->Name("Group500/baseline")->Unit(benchmark::kSecond)->Iterations(2);
BENCHMARK(Group500Lookups_one_per_name)
    ->Name("Group500Lookups/one_per_name")
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
BENCHMARK(Group500Lookups_batched)
    ->Name("Group500Lookups/batched")
    ->Unit(benchmark::kSecond)
    ->Iterations(2);
BENCHMARK(All8191_veilpost)->Name("All8191/veilpost")->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(All8191_baseline)->Name("All8191/baseline")->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(Ring10000Memo50_veilpost)
    ->Name("Ring10000Memo50/veilpost")
    ->Unit(benchmark::kSecond)
    ->Iterations(2);
BENCHMARK(Ring10000Memo50_baseline)
    ->Name("Ring10000Memo50/baseline")
    ->Unit(benchmark::kSecond)
    ->Iterations(2);
BENCHMARK(Ring10000CheckKey_veilpost)
    ->Name("Ring10000CheckKey/veilpost")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(Ring10000CheckKey_baseline)
    ->Name("Ring10000CheckKey/baseline")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
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
