// veilpost demo: two people, a directory, and one signed and encrypted memo with an attachment
// sent by Alice through DoEncrypt and opened by Bob through DoDecryptBody, in a throwaway folder.
//
// Each person is a process of their own (their own key ring, settings file, shared segment and
// temporary folder), started as `veilpost call`, so the library is loaded exactly as the mail
// client loads it. The folder is removed at the end, whatever happened.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/commands.h"
#include "host/demo_system.h"

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

using demo::Env;
using demo::Run;
using demo::RunLimits;

// `name` inside `folder`, with the system's own separator (the library and GnuPG on Windows
// are handed these paths).
std::string Join(const std::string& folder, const std::string& name) {
  return (fs::path(folder) / name).make_preferred().string();
}

// The first line of a child's output, without the carriage return a Windows child ends it with.
std::string FirstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

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
    if (demo::StopRequest())
      return false;  // the step failed because it was stopped; that is said once
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

  int Gpg(const Person& p, const std::vector<std::string>& args, std::string* out = nullptr);
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

int Demo::Gpg(const Person& p, const std::vector<std::string>& args, std::string* out) {
  std::vector<std::string> argv{options_.gpg, "--homedir", Join(p.home, "gnupg"), "--batch"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string err;
  RunLimits limits;
  limits.dots = true;
  int rc = Run(argv, {}, out, &err, limits);
  if (rc != 0 && !demo::StopRequest()) Say("GnuPG said: " + err);
  return rc;
}

// Everything that makes a person's process their own, and how the dialogs are answered.
Env Demo::LibraryEnv(const Person& p, const std::string& who) {
  Env env = demo::PersonSettings(p.home, options_.gpg);
  env.insert({{"GNUPGHOME", Join(p.home, "gnupg")},
              {"VEILPOST_SEGMENT", "/veilpost-" + fs::path(work_).filename().string() + "-" + who},
              {"VEILPOST_NOTES_DATA", Join(work_, "notes")},
              {"TMPDIR", Join(p.home, "tmp")},
              {"TMP", Join(p.home, "tmp")},
              {"TEMP", Join(p.home, "tmp")},
              {"VEILPOST_UI_LOG", Join(work_, "transcript-" + who + ".jsonl")}});
  env["VEILPOST_UI"] =
      options_.interactive ? demo::InteractiveUi() : "script:" + Join(work_, "answers-" + who);
  return env;
}

bool Demo::Setup() {
  // Refused before anything is made: the demo's keys would be made by whatever this is.
  if (options_.gpg.empty()) options_.gpg = demo::DefaultGnuPG();
  if (!demo::CanRun(options_.gpg)) return Fail(options_.gpg + " cannot be run");
  std::string version = GnuPGBanner(options_.gpg);
  if (version.empty())
    return Fail(options_.gpg + " is not GnuPG (its --version does not start \"gpg (GnuPG) \")");
  gpg2_ = version.find(") 1.") == std::string::npos;
  std::string error;
  work_ = demo::MakeWorkFolder(&error);
  if (work_.empty()) return Fail(error);
  self_ = demo::SelfPath();

  for (Person* p : {&alice_, &bob_}) {
    p->home = Join(work_, p == &alice_ ? "alice" : "bob");
    fs::create_directories(Join(p->home, "gnupg"));
    fs::create_directories(Join(p->home, "tmp"));
    fs::permissions(Join(p->home, "gnupg"), fs::perms::owner_all);
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
    WriteAll(Join(p->home, "keyparams"), params);
    std::vector<std::string> args{"--gen-key", Join(p->home, "keyparams")};
    if (gpg2_) args.insert(args.begin(), {"--pinentry-mode", "loopback"});
    Working(std::string("GnuPG is making the key of ") + p->name);
    int rc = Gpg(*p, args);
    printf("\n");
    if (rc != 0) return Fail(std::string("GnuPG made no key for ") + p->name);
    fs::remove(Join(p->home, "keyparams"));
    Say(std::string(p->name) + " <" + p->email + ">, passphrase \"" + p->passphrase + "\"");
  }
  // They swap public keys, as people do before they write to each other.
  for (auto [from, to] : {std::pair{&alice_, &bob_}, std::pair{&bob_, &alice_}}) {
    std::string file = Join(work_, "exchange.asc");
    if (Gpg(*from, {"--armor", "--yes", "--output", file, "--export", from->email}) != 0 ||
        Gpg(*to, {"--import", file}) != 0)
      return Fail("the public keys could not be exchanged");
    fs::remove(file);
  }
  Say("They have swapped public keys.");
  return true;
}

bool Demo::MakeDirectory() {
  Step("The Notes directory: two people and a group");
  std::string dir = Join(work_, "notes");
  fs::create_directories(dir);
  std::string error = demo::MakeDirectory(
      dir, "names.nsf",
      {{alice_.notesName, "alice", alice_.email}, {bob_.notesName, "bob", bob_.email}},
      {{"Project Team", {bob_.notesName, alice_.notesName}}});
  if (!error.empty()) return Fail(error);
  Say("names.nsf: Alice Example/Demo, Bob Example/Demo, group \"Project Team\" (both of them)");
  return true;
}

bool Demo::AliceSends() {
  Step("Alice sends a memo to \"Bob Example;Project Team\" with plan.txt attached (DoEncrypt)");
  std::string attachment = Join(Join(alice_.home, "tmp"), "plan.txt");  // detached by her script
  WriteAll(attachment, plan_);
  WriteAll(Join(work_, "memo.txt"), memo_);
  WriteAll(Join(work_, "answers-alice"),
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
                "@" + Join(work_, "memo.txt"), attachment},
               LibraryEnv(alice_, "alice"), &out, &err, limits);
  if (limits.dots) printf("\n");
  ShowTranscript("Alice", Join(work_, "transcript-alice.jsonl"));
  if (rc != 0) return Fail("veilpost call failed: " + err);
  std::string code = FirstLine(out);
  int result = atoi(code.c_str());
  Say("DoEncrypt returned " + code + " (" + EncryptResult(result) + ")");
  // By hand the user may choose other options; the memo must still have gone out encrypted.
  if (result < 0) return Fail("Alice's memo was not sent (DoEncrypt returned " + code + ")");
  if (code != "16" && !options_.interactive)
    return Fail("DoEncrypt returned " + code + " where the answers given make 16");
  armoured_ = ReadAll(Join(Join(alice_.home, "tmp"), "mailbody.pgp"));
  Say("mailbody.pgp, the memo's new body:");
  Indented(armoured_, 6);
  if ((result & 15) == 1 || (result & 15) == 2) {
    Say(std::string("pubkey.asc, Alice's public key ") +
        ((result & 15) == 1 ? "added to the memo's text:" : "attached to the memo:"));
    Indented(ReadAll(Join(Join(alice_.home, "tmp"), "pubkey.asc")), 4);
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
  fs::copy_file(attachment + ".pgp", Join(work_, "plan.txt.pgp"));
  fs::remove(Join(Join(alice_.home, "tmp"), "mailbody.pgp"));
  return true;
}

bool Demo::BobOpens() {
  Step("Bob opens the memo (DoDecryptBody)");
  WriteAll(Join(work_, "received.txt"), armoured_);
  WriteAll(Join(work_, "answers-bob"),
           "dialog 104 type 1005 " + std::string(bob_.passphrase) + "; click 1\n");
  if (options_.interactive) Say("Bob's passphrase is \"" + std::string(bob_.passphrase) + "\".");
  RunLimits limits;
  limits.dots = !options_.interactive;
  if (limits.dots) Working("Bob's mail client calls the library, which runs GnuPG");
  std::string out, err;
  int rc = Run({self_, "call", "DoDecryptBody", bob_.userName, "@" + Join(work_, "received.txt"),
                plainAttachment_ ? "plan.txt" : "plan.txt.pgp"},
               LibraryEnv(bob_, "bob"), &out, &err, limits);
  if (limits.dots) printf("\n");
  ShowTranscript("Bob", Join(work_, "transcript-bob.jsonl"));
  if (rc != 0) return Fail("veilpost call failed: " + err);
  std::string code = FirstLine(out);
  Say("DoDecryptBody returned " + code);
  std::string shown = ReadAll(Join(Join(bob_.home, "tmp"), "mailbody.pgp"));
  fs::remove(Join(Join(bob_.home, "tmp"), "mailbody.pgp"));
  Say("What Bob's memo now shows:");
  Indented(shown);
  if (code != "0" || shown.rfind(memo_, 0) != 0) return Fail("Bob did not get Alice's memo back");
  return true;
}

bool Demo::BobDetachesTheAttachment() {
  if (plainAttachment_) return true;
  Step("Bob detaches plan.txt.pgp through the attachment dialog (DoDecryptAttachments)");
  // His script detached the attachment into his temporary folder; the library wipes it there.
  fs::copy_file(Join(work_, "plan.txt.pgp"), Join(Join(bob_.home, "tmp"), "plan.txt.pgp"));
  const std::string transcript = Join(work_, "transcript-bob.jsonl");
  fs::remove(transcript);
  WriteAll(Join(work_, "answers-bob"),
           "dialog 102 select \"plan.txt\"; click 1012; click 1004\nsave-as " +
               Join(bob_.home, "plan.txt") + "\ndialog 104 type 1005 " + bob_.passphrase +
               "; click 1\nmessage no\n");
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
  if (!fs::path(saved).is_absolute()) saved = Join(bob_.home, saved);
  bool same = ReadAll(saved) == plan_;
  Indented(ReadAll(saved));
  fs::remove(saved);
  Say(std::string(same ? "The same bytes Alice attached" : "NOT the bytes Alice attached") +
      (byAlice ? ", with a good signature by Alice." : ", without Alice's signature!"));
  if (fs::exists(Join(Join(bob_.home, "tmp"), "plan.txt.pgp")))
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
  // demo may outlive it.
  if (gpg2_) demo::EndAgents(options_.gpg, {Join(alice_.home, "gnupg"), Join(bob_.home, "gnupg")});
  demo::RestoreSettings();
  std::error_code ec;
  // A second pass catches what a GnuPG that was still ending wrote during the first.
  if (fs::remove_all(work_, ec) == static_cast<std::uintmax_t>(-1) || fs::exists(work_, ec))
    fs::remove_all(work_, ec);
  work_.clear();
}

int Demo::Main() {
  printf("Veilpost demo: Alice sends Bob a signed and encrypted memo through the hook library.\n");
  demo::CatchStopRequests();
  bool ok = true;
  for (bool (Demo::*step)() :
       {&Demo::Setup, &Demo::MakeKeys, &Demo::MakeDirectory, &Demo::AliceSends, &Demo::BobOpens,
        &Demo::BobDetachesTheAttachment}) {
    ok = !demo::StopRequest() && (this->*step)() && !demo::StopRequest();
    if (!ok) break;
  }
  // The folder holds both private keys: it goes whatever happened, and so do the agents.
  Clean();
  if (int request = demo::StopRequest()) demo::EndByStopRequest(request);
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
  cmd->add_option("--gpg", o.gpg, "the GnuPG program (default: " + demo::DefaultGnuPG() + ")");
  cmd->callback([] {
    int rc = Demo(o).Main();
    fflush(stdout);
    std::exit(rc);
  });
}

}  // namespace vphost
