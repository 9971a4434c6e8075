// Builds the test key rings once per test run, under a lock shared by parallel test processes.
#include "support/keyrings.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "support/test_env.h"

namespace fs = std::filesystem;

namespace vptest {
namespace {

const Person kAlice{"alice", "Alice Example", "alice@example.com", "alice-pass"};
const Person kBob{"bob", "Bob Example", "bob@example.com", "bob-pass"};
const Person kCarol{"carol", "Carol Example", "carol@example.com", "carol-pass"};
const Person kDave{"dave", "Dave Example", "dave@example.net", "dave-pass"};
const Person kErin{"erin", "Erin Stranger", "erin@example.org", "erin-pass"};
// Public keys a test adds on its own: user ids with a comma and with quotes.
const Person kMallory{"mallory", "Mallory Smith, Evil", "m@evil.example", "mallory-pass"};
const Person kDan{"dan", "Dan \"Q\" Smith", "dan@example.org", "dan-pass"};
// A name that holds Bob's: GnuPG's plain search finds him for "Bob" and "bob@example.com".
const Person kJimBob{"jimbob", "Jim Bob", "jimbob@example.com", "jimbob-pass"};

// Marks finished master rings; renamed whenever the people on them change, so a build folder
// that kept older rings makes them afresh.
const char* kReady = "ready-with-jimbob";

std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

std::string RunRoot() {
  const char* base = getenv("VP_TEST_RUN_DIR");
  return base ? std::string(base) : (fs::temp_directory_path() / "vp-tests").string();
}

void Must(int status, const std::string& what, const std::string& output) {
  if (status != 0) throw std::runtime_error("key ring setup failed: " + what + "\n" + output);
}

void Generate(GnuPG v, const std::string& home, const Person& p, int keys = 1) {
  std::string out;
  for (int i = 0; i < keys; ++i) {
    if (HasAgent(v)) {
      std::string uid = std::string(p.name) + " <" + p.email + ">";
      Must(Gpg(v, home,
               "--batch --yes --pinentry-mode loopback --passphrase " + Quote(p.passphrase) +
                   " --quick-gen-key " + Quote(uid) + " future-default default never",
               &out),
           "generate " + uid, out);
    } else {
      std::string batch = home + "/batch";
      WriteFile(batch, std::string("Key-Type: DSA\nKey-Length: 1024\nSubkey-Type: ELG-E\n"
                                   "Subkey-Length: 1024\nName-Real: ") +
                           p.name + "\nName-Email: " + p.email +
                           "\nExpire-Date: 0\nPassphrase: " + p.passphrase + "\n%commit\n");
      Must(Gpg(v, home, "--batch --gen-key " + Quote(batch), &out), "generate", out);
      fs::remove(batch);
    }
  }
}

void AddUserId(GnuPG v, const std::string& home, const Person& p, const std::string& name,
               const std::string& email) {
  std::string out;
  if (HasAgent(v)) {
    std::string fpr = Fingerprint(v, home, p.email);
    Must(Gpg(v, home,
             "--batch --pinentry-mode loopback --passphrase " + Quote(p.passphrase) +
                 " --quick-add-uid " + fpr + " " + Quote(name + " <" + email + ">"),
             &out),
         "add uid", out);
  } else {
    std::string cmd = "printf 'adduid\\n" + name + "\\n" + email + "\\n\\nsave\\n' | " +
                      std::string(GnuPGProgram(v)) + " --homedir " + Quote(home) +
                      " --batch --yes --command-fd 0 --passphrase " + Quote(p.passphrase) +
                      " --edit-key " + p.email + " 2>&1";
    Must(RunCommand(cmd, &out), "add uid", out);
  }
}

void ImportPublic(GnuPG v, const std::string& from, const std::string& to, const std::string& who) {
  std::string file = to + "/import.asc";
  std::string out;
  Must(Gpg(v, from, "--batch --armor --yes --output " + Quote(file) + " --export " + who, &out),
       "export", out);
  Must(Gpg(v, to, "--batch --import " + Quote(file), &out), "import", out);
  fs::remove(file);
}

// Copies a GnuPG home: only files and folders, an agent's sockets are not part of a key ring.
void CopyHome(const std::string& from, const std::string& to) {
  fs::remove_all(to);
  fs::create_directories(to);
  for (const auto& entry : fs::recursive_directory_iterator(from)) {
    fs::path target = fs::path(to) / fs::relative(entry.path(), from);
    if (entry.is_directory()) {
      fs::create_directories(target);
    } else if (entry.is_regular_file()) {
      fs::copy_file(entry.path(), target);
    }
  }
  fs::permissions(to, fs::perms::owner_all);
}

std::string MakeHome(const std::string& path) {
  fs::create_directories(path);
  fs::permissions(path, fs::perms::owner_all);
  return path;
}

// Makes every master ring of one version, unless an earlier process of this run did.
std::string Masters(GnuPG v) {
  std::string root = RunRoot() + "/keys-" + GnuPGName(v);
  fs::create_directories(RunRoot());
  int lock = open((root + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
  flock(lock, LOCK_EX);
  if (!fs::exists(root + "/" + kReady)) {
    fs::remove_all(root);
    // Made on a short path (agent sockets), then copied where the whole run finds them.
    std::string work = ShortPrivateDir("vpm");
    std::string alice = MakeHome(work + "/alice");
    std::string bob = MakeHome(work + "/bob");
    std::string carol = MakeHome(work + "/carol");
    std::string dave = MakeHome(work + "/dave");
    std::string erin = MakeHome(work + "/erin");
    std::string others = MakeHome(work + "/others");
    Generate(v, alice, kAlice);
    Generate(v, bob, kBob);
    Generate(v, carol, kCarol);
    AddUserId(v, carol, kCarol, "Carol Second", "carol2@example.org");
    AddUserId(v, carol, kCarol, "Carol Third", "carol3@example.org");
    Generate(v, dave, kDave, 2);
    Generate(v, erin, kErin);
    Generate(v, others, kMallory);
    Generate(v, others, kDan);
    Generate(v, others, kJimBob);
    fs::create_directories(root);
    for (const Person* p : {&kMallory, &kDan, &kJimBob}) {
      std::string out;
      Must(Gpg(v, others,
               "--batch --armor --yes --output " + Quote(root + "/" + p->who + ".asc") +
                   " --export " + p->email,
               &out),
           "export", out);
    }
    StopAgent(others);
    ImportPublic(v, bob, alice, kBob.email);
    ImportPublic(v, carol, alice, kCarol.email);
    ImportPublic(v, dave, alice, kDave.email);
    ImportPublic(v, alice, bob, kAlice.email);
    for (const std::string& home : {alice, bob, carol, dave, erin}) {
      StopAgent(home);
      CopyHome(home, root + "/" + fs::path(home).filename().string());
    }
    fs::remove_all(work);
    WriteFile(root + "/" + kReady, "");
  }
  flock(lock, LOCK_UN);
  close(lock);
  return root;
}

}  // namespace

namespace {

// The fixture cache the fixture scripts build into.
std::string FixtureCache() {
  if (const char* cache = getenv("VEILPOST_FIXTURE_CACHE"); cache && *cache) return cache;
  std::string base;
  if (const char* xdg = getenv("XDG_CACHE_HOME"); xdg && *xdg) {
    base = xdg;
  } else if (const char* home = getenv("HOME"); home && *home) {
    base = std::string(home) + "/.cache";
  }
  return base.empty() ? "" : base + "/veilpost/fixtures";
}

struct Located {
  std::string program;
  std::string missing;  // why there is none
};

// GnuPG 2.4: VP_GNUPG24, else the build the fixture script recorded as its last good one
// ("<entry> <script hash>" in gnupg24.latest; the entry holds bin/gpg and, once complete, stamp).
Located LocateGnuPG24() {
  constexpr const char* kHowTo = "; build it with tests/fixtures/build-gnupg24";
  if (const char* named = getenv("VP_GNUPG24")) {
    if (!*named) return {"", "GnuPG 2.4 is switched off (VP_GNUPG24 is empty)"};
    if (access(named, X_OK) != 0) {
      return {"", std::string("GnuPG 2.4 named by VP_GNUPG24 is not a program: ") + named};
    }
    return {named, ""};
  }
  const std::string cache = FixtureCache();
  std::string entry = ReadFile(cache + "/gnupg24.latest");
  entry = entry.substr(0, entry.find_first_of(" \n"));
  if (cache.empty() || entry.empty() || entry.find('/') != std::string::npos) {
    return {"", "GnuPG 2.4 fixture not built" + std::string(kHowTo)};
  }
  const std::string root = cache + "/" + entry;
  if (!fs::exists(root + "/stamp") || access((root + "/bin/gpg").c_str(), X_OK) != 0) {
    return {"", "GnuPG 2.4 fixture in " + root + " is incomplete" + kHowTo};
  }
  return {root + "/bin/gpg", ""};
}

// Never destroyed: the agents are stopped from another static's destructor at exit, and that
// asks for the 2.4 programs too.
const Located& GnuPG24() {
  static const Located* located = new Located(LocateGnuPG24());
  return *located;
}

}  // namespace

const char* GnuPGProgram(GnuPG v) {
  switch (v) {
    case GnuPG::k1:
      return "/usr/bin/gpg1";
    case GnuPG::k2:
      return "/usr/bin/gpg";
    case GnuPG::k24:
      break;
  }
  return GnuPG24().program.c_str();
}
const char* GnuPGName(GnuPG v) {
  return v == GnuPG::k1 ? "GnuPG1" : v == GnuPG::k2 ? "GnuPG2" : "GnuPG24";
}

bool HasAgent(GnuPG v) {
  return v != GnuPG::k1;
}

std::string GnuPGMissing(GnuPG v) {
  // 1.4 and 2.2 are installed with the build's dependencies: without them a case fails.
  return v == GnuPG::k24 ? GnuPG24().missing : "";
}

const Person& Alice() {
  return kAlice;
}
const Person& Bob() {
  return kBob;
}
const Person& Carol() {
  return kCarol;
}
const Person& Erin() {
  return kErin;
}

void AddPublicKey(GnuPG v, const std::string& home, const std::string& who) {
  std::string out;
  Must(Gpg(v, home, "--batch --import " + Quote(Masters(v) + "/" + who + ".asc"), &out),
       "import " + who, out);
}

int Gpg(GnuPG v, const std::string& home, const std::string& args, std::string* output) {
  return RunCommand(
      std::string(GnuPGProgram(v)) + " --homedir " + Quote(home) + " " + args + " 2>&1", output);
}

std::string Fingerprint(GnuPG v, const std::string& home, const std::string& email) {
  std::string out;
  Gpg(v, home, "--with-colons --fixed-list-mode --with-fingerprint --list-keys " + email, &out);
  size_t at = out.find("\nfpr:");
  if (at == std::string::npos) return "";
  size_t start = at + 1;
  for (int i = 0; i < 9; ++i) start = out.find(':', start) + 1;
  return out.substr(start, out.find(':', start) - start);
}

void StopAgent(const std::string& home) {
  std::string command = "gpgconf --homedir " + Quote(home) + " --kill all >/dev/null 2>&1";
  // A 2.4 home may also run that version's key box daemon, which only its own gpgconf knows.
  if (GnuPGMissing(GnuPG::k24).empty()) {
    const std::string gpgconf = fs::path(GnuPGProgram(GnuPG::k24)).parent_path() / "gpgconf";
    command = gpgconf + " --homedir " + Quote(home) + " --kill all >/dev/null 2>&1; " + command;
  }
  RunCommand(command);
}

namespace {

// GnuPG 2 puts its agent's sockets into the home folder, and a socket path may not exceed about
// 107 bytes wherever the checkout lies: homes live in a short private folder of this process,
// removed with their agents when the process ends.
struct ShortRoot {
  std::string path = ShortPrivateDir("vpk");
  pid_t owner = getpid();
  int next = 0;
  ~ShortRoot() {
    if (getpid() != owner) return;  // a forked child leaves its parent's homes alone
    std::error_code ec;
    if (fs::exists(path, ec)) {
      for (const auto& home : fs::directory_iterator(path, ec)) StopAgent(home.path().string());
    }
    fs::remove_all(path, ec);
  }
};

ShortRoot& Short() {
  static ShortRoot root;
  return root;
}

}  // namespace

std::string FreshHome(const std::string& name) {
  std::string home = Short().path + "/" + name + std::to_string(Short().next++);
  MakeHome(home);
  return home;
}

std::string UseKeyring(GnuPG v, const std::string& who, const std::string& dir) {
  (void)dir;
  std::string master = Masters(v) + "/" + who;
  std::string home = Short().path + "/" + who + std::to_string(Short().next++);
  CopyHome(master, home);
  fs::permissions(home, fs::perms::owner_all);
  setenv("GNUPGHOME", home.c_str(), 1);
  return home;
}

std::string Grouped(const std::string& reference) {
  std::string line;
  for (size_t i = 0; i < reference.size(); i += 4) {
    line += reference.substr(i, 4) + (i == 16 && reference.size() == 40 ? "  " : " ");
  }
  if (!line.empty()) line.pop_back();
  return line;
}

std::string KeyLine(GnuPG version, const std::string& home, const std::string& uid,
                    const std::string& email) {
  return uid + "  [" + Grouped(Fingerprint(version, home, email)) + "]";
}

}  // namespace vptest
