// Export of the sender's own public key.
#include "hooklib/outgoing/export_key.h"

#include <cstring>
#include <string>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/trace.h"
#include "hooklib/gnupg/key_listing.h"
#include "hooklib/gnupg/runner.h"
#include "hooklib/gnupg/status_lines.h"
#include "hooklib/gnupg/string_list.h"
#include "hooklib/gnupg/text_utils.h"

namespace vp {
namespace {

// What names the sender's keys for the export: the fingerprints of the secret keys matching the
// name, so that a public key of someone else whose user id merely contains the name never goes
// out as the sender's own. The quoted name when no secret key matches.
bool ExportedKeys(const char* senderName, std::string* keys) {
  if (ListSecretKeys(senderName) != 0) return false;
  for (int i = 0; i < KeyIdList().count; ++i) *keys += std::string(KeyReference(i)) + " ";
  if (keys->empty()) *keys = std::string("\"") + senderName + "\" ";
  return true;
}

}  // namespace

int ExportOwnPublicKey(char* senderName, const char* path) {
  NormalizeNotesName(senderName);
  std::string keys;
  bool listed = ExportedKeys(senderName, &keys);
  FreeKeyLists();
  if (!listed) return -1;

  std::string options = std::string("--armor --output \"") + path + "\" --export " + keys;
  char* result = RunGnuPG(options.c_str(), nullptr, nullptr, Settings().passphrase);
  WriteTrace("%s", result);
  int rc = 0;
  if (StartsWith(result, kRunFailurePrefix)) {
    ShowError("%s", result + strlen(kRunFailurePrefix));
    rc = -1;
  } else if (!HasStatus(result, "EXPORTED") && result[0] && !StartsWith(result, "gpg: NOTE: ")) {
    // GnuPG's own words, e.g. that nothing was exported; the mail goes on without the key.
    // GnuPG 2 reports every export in status lines, so a run that exported a key counts as
    // quiet; otherwise each successful export would be shown as an error.
    ShowError("%s", result);
  }
  FreeKeyLists();
  return rc;
}

}  // namespace vp
