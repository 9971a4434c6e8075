// The sending-mail fixture: key rings, directory, settings, and the checks the tests share.
#include "outgoing_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "hooklib/core/recipient_table.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "hooklib/outgoing/encrypt.h"
#include "hooklib/outgoing/options_dialogs.h"
#include "notesemu/directory_tools.h"
#include "platform/faults.h"
#include "platform/headless/window_table.h"
#include "platform/notes_api.h"
#include "support/registry_file.h"

namespace fs = std::filesystem;

namespace vptest {

size_t Count(const std::string& text, const std::string& needle) {
  size_t n = 0;
  for (size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size()))
    ++n;
  return n;
}

void OutgoingFixture::SetUp() {
  UiFixture::SetUp();
  VP_SKIP_UNLESS_PRESENT(GetParam());
  vp::SetFaults("");
  bob_ = UseKeyring(GetParam(), "bob", dir_);
  alice_ = UseKeyring(GetParam(), "alice", dir_);  // last: GNUPGHOME is Alice's
  // An agent that caches nothing notices every wrong passphrase.
  WriteFile(alice_ + "/gpg-agent.conf", "default-cache-ttl 0\nmax-cache-ttl 0\n");

  vp::SharedSettings& s = vp::Settings();
  vp::InitialSharedSettings(&s);
  vp::CopyText(s.szGpgApp, GnuPGProgram(GetParam()));
  s.bUseAgent = 0;
  s.passphrase[0] = '\0';
  vp::WipeOwnPassphrase();
  vp::Options() = vp::EncryptionOptions{};
  vp::FreeRecipientTable();
  vp::ClearRecipientTable();

  trace_ = dir_ + "/trace.log";
  WriteConfigKey({Str("TraceFile", trace_)});

  std::string data = dir_ + "/notes";
  fs::create_directories(data);
  setenv("VEILPOST_NOTES_DATA", data.c_str(), 1);
  vp::SetNotes(nullptr);
  ASSERT_EQ(notesemu::CreateDirectoryDatabase(data + "/names.nsf"), "");
  ASSERT_EQ(notesemu::AddDirectoryEntries(
                data + "/names.nsf",
                {{"CN=Bob Example/O=Acme", "bob", "bob@example.com"},
                 {"CN=Carol Example/O=Acme", "carol", "carol@example.com"},
                 {"CN=Dave Example/O=Acme", "dave", "dave@example.net"}},
                {{"Team", {"CN=Bob Example/O=Acme", "CN=Carol Example/O=Acme"}, true}}),
            "");

  notesWindow_ = vp::headless::RegisterWindow("NOTESframe", "Lotus Notes", {0, 0, 1024, 740});
  ASSERT_EQ(vp::InitOrlavexImpl("9.0.1", "1.5.5"), 0);
}

void OutgoingFixture::TearDown() {
  if (!GnuPGMissing(GetParam()).empty()) return UiFixture::TearDown();  // skipped: nothing set up
  // Whatever happened, the Notes window is usable again and no plaintext is left.
  EXPECT_TRUE(vp::Ui().IsWindowEnabled(static_cast<vp::WindowHandle>(notesWindow_)));
  EXPECT_EQ(LeftoverTempFiles(), std::vector<std::string>{});
  vp::headless::UnregisterWindow(static_cast<vp::WindowHandle>(notesWindow_));
  StopAgent(alice_);
  StopAgent(bob_);
  vp::SetFaults("");
  vp::SetNotes(nullptr);
  vp::FreeRecipientTable();
  vp::ClearRecipientTable();
  unsetenv("VEILPOST_NOTES_DATA");
  std::error_code ec;
  for (const char* name : {"mailbody.pgp", "pubkey.asc"}) fs::remove(TempFile(name), ec);
  RemoveRegistry();
  UiFixture::TearDown();
}

int OutgoingFixture::Send(const std::string& recipients, const std::string& body,
                          const std::string& attachments, const std::string& sender) {
  std::vector<char> list(attachments.begin(), attachments.end());
  list.push_back('\0');
  return vp::DoEncryptImpl("", sender.c_str(), recipients.c_str(), body.c_str(), list.data());
}

std::string OutgoingFixture::TempFile(const std::string& name) {
  return PrivateDir() + "/" + name;
}

std::vector<std::string> OutgoingFixture::Commands() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(trace_));
  std::string line;
  std::string program = std::string(GnuPGProgram(GetParam())) + " --gnupg";
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(program, 0) == 0) lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> OutgoingFixture::CryptoCommands() const {
  std::vector<std::string> out;
  for (const std::string& c : Commands())
    if (c.find("--sign ") != std::string::npos || c.find("--clearsign ") != std::string::npos)
      out.push_back(c);
  return out;
}

std::string OutgoingFixture::BobOpens(const std::string& file, std::string* plain) {
  std::string out = file + ".opened";
  std::string loopback = HasAgent(GetParam()) ? "--pinentry-mode loopback " : "";
  std::string status;
  Gpg(GetParam(), bob_,
      "--batch --yes --status-fd 1 " + loopback + "--passphrase " + Bob().passphrase +
          " --output '" + out + "' --decrypt '" + file + "'",
      &status);
  if (plain) *plain = ReadFile(out);
  fs::remove(out);
  return status;
}

std::string OutgoingFixture::BobCalls(const std::string& received, const std::string& attachments,
                                      int* rc, GnuPG version) {
  std::string bobDir = dir_ + "/bob";
  fs::create_directories(bobDir + "/tmp");
  WriteFile(bobDir + "/body", received);
  WriteFile(bobDir + "/answers",
            "dialog 104 type 1005 " + std::string(Bob().passphrase) + "; click 1\n");
  WriteFile(bobDir + "/registry.reg",
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Brinmoor\\Veilpost Ver 1.0]\r\n"
            "\"GpgProgramPath\"=\"" +
                std::string(GnuPGProgram(version)) + "\"\r\n\"UseAgent\"=dword:00000000\r\n");
  fs::remove(bobDir + "/ui.log");
  std::string env = "GNUPGHOME='" + bob_ + "' TMPDIR='" + bobDir + "/tmp' TMP='" + bobDir +
                    "/tmp' VEILPOST_REGISTRY='" + bobDir + "/registry.reg' VEILPOST_SEGMENT='" +
                    SegmentName() + "-bob' VEILPOST_UI='script:" + bobDir +
                    "/answers' VEILPOST_UI_LOG='" + bobDir + "/ui.log' ";
  std::string out;
  *rc = RunCommand(env + VeilpostBinary() + " call DoDecryptBody 'Bob Example/Acme' @" + bobDir +
                       "/body '" + attachments + "' 2>&1",
                   &out);
  return out;
}

std::string OutgoingFixture::BobsBoxes() const {
  std::string boxes;
  std::string log = ReadFile(dir_ + "/bob/ui.log");
  for (size_t at = log.find("\"event\":\"message\""); at != std::string::npos;
       at = log.find("\"event\":\"message\"", at + 1))
    boxes += log.substr(at, log.find('\n', at) - at) + "\n";
  return boxes;
}

std::string OutgoingFixture::Ref(const std::string& email) const {
  return Fingerprint(GetParam(), alice_, email);
}

std::set<std::string> OutgoingFixture::EncryptedTo(const std::string& file) const {
  // Listed in a home without secret keys: the packets are shown, nothing is decrypted.
  std::string empty = FreshHome("packets"), packets;
  Gpg(GetParam(), empty, "--batch --list-packets '" + file + "'", &packets);
  StopAgent(empty);
  std::set<std::string> keys;
  const std::string marker = ":pubkey enc packet:";
  for (size_t at = packets.find(marker); at != std::string::npos;
       at = packets.find(marker, at + 1)) {
    // The subkey's id; listed by it, the key's primary fingerprint comes first.
    std::string keyId = packets.substr(packets.find("keyid ", at) + 6, 16);
    std::string fpr = Fingerprint(GetParam(), alice_, keyId);
    keys.insert(fpr.empty() ? "?" + keyId : fpr);
  }
  return keys;
}

std::vector<std::string> OutgoingFixture::ListedIn(int id) const {
  std::vector<std::string> items;
  for (const auto& e : Events("list-add"))
    if (e["dialog"] == id) items.push_back(e["text"]);
  return items;
}

std::string OutgoingFixture::FingerprintShownIn(const std::string& line) {
  size_t open = line.rfind('['), close = line.rfind(']');
  if (open == std::string::npos || close == std::string::npos || close < open) return "";
  std::string fpr;
  for (char c : line.substr(open + 1, close - open - 1))
    if (c != ' ') fpr += c;
  return fpr;
}

std::vector<std::string> OutgoingFixture::LeftoverTempFiles() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(PrivateDir())) {
    std::string name = entry.path().filename().string();
    if (name.rfind("veilpost", 0) == 0) names.push_back(name);
  }
  return names;
}

}  // namespace vptest
