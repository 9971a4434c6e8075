// Key detection: a colon listing of the keys in a file, made without touching the key ring.
#include "hooklib/incoming/key_detection.h"

#include <cstring>
#include <set>
#include <string>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/text.h"
#include "hooklib/core/trace.h"
#include "hooklib/gnupg/gnupg_version.h"
#include "hooklib/gnupg/runner.h"
#include "hooklib/gnupg/string_list.h"
#include "hooklib/gnupg/text_utils.h"
#include "hooklib/incoming/scratch_file.h"
#include "platform/files.h"
#include "platform/process.h"

namespace vp {
namespace {

// "--import-options show-only" appeared in GnuPG 2.1.14.
bool HasShowOnlyImport() {
  GnuPGVersion v = ProgramVersion(Settings().szGpgApp);
  if (!v.known) return false;
  if (v.major != 2) return v.major > 2;
  return v.minor > 1 || (v.minor == 1 && v.patch >= 14);
}

// One run, traced; the run result, or null after the runner's failure was shown.
const char* Run(const std::string& options, const char* input) {
  char* result = RunGnuPG(options.c_str(), input, nullptr, Passphrase());
  WriteTrace("%s", result);
  if (RunFailed(result)) {
    return nullptr;
  }
  return result;
}

struct PendingKey {
  bool open = false;
  bool fingerprintDue = false;
  char keyId[256] = "";
  char fingerprint[256] = "";
  char userId[256] = "";
};

void Flush(PendingKey& key, const std::set<std::string>& secret) {
  if (key.open && key.userId[0] && !(key.fingerprint[0] && secret.count(key.fingerprint))) {
    const char* reference = key.fingerprint[0] ? key.fingerprint : key.keyId;
    if (reference[0]) {
      AddToStringList(KeyIdList(), reference);
      AddToStringList(UserIdList(), key.userId);
    }
  }
  key = PendingKey{};
}

}  // namespace

void CollectListedKeys(const char* listing) {
  // A key the text carries as a secret key is no public key sent to be used: GnuPG 1.4 lists
  // its public part among the public keys, GnuPG 2 as a "sec" record. Neither is offered.
  std::set<std::string> secret;
  bool secretFingerprintDue = false;
  ForEachToken(listing, "\r\n", [&](const char* line) {
    if (StartsWith(line, "sec:")) {
      secretFingerprintDue = true;
    } else if (StartsWith(line, "fpr:") && secretFingerprintDue) {
      char fingerprint[256] = "";
      GetColonField(line, 9, fingerprint, sizeof fingerprint);
      secret.insert(fingerprint);
      secretFingerprintDue = false;
    } else if (!StartsWith(line, "fpr:")) {
      secretFingerprintDue = secretFingerprintDue && !StartsWith(line, "pub:") &&
                             !StartsWith(line, "ssb:") && !StartsWith(line, "sub:");
    }
  });
  std::string text(listing ? listing : "");
  PendingKey key;
  char* cursor = nullptr;
  for (char* line = NextToken(text.data(), "\r\n", &cursor); line;
       line = NextToken(text.data(), "\r\n", &cursor)) {
    if (StartsWith(line, "pub:")) {
      Flush(key, secret);
      key.open = true;
      key.fingerprintDue = true;
      GetColonField(line, 4, key.keyId, sizeof key.keyId);
      if (strlen(key.keyId) != 16) key.keyId[0] = '\0';
    } else if (StartsWith(line, "sec:")) {
      Flush(key, secret);  // secret keys are not offered
    } else if (StartsWith(line, "fpr:") && key.fingerprintDue) {
      GetColonField(line, 9, key.fingerprint, sizeof key.fingerprint);
      key.fingerprintDue = false;
    } else if (StartsWith(line, "uid:") && key.open && !key.userId[0]) {
      GetColonField(line, 9, key.userId, sizeof key.userId);
      key.fingerprintDue = false;
    } else if (StartsWith(line, "sub:") || StartsWith(line, "ssb:")) {
      key.fingerprintDue = false;
    }
  }
  Flush(key, secret);
}

int DetectKeysInFile(const char* path) {
  if (HasShowOnlyImport()) {
    const char* listing = Run("--import --import-options show-only --with-colons", path);
    if (!listing) return -1;
    CollectListedKeys(listing);
    return 0;
  }
  // Both scratch rings: GnuPG 1.4 puts secret keys into the default secret key ring otherwise.
  ScratchFile publicRing;
  ScratchFile secretRing;
  if (!publicRing.Reserve() || !secretRing.Reserve()) {
    ShowError("Unable to create a temporary file in %s.", TempFileDirectory().c_str());
    return -1;
  }
  std::string rings = "--no-default-keyring --keyring " + QuoteWindowsArgument(publicRing.Path()) +
                      " --secret-keyring " + QuoteWindowsArgument(secretRing.Path()) + " ";
  if (!Run(rings + "--import", path)) return -1;
  const char* listed =
      Run(rings + "--with-colons --fixed-list-mode --with-fingerprint --list-keys", nullptr);
  if (!listed) return -1;
  std::string listing = listed;  // the runner's buffer serves the next run
  const char* secret =
      Run(rings + "--with-colons --fixed-list-mode --with-fingerprint --list-secret-keys", nullptr);
  if (!secret) return -1;
  CollectListedKeys((listing + secret).c_str());
  return 0;
}

}  // namespace vp
