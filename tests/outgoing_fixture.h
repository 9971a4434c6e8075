// Test fixture for sending mail: Alice's and Bob's key rings of one GnuPG version, a directory
// with people and a group, a scripted user interface, and checks on what was left behind.
#pragma once
#include <set>
#include <string>
#include <vector>

#include "support/keyrings.h"
#include "ui_fixture.h"

namespace vptest {

class OutgoingFixture : public UiFixture, public testing::WithParamInterface<GnuPG> {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Calls DoEncrypt as the script does; `attachments` separated by ",".
  int Send(const std::string& recipients, const std::string& body,
           const std::string& attachments = "", const std::string& sender = "Alice Example/Acme");

  // The files the script picks up.
  static std::string TempFile(const std::string& name);
  std::string MailBody() const { return TempFile("mailbody.pgp"); }

  // The GnuPG command lines of the test so far, from the trace.
  std::vector<std::string> Commands() const;
  // The command lines that encrypted or signed (not listings or exports).
  std::vector<std::string> CryptoCommands() const;

  // Bob decrypts (or verifies) `file` with GnuPG directly; returns the status output and puts
  // the plaintext into *plain.
  std::string BobOpens(const std::string& file, std::string* plain);
  // Bob's client, a process of its own (his key ring, settings, answers and temporary folder),
  // opens a memo whose body is `received` with GnuPG `version`; returns what `veilpost call`
  // printed.
  std::string BobCalls(const std::string& received, const std::string& attachments, int* rc,
                       GnuPG version);
  std::string BobSees() const { return ReadFile(dir_ + "/bob/tmp/mailbody.pgp"); }
  // The message boxes Bob's client showed, one JSON line each.
  std::string BobsBoxes() const;
  // How a key on Alice's ring is named on command lines: its fingerprint, with both versions.
  std::string Ref(const std::string& email) const;

  // The keys `file` is encrypted to, by the primary fingerprints of Alice's ring (a key she does
  // not hold as "?" and its key id), read from the packets themselves.
  std::set<std::string> EncryptedTo(const std::string& file) const;
  // The items added to the list boxes of dialog `id`, in the order added.
  std::vector<std::string> ListedIn(int id) const;
  // The fingerprint a key list line shows in brackets, without its blanks.
  static std::string FingerprintShownIn(const std::string& line);

  // Names of plaintext temporary files ("veilpost*") left in the temporary folder.
  static std::vector<std::string> LeftoverTempFiles();

  std::string alice_, bob_, trace_;
  void* notesWindow_ = nullptr;
};

// Counts non-overlapping occurrences of `needle` in `text`.
size_t Count(const std::string& text, const std::string& needle);

}  // namespace vptest
