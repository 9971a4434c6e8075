// Export of the sender's own public key.
#include "hooklib/outgoing/export_key.h"

#include <cstring>
#include <string>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/trace.h"
#include "hooklib/gnupg/runner.h"
#include "hooklib/gnupg/status_lines.h"
#include "hooklib/gnupg/text_utils.h"
#include "hooklib/outgoing/key_selection.h"
#include "platform/process.h"

namespace vp {

int ExportOwnPublicKey(char* senderName, const char* path) {
  NormalizeNotesName(senderName);
  // The key that signed this memo, named by fingerprint; looked up as for signing when nothing
  // was signed yet. A name never names the export: it could match nothing among the user's own
  // keys (GnuPG then removes the output file) or match someone else's public key.
  std::string key = LastSigningKey();
  if (key.empty() && FindSigningKey(senderName, &key) != 0) return -1;

  std::string options = "--armor --output " + QuoteWindowsArgument(path) + " --export";
  char* result = RunGnuPG(options.c_str(), key.c_str(), nullptr, Passphrase());
  WriteTrace("%s", result);
  if (RunFailed(result)) return -1;
  if (!HasStatus(result, "EXPORTED") && result[0] && !StartsWith(result, "gpg: NOTE: ")) {
    // GnuPG's own words, e.g. that nothing was exported; the mail goes on without the key.
    // GnuPG 2 reports every export in status lines, so a run that exported a key counts as
    // quiet; otherwise each successful export would be shown as an error.
    ShowError("%s", result);
  }
  return 0;
}

}  // namespace vp
