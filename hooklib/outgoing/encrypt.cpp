// DoEncrypt: the steps of sending a memo, in their order.
#include "hooklib/outgoing/encrypt.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "hooklib/core/messages.h"
#include "hooklib/core/recipient_table.h"
#include "hooklib/core/sender_name.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "hooklib/core/temp_files.h"
#include "hooklib/core/text.h"
#include "hooklib/gnupg/batch_lookup.h"
#include "hooklib/gnupg/text_utils.h"
#include "hooklib/notesdb/abbreviated_name.h"
#include "hooklib/outgoing/encrypt_or_sign.h"
#include "hooklib/outgoing/export_key.h"
#include "hooklib/outgoing/key_selection.h"
#include "hooklib/outgoing/options_dialogs.h"
#include "hooklib/outgoing/recipients.h"
#include "platform/files.h"

namespace vp {
namespace {

// The signing key is always one of the recipients, so the sender can read what was sent.
constexpr bool kEncryptToSelf = true;

std::string TempPath(const char* name) {
  return std::string(GetTempDir()) + kPathSeparator + name;
}

// Resolves the recipients and looks up each one's key once for the whole memo: all names in as
// few listings as command lines allow, then each name in table order (asking where the name is
// not an exact match; a cancelled choice leaves the name without a key). Asks whether to go on
// when some have none; going on, the user picks their keys by hand.
int FindRecipientKeys(const char* server, const char* recipients, std::vector<std::string>* keys) {
  if (ResolveRecipients(server, recipients) != 0) return -1;
  RecipientTable& table = Recipients();
  keys->assign(static_cast<size_t>(table.count), "");
  std::vector<std::string> names;
  for (int i = 0; i < table.count; ++i) names.emplace_back(NormalizeNotesName(table.entries[i]));
  BatchedLookups batch;
  if (LookUpPublicKeysBatched(names, &batch) != 0) return -1;
  bool missing = false;
  for (int i = 0; i < table.count; ++i) {
    const size_t at = static_cast<size_t>(i);
    // A name the batch could not answer for is looked up alone, at its turn.
    if (!batch.answered[at] && LookUpKeys(table.entries[i], false, &batch.lookups[at]) != 0)
      return -1;
    int rc = TakeRecipientKey(table.entries[i], batch.lookups[at], &(*keys)[i]);
    if (rc < 0) return -1;
    table.found[i] = rc == 0 ? 1 : 0;
    missing = missing || rc != 0;
  }
  if (!missing) return 0;
  if (!ShowMissingKeysDialog()) return -1;
  for (int i = 0; i < table.count; ++i) {
    if (!table.found[i] && ChooseRecipientKeyByHand(table.entries[i], &(*keys)[i]) != 0) return -1;
  }
  return 0;
}

// The signing key, looked up at its first use in this memo.
int SigningKey(std::string* key) {
  *key = LastSigningKey();
  return key->empty() ? FindSigningKey(SenderName(), key) : 0;
}

int WriteMailBody(const std::string& path, EncryptionKeys& keys, const char* body, bool signOnly) {
  if (SigningKey(&keys.signing) != 0) return -1;
  char* output = nullptr;
  size_t length = 0;
  if (EncryptOrSignBody(keys, body, kEncryptToSelf, signOnly, &output, &length) != 0) return -1;
  int rc = WritePrivateFile(path, output, length);
  free(output);
  return rc;
}

// Exports the sender's key into a fresh file that then takes the name `path`.
int WritePublicKey(const std::string& path) {
  // A key from an earlier memo never goes with this one.
  if (WipeFile(path.c_str()) != 0) return -1;
  std::string scratch = CreateScratchBeside(path);
  if (scratch.empty()) {
    ShowError("Unable to open %s for writing.", path.c_str());
    return -1;
  }
  if (ExportOwnPublicKey(SenderName(), scratch.c_str()) != 0) {
    WipeFile(scratch.c_str());
    return -1;
  }
  // Nothing exported (GnuPG said why): the mail goes without a key file.
  FILE* f = OpenRegularFile(scratch, FileUse::kRead);
  bool exported = f && fgetc(f) != EOF;
  if (f) fclose(f);
  if (!exported) return WipeFile(scratch.c_str()) == 0 ? 0 : -1;
  return InstallFile(scratch, path);
}

// Encrypts one attachment into a fresh file that then takes the name "<path>.pgp". *refused:
// the item was not taken at all (it is then not the script's plain copy to wipe).
int EncryptAttachment(EncryptionKeys& keys, const char* item, bool* refused) {
  // GnuPG would wait for ever on a FIFO, or read a device without end.
  if (!IsReadableRegularFile(item)) {
    *refused = true;
    ShowError("Unable to encrypt %s: it is not a file that can be read.", item);
    return -1;
  }
  std::string output = std::string(item) + ".pgp";
  std::string scratch = CreateScratchBeside(output);
  if (scratch.empty()) {
    ShowError("Unable to open %s for writing.", output.c_str());
    return -1;
  }
  if (SigningKey(&keys.signing) != 0 ||
      EncryptOrSignFile(keys, item, scratch.c_str(), kEncryptToSelf) != 0) {
    WipeFile(scratch.c_str());
    return -1;
  }
  return InstallFile(scratch, output);
}

// Encrypts each attachment to "<path>.pgp" and wipes the plain file (also when its encryption
// failed), stopping at the first failure (later attachments are left as they are). An item that
// is refused before anything is read (too long, not a readable file) is never deleted.
int EncryptAttachments(EncryptionKeys& keys, char* attachments) {
  char* cursor = nullptr;
  for (char* item = NextToken(attachments, ",", &cursor); item;
       item = NextToken(attachments, ",", &cursor)) {
    int rc = -1;
    bool refused = false;
    if (strlen(item) > static_cast<size_t>(kMaxAttachmentPath)) {
      refused = true;
      ShowError("The attachment path is too long: %s", item);
    } else {
      rc = EncryptAttachment(keys, item, &refused);
    }
    if (!refused) WipeFile(item);
    if (rc != 0) return -1;
  }
  return 0;
}

int EncryptSteps(const char* server, const char* sender, const char* recipients, const char* body,
                 char* attachments) {
  // Abbreviated before the key lookups cut it at its first "/", as each recipient is: a
  // canonical "CN=Alice Example/O=Acme" must look up "Alice Example".
  AbbreviateNotesName(sender ? sender : "", SenderName(), kSenderNameSize);
  ForgetSigningKey();
  // Nothing is asked when the files of the memo have no safe place to go.
  if (!GetTempDir()[0]) return -1;
  ShowEncryptionOptionsDialog();
  const EncryptionOptions& o = Options();
  if (o.publicKeyChoice == kOptionsCancelled) return -1;
  const bool encryptMessage = o.encryptMessage != 0;
  const bool encryptAttachments = o.encryptAttachments != 0;
  const int choice = o.publicKeyChoice;

  EncryptionKeys keys;
  if (encryptMessage || encryptAttachments) {
    if (FindRecipientKeys(server ? server : "", recipients ? recipients : "", &keys.recipients) !=
        0)
      return -1;
  }

  // A stale body from an earlier memo must never be sent with this one.
  std::string mailBody = TempPath("mailbody.pgp");
  WipeFile(mailBody.c_str());
  if (body && body[0] && WriteMailBody(mailBody, keys, body, !encryptMessage) != 0) return -1;

  if (choice != kNoPublicKey) {
    if (WritePublicKey(TempPath("pubkey.asc")) != 0) return -1;
  }

  if (encryptAttachments && attachments && EncryptAttachments(keys, attachments) != 0) return -1;
  return (choice - kNoPublicKey) + (encryptAttachments ? 16 : 0);
}

}  // namespace

int DoEncryptImpl(const char* server, const char* sender, const char* recipients, const char* body,
                  char* attachments) {
  if (!CheckInitialised()) return -1;
  NotesWindowDisabled disabled;
  return EncryptSteps(server, sender, recipients, body, attachments);
}

}  // namespace vp
