// veilpost demo: two people, a directory, and one signed and encrypted memo with an attachment
// sent by Alice through DoEncrypt and opened by Bob through DoDecryptBody, in a throwaway folder.
//
// Each person is a process of their own (their own key ring, settings file, shared segment and
// temporary folder), started as `veilpost call`, so the library is loaded exactly as the mail
// client loads it. The folder is removed at the end, whatever happened.
#include <signal.h>
#include <stdlib.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "host/commands.h"
#include "notesemu/directory_tools.h"

namespace fs = std::filesystem;

namespace vphost {
namespace {

struct DemoOptions {
  bool interactive = false;
  std::string gpg;
};

struct Person {
  const char* name;
  const char* email;
  const char* notesName;  // canonical, as the directory holds it
  const char* userName;   // abbreviated, as the client's script hands it over
  const char* passphrase;
  std::string home;  // the person's folder: gnupg/, tmp/, registry.reg
};

using Env = std::map<std::string, std::string>;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteAll(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The text field `key` of one transcript line (a flat JSON object); "" when it has none. Only the
// escapes the transcript writes are undone.
std::string Field(const std::string& line, const std::string& key) {
  std::string marker = "\"" + key + "\":\"";
  size_t at = line.find(marker);
  if (at == std::string::npos) return "";
  std::string out;
  for (size_t i = at + marker.size(); i < line.size() && line[i] != '"'; ++i) {
    if (line[i] != '\\' || i + 1 >= line.size()) {
      out += line[i];
      continue;
    }
    char c = line[++i];
    if (c == 'n') {
      out += ' ';
    } else if (c == 'u' && i + 4 < line.size()) {
      out += static_cast<char>(std::stoi(line.substr(i + 1, 4), nullptr, 16));
      i += 4;
    } else if (c == 'r' || c == 't') {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

// The signal that asked the demo to stop (Ctrl-C, hang-up, termination), 0 while none did.
volatile sig_atomic_t g_stop = 0;

void OnStopSignal(int signal) {
  g_stop = signal;
}

// Without SA_RESTART, so a wait for a child returns at once and the demo can clean up.
void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

struct RunLimits {
  int seconds = 0;              // 0: no time limit
  bool dots = false;            // a dot on standard output for each second the child works
  size_t maxOutput = 16 << 20;  // a child that writes more is stopped
  std::string folder;           // the child's working folder; "" for the demo's own
};

// Runs argv with extra environment; returns the exit status (-1 when it did not run, was
// stopped or passed a limit) and its standard output. Standard error goes to *err when given,
// else it is dropped. Standard input and the controlling terminal are inherited, so the
// terminal front end can ask there. A stop signal ends the child.
int Run(const std::vector<std::string>& argv, const Env& env, std::string* out,
        std::string* err = nullptr, const RunLimits& limits = {}) {
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return -1;
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
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

// What DoEncrypt's result says: the public-key choice, plus 16 for encrypted attachments.
std::string EncryptResult(int code) {
  if (code < 0) return "cancelled or failed";
  static const char* const kKey[] = {"own public key not attached",
                                     "own public key attached as text",
                                     "own public key attached as pubkey.asc"};
  std::string text = (code & 15) <= 2 ? kKey[code & 15] : "unknown public-key choice";
  return text + ((code & 16) ? ", attachments encrypted" : ", attachments not encrypted");
}

// The first line of a GnuPG program's --version output; "" when `program` is not GnuPG.
std::string GnuPGBanner(const std::string& program) {
  std::string version;
  RunLimits limits;
  limits.seconds = 10;
  limits.maxOutput = 1 << 16;
  if (Run({program, "--version"}, {}, &version, nullptr, limits) != 0) return "";
  version = version.substr(0, version.find('\n'));
  // "gpg (GnuPG) 2.2.40", also with a brand inside the brackets: "gpg (GnuPG/MacGPG2) 2.2.41".
  size_t brand = version.find(" (GnuPG");
  size_t close = version.find(") ", brand);
  if (version.rfind("gpg", 0) != 0 || brand == std::string::npos || close == std::string::npos ||
      close + 2 >= version.size() || !isdigit(static_cast<unsigned char>(version[close + 2])))
    return "";
  return version;
}

class Demo {
 public:
  explicit Demo(const DemoOptions& o) : options_(o) {}
  ~Demo() { Clean(); }

  int Main();

 private:
  bool Step(const char* text) {
    printf("\n== %d. %s\n", ++step_, text);
    fflush(stdout);
    return true;
  }
  bool Fail(const std::string& why) {
    if (g_stop) return false;  // the step failed because it was stopped; that is said once
    if (failure_.empty()) failure_ = why;
    printf("   FAILED: %s\n", why.c_str());
    fflush(stdout);
    return false;
  }
  void Say(const std::string& text) {
    printf("   %s\n", text.c_str());
    fflush(stdout);
  }
  // A step that runs GnuPG shows it is working: a line of dots, one a second.
  void Working(const std::string& text) {
    printf("   %s ", text.c_str());
    fflush(stdout);
  }
  void Indented(const std::string& text, size_t maxLines = 40);

  bool Setup();
  bool MakeKeys();
  bool MakeDirectory();
  bool AliceSends();
  bool BobOpens();
  bool BobDetachesTheAttachment();
  void ShowTranscript(const std::string& who, const std::string& path);

  int Gpg(const Person& p, const std::string& args, std::string* out = nullptr);
  Env LibraryEnv(const Person& p, const std::string& who);
  void Clean();

  DemoOptions options_;
  std::string work_;
  std::string self_;
  bool gpg2_ = false;
  Person alice_{"Alice Example",      "alice@example.com", "CN=Alice Example/O=Demo",
                "Alice Example/Demo", "alice-demo",        ""};
  Person bob_{"Bob Example",      "bob@example.com", "CN=Bob Example/O=Demo",
              "Bob Example/Demo", "bob-demo",        ""};
  std::string memo_ =
      "Hello Bob,\n\nthe project plan is attached. Please keep it to the team.\n\nAlice\n";
  std::string plan_ = "Project plan\n1. Build it.\n2. Test it for real.\n3. Ship it.\n";
  std::string armoured_;          // what Alice's script put into the mail
  bool plainAttachment_ = false;  // chosen by hand: the attachment went out unencrypted
  int step_ = 0;
  std::string failure_;  // why the demo failed, for the result line
};

void Demo::Indented(const std::string& text, size_t maxLines) {
  std::istringstream in(text);
  std::string line;
  size_t n = 0;
  while (std::getline(in, line)) {
    if (++n > maxLines) {
      printf("   | ...\n");
      break;
    }
    printf("   | %s\n", line.c_str());
  }
}

int Demo::Gpg(const Person& p, const std::string& args, std::string* out) {
  std::vector<std::string> argv{options_.gpg, "--homedir", p.home + "/gnupg", "--batch"};
  std::istringstream words(args);
  for (std::string w; words >> w;) argv.push_back(w);
  std::string err;
  RunLimits limits;
  limits.dots = true;
  int rc = Run(argv, {}, out, &err, limits);
  if (rc != 0 && !g_stop) Say("GnuPG said: " + err);
  return rc;
}

// Everything that makes a person's process their own, and how the dialogs are answered.
Env Demo::LibraryEnv(const Person& p, const std::string& who) {
  Env env{{"GNUPGHOME", p.home + "/gnupg"},
          {"VEILPOST_REGISTRY", p.home + "/registry.reg"},
          {"VEILPOST_SEGMENT", "/veilpost-" + fs::path(work_).filename().string() + "-" + who},
          {"VEILPOST_NOTES_DATA", work_ + "/notes"},
          {"TMPDIR", p.home + "/tmp"},
          {"TMP", p.home + "/tmp"},
          {"VEILPOST_UI_LOG", work_ + "/transcript-" + who + ".jsonl"}};
  env["VEILPOST_UI"] = options_.interactive ? "terminal" : "script:" + work_ + "/answers-" + who;
  return env;
}

bool Demo::Setup() {
  // Refused before anything is made: the demo's keys would be made by whatever this is.
  if (options_.gpg.empty())
    options_.gpg = fs::exists("/usr/bin/gpg") ? "/usr/bin/gpg" : "/usr/bin/gpg1";
  if (access(options_.gpg.c_str(), X_OK) != 0 || fs::is_directory(options_.gpg))
    return Fail(options_.gpg + " cannot be run");
  std::string version = GnuPGBanner(options_.gpg);
  if (version.empty())
    return Fail(options_.gpg + " is not GnuPG (its --version does not start \"gpg (GnuPG) \")");
  gpg2_ = version.find(") 1.") == std::string::npos;
  char* tmp = getenv("TMPDIR");
  std::string base = tmp && *tmp ? tmp : "/tmp";
  std::string pattern = base + "/vp-demo-XXXXXX";
  if (!mkdtemp(pattern.data())) return Fail("cannot make a folder in " + base);
  work_ = pattern;
  self_ = fs::canonical("/proc/self/exe").string();

  for (Person* p : {&alice_, &bob_}) {
    p->home = work_ + "/" + (p == &alice_ ? "alice" : "bob");
    fs::create_directories(p->home + "/gnupg");
    fs::create_directories(p->home + "/tmp");
    fs::permissions(p->home + "/gnupg", fs::perms::owner_all);
    // Each person's settings: the GnuPG program, the passphrase typed into the dialog.
    WriteAll(p->home + "/registry.reg",
             "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Brinmoor\\Veilpost Ver 1.0]\r\n"
             "\"GpgProgramPath\"=\"" +
                 options_.gpg + "\"\r\n\"UseAgent\"=dword:00000000\r\n");
  }
  Say("Working folder " + work_ + " (removed at the end)");
  Say("GnuPG: " + options_.gpg + " - " + version);
  return true;
}

bool Demo::MakeKeys() {
  Step("Alice and Bob make their keys with GnuPG");
  for (Person* p : {&alice_, &bob_}) {
    std::string params =
        gpg2_ ? "Key-Type: EDDSA\nKey-Curve: ed25519\nSubkey-Type: ECDH\nSubkey-Curve: cv25519\n"
              : "Key-Type: DSA\nKey-Length: 1024\nSubkey-Type: ELG-E\nSubkey-Length: 1024\n";
    params += std::string("Name-Real: ") + p->name + "\nName-Email: " + p->email +
              "\nExpire-Date: 0\nPassphrase: " + p->passphrase + "\n%commit\n";
    WriteAll(p->home + "/keyparams", params);
    std::string loopback = gpg2_ ? "--pinentry-mode loopback " : "";
    Working(std::string("GnuPG is making the key of ") + p->name);
    int rc = Gpg(*p, loopback + "--gen-key " + p->home + "/keyparams");
    printf("\n");
    if (rc != 0) return Fail(std::string("GnuPG made no key for ") + p->name);
    fs::remove(p->home + "/keyparams");
    Say(std::string(p->name) + " <" + p->email + ">, passphrase \"" + p->passphrase + "\"");
  }
  // They swap public keys, as people do before they write to each other.
  for (auto [from, to] : {std::pair{&alice_, &bob_}, std::pair{&bob_, &alice_}}) {
    std::string file = work_ + "/exchange.asc";
    if (Gpg(*from, "--armor --yes --output " + file + " --export " + from->email) != 0 ||
        Gpg(*to, "--import " + file) != 0)
      return Fail("the public keys could not be exchanged");
    fs::remove(file);
  }
  Say("They have swapped public keys.");
  return true;
}

bool Demo::MakeDirectory() {
  Step("The Notes directory: two people and a group");
  std::string dir = work_ + "/notes";
  fs::create_directories(dir);
  std::string error = notesemu::CreateDirectoryDatabase(dir + "/names.nsf");
  if (error.empty())
    error = notesemu::AddDirectoryEntries(
        dir + "/names.nsf",
        {{alice_.notesName, "alice", alice_.email}, {bob_.notesName, "bob", bob_.email}},
        {{"Project Team", {bob_.notesName, alice_.notesName}, true}});
  if (!error.empty()) return Fail(error);
  Say("names.nsf: Alice Example/Demo, Bob Example/Demo, group \"Project Team\" (both of them)");
  return true;
}

bool Demo::AliceSends() {
  Step("Alice sends a memo to \"Bob Example;Project Team\" with plan.txt attached (DoEncrypt)");
  std::string attachment = alice_.home + "/tmp/plan.txt";  // detached by her script
  WriteAll(attachment, plan_);
  WriteAll(work_ + "/memo.txt", memo_);
  WriteAll(work_ + "/answers-alice",
           "dialog 101 click 1000; check 1011; check 1010; click 1\n"
           "dialog 103 type 1005 " +
               std::string(alice_.passphrase) + "; click 1\n");
  Indented(memo_);
  if (options_.interactive)
    Say("Answer the dialogs on this terminal: keep \"Encrypt message\" and \"Encrypt file "
        "attachments\" ticked; Alice's passphrase is \"" +
        std::string(alice_.passphrase) + "\".");
  RunLimits limits;
  limits.dots = !options_.interactive;  // dots would cut into the dialogs on the terminal
  if (limits.dots) Working("Alice's mail client calls the library, which runs GnuPG");
  std::string out, err;
  int rc = Run({self_, "call", "DoEncrypt", "", alice_.userName, "Bob Example;Project Team",
                "@" + work_ + "/memo.txt", attachment},
               LibraryEnv(alice_, "alice"), &out, &err, limits);
  if (limits.dots) printf("\n");
  ShowTranscript("Alice", work_ + "/transcript-alice.jsonl");
  if (rc != 0) return Fail("veilpost call failed: " + err);
  std::string code = out.substr(0, out.find('\n'));
  int result = atoi(code.c_str());
  Say("DoEncrypt returned " + code + " (" + EncryptResult(result) + ")");
  // By hand the user may choose other options; the memo must still have gone out encrypted.
  if (result < 0) return Fail("Alice's memo was not sent (DoEncrypt returned " + code + ")");
  if (code != "16" && !options_.interactive)
    return Fail("DoEncrypt returned " + code + " where the answers given make 16");
  armoured_ = ReadAll(alice_.home + "/tmp/mailbody.pgp");
  Say("mailbody.pgp, the memo's new body:");
  Indented(armoured_, 6);
  if ((result & 15) == 1 || (result & 15) == 2) {
    Say(std::string("pubkey.asc, Alice's public key ") +
        ((result & 15) == 1 ? "added to the memo's text:" : "attached to the memo:"));
    Indented(ReadAll(alice_.home + "/tmp/pubkey.asc"), 4);
  }
  if (!(result & 16)) {
    Say("plan.txt was sent as it is, not encrypted; Bob has only the memo to read.");
    plainAttachment_ = true;
    return true;
  }
  if (!fs::exists(attachment + ".pgp")) return Fail("plan.txt was not encrypted");
  Say(std::string("plan.txt ") + (fs::exists(attachment) ? "is still there!" : "was wiped") +
      "; plan.txt.pgp holds " + std::to_string(fs::file_size(attachment + ".pgp")) +
      " bytes of OpenPGP data");
  if (fs::exists(attachment)) return Fail("the plain attachment was not wiped");
  // The mail travels to Bob.
  fs::copy_file(attachment + ".pgp", work_ + "/plan.txt.pgp");
  fs::remove(alice_.home + "/tmp/mailbody.pgp");
  return true;
}

bool Demo::BobOpens() {
  Step("Bob opens the memo (DoDecryptBody)");
  WriteAll(work_ + "/received.txt", armoured_);
  WriteAll(work_ + "/answers-bob",
           "dialog 104 type 1005 " + std::string(bob_.passphrase) + "; click 1\n");
  if (options_.interactive) Say("Bob's passphrase is \"" + std::string(bob_.passphrase) + "\".");
  RunLimits limits;
  limits.dots = !options_.interactive;
  if (limits.dots) Working("Bob's mail client calls the library, which runs GnuPG");
  std::string out, err;
  int rc = Run({self_, "call", "DoDecryptBody", bob_.userName, "@" + work_ + "/received.txt",
                plainAttachment_ ? "plan.txt" : "plan.txt.pgp"},
               LibraryEnv(bob_, "bob"), &out, &err, limits);
  if (limits.dots) printf("\n");
  ShowTranscript("Bob", work_ + "/transcript-bob.jsonl");
  if (rc != 0) return Fail("veilpost call failed: " + err);
  std::string code = out.substr(0, out.find('\n'));
  Say("DoDecryptBody returned " + code);
  std::string shown = ReadAll(bob_.home + "/tmp/mailbody.pgp");
  fs::remove(bob_.home + "/tmp/mailbody.pgp");
  Say("What Bob's memo now shows:");
  Indented(shown);
  if (code != "0" || shown.rfind(memo_, 0) != 0) return Fail("Bob did not get Alice's memo back");
  return true;
}

bool Demo::BobDetachesTheAttachment() {
  if (plainAttachment_) return true;
  Step("Bob detaches plan.txt.pgp through the attachment dialog (DoDecryptAttachments)");
  // His script detached the attachment into his temporary folder; the library wipes it there.
  fs::copy_file(work_ + "/plan.txt.pgp", bob_.home + "/tmp/plan.txt.pgp");
  const std::string transcript = work_ + "/transcript-bob.jsonl";
  fs::remove(transcript);
  WriteAll(work_ + "/answers-bob",
           "dialog 102 select \"plan.txt\"; click 1012; click 1004\nsave-as " + bob_.home +
               "/plan.txt\ndialog 104 type 1005 " + bob_.passphrase + "; click 1\nmessage no\n");
  RunLimits limits;
  limits.dots = !options_.interactive;
  limits.folder = bob_.home;  // where a name typed without a folder is saved
  if (options_.interactive)
    Say("Detach plan.txt (press Enter to save it under its own name), type Bob's passphrase, "
        "then close the dialog.");
  else
    Working("Bob's mail client calls the library, which runs GnuPG");
  std::string out, err;
  int rc = Run({self_, "call", "DoDecryptAttachments", bob_.userName, "C:/Notes/plan.txt.pgp"},
               LibraryEnv(bob_, "bob"), &out, &err, limits);
  if (limits.dots) printf("\n");
  ShowTranscript("Bob", transcript);
  if (rc != 0) return Fail("veilpost call failed: " + err);
  // Where he saved it, and whether GnuPG told him the signature was Alice's.
  std::string saved, lines = ReadAll(transcript), line;
  bool byAlice = false;
  for (std::istringstream in(lines); std::getline(in, line);) {
    if (Field(line, "event") == "save-as") saved = Field(line, "answer");
    if (Field(line, "event") == "message" && Field(line, "caption") == "Information" &&
        Field(line, "text").find(std::string("signed by ") + alice_.name) != std::string::npos)
      byAlice = true;
  }
  if (saved.empty() || saved == "cancel") return Fail("Bob did not save plan.txt");
  if (saved[0] != '/') saved = bob_.home + "/" + saved;
  bool same = ReadAll(saved) == plan_;
  Indented(ReadAll(saved));
  fs::remove(saved);
  Say(std::string(same ? "The same bytes Alice attached" : "NOT the bytes Alice attached") +
      (byAlice ? ", with a good signature by Alice." : ", without Alice's signature!"));
  if (fs::exists(bob_.home + "/tmp/plan.txt.pgp"))
    return Fail("the detached attachment was left in the temporary folder");
  if (!same) return Fail("plan.txt did not decrypt to what Alice attached");
  if (!byAlice) return Fail("plan.txt does not carry Alice's good signature");
  return true;
}

// The dialogs and boxes each person met, from the interface's transcript.
void Demo::ShowTranscript(const std::string& who, const std::string& path) {
  std::istringstream in(ReadAll(path));
  std::string line;
  Say(who + "'s screen:");
  while (std::getline(in, line)) {
    std::string kind = Field(line, "event");
    if (kind == "dialog-open")
      printf("     [dialog] %s\n", Field(line, "title").c_str());
    else if (kind == "message")
      printf("     [%s] %s\n", Field(line, "caption").c_str(), Field(line, "text").c_str());
  }
}

void Demo::Clean() {
  if (work_.empty()) return;
  // GnuPG 2 leaves an agent (2.4 perhaps a key box daemon too) per key ring; nothing of the
  // demo may outlive it. The gpgconf installed beside the gpg knows that version's daemons.
  if (gpg2_) {
    std::string gpgconf = (fs::path(options_.gpg).parent_path() / "gpgconf").string();
    if (access(gpgconf.c_str(), X_OK) != 0) gpgconf = "/usr/bin/gpgconf";
    for (const Person* p : {&alice_, &bob_})
      Run({gpgconf, "--homedir", p->home + "/gnupg", "--kill", "all"}, {}, nullptr);
  }
  std::error_code ec;
  // A second pass catches what a GnuPG that was still ending wrote during the first.
  if (fs::remove_all(work_, ec) == static_cast<std::uintmax_t>(-1) || fs::exists(work_, ec))
    fs::remove_all(work_, ec);
  work_.clear();
}

int Demo::Main() {
  printf("Veilpost demo: Alice sends Bob a signed and encrypted memo through the hook library.\n");
  CatchStopSignals();
  bool ok = true;
  for (bool (Demo::*step)() :
       {&Demo::Setup, &Demo::MakeKeys, &Demo::MakeDirectory, &Demo::AliceSends, &Demo::BobOpens,
        &Demo::BobDetachesTheAttachment}) {
    ok = !g_stop && (this->*step)() && !g_stop;
    if (!ok) break;
  }
  // The folder holds both private keys: it goes whatever happened, and so do the agents.
  Clean();
  if (int signal = g_stop) {
    printf("\nStopped (%s); the demo folder and its GnuPG agents are gone.\n", strsignal(signal));
    fflush(stdout);
    ::signal(signal, SIG_DFL);
    raise(signal);
    return 128 + signal;
  }
  if (ok)
    printf("\nResult: Bob read Alice's memo%s, signed by Alice.\n",
           plainAttachment_ ? " (plan.txt went out unencrypted)" : " and attachment");
  else
    printf("\nResult: the demo FAILED: %s\n", failure_.c_str());
  return ok ? 0 : 1;
}

}  // namespace

void AddDemoCommand(CLI::App& app) {
  static DemoOptions o;
  CLI::App* cmd = app.add_subcommand(
      "demo", "Alice sends Bob an encrypted, signed memo with an attachment; Bob opens it");
  cmd->add_flag("--interactive", o.interactive, "answer the dialogs yourself on this terminal");
  cmd->add_option("--gpg", o.gpg, "the GnuPG program (default /usr/bin/gpg, else /usr/bin/gpg1)");
  cmd->callback([] {
    signal(SIGPIPE, SIG_IGN);
    int rc = Demo(o).Main();
    fflush(stdout);
    std::exit(rc);
  });
}

}  // namespace vphost
