// Key listing and lookup.
#include "hooklib/gnupg/key_listing.h"

#include <cstring>
#include <string>
#include <vector>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/text.h"
#include "hooklib/core/trace.h"
#include "hooklib/gnupg/runner.h"
#include "hooklib/gnupg/string_list.h"
#include "hooklib/gnupg/text_utils.h"

namespace vp {
namespace {

// Parallel to the key id list: what names each key on a command line.
std::vector<std::string>& References() {
  static std::vector<std::string> refs(kStringListSlots);
  return refs;
}

struct ListingKind {
  const char* options;
  const char* keyRecord;
};

// With fingerprints, which GnuPG 1.4 lists only when asked: they name the keys on command
// lines and let the user check a key in the chooser.
const ListingKind kPublic{"--list-public-keys --with-colons --fixed-list-mode --with-fingerprint",
                          "pub:"};
const ListingKind kSecret{"--list-secret-keys --with-colons --fixed-list-mode --with-fingerprint",
                          "sec:"};

void PairListing(const ListingKind& kind, char* result) {
  char keyId[256] = "";
  char userId[256] = "";
  char longId[256] = "";
  char fingerprint[256] = "";
  bool primaryFingerprintDue = false;
  char* cursor = nullptr;
  for (char* line = NextToken(result, "\r\n", &cursor); line;
       line = NextToken(result, "\r\n", &cursor)) {
    if (StartsWith(line, kind.keyRecord)) {
      keyId[0] = longId[0] = fingerprint[0] = '\0';
      GetColonField(line, 4, keyId, sizeof keyId);
      if (strlen(keyId) == 16) {
        CopyText(longId, keyId);
        memmove(keyId, keyId + 8, 9);
      } else {
        keyId[0] = '\0';
      }
      primaryFingerprintDue = true;
    } else if (StartsWith(line, "fpr:") && primaryFingerprintDue) {
      GetColonField(line, 9, fingerprint, sizeof fingerprint);
      primaryFingerprintDue = false;
    } else if (StartsWith(line, "uid:")) {
      GetColonField(line, 9, userId, sizeof userId);
      if (keyId[0] && userId[0]) {
        StringList& ids = KeyIdList();
        if (ids.count < kStringListSlots) {
          References()[ids.count] = fingerprint[0] ? fingerprint : longId;
        }
        AddToStringList(ids, keyId);
        AddToStringList(UserIdList(), userId);
      }
      keyId[0] = userId[0] = '\0';
      primaryFingerprintDue = false;
    } else if (StartsWith(line, "sub:") || StartsWith(line, "ssb:")) {
      primaryFingerprintDue = false;
    }
  }
}

int ListKeys(const ListingKind& kind, const char* pattern) {
  char* result = RunGnuPG(kind.options, pattern, nullptr, Passphrase());
  WriteTrace("%s", result);
  if (RunFailed(result)) {
    return -1;
  }
  PairListing(kind, result);
  return 0;
}

}  // namespace

void PairKeyListing(char* listing, bool secret) {
  PairListing(secret ? kSecret : kPublic, listing);
}

int ListPublicKeys(const char* pattern) {
  return ListKeys(kPublic, pattern);
}
int ListSecretKeys(const char* pattern) {
  return ListKeys(kSecret, pattern);
}

const char* KeyReference(int index) {
  const StringList& ids = KeyIdList();
  if (index < 0 || index >= ids.count) return "";
  const std::string& ref = References()[index];
  return ref.empty() ? ids.items[index] : ref.c_str();
}

std::string GroupedKeyReference(const std::string& reference) {
  std::string grouped;
  for (size_t i = 0; i < reference.size(); ++i) {
    if (i > 0 && i % 4 == 0) grouped += (i == 20 && reference.size() == 40) ? "  " : " ";
    grouped += reference[i];
  }
  return grouped;
}

std::string KeyDisplayLine(const char* userId, const char* reference) {
  return ShownText(userId) + "  [" + GroupedKeyReference(reference ? reference : "") + "]";
}

void FreeKeyLists() {
  FreeStringList(KeyIdList());
  FreeStringList(UserIdList());
}

int PgpCheckKeyImpl(char* name, int* found) {
  NormalizeNotesName(name);
  int rc = ListPublicKeys(name);
  int any = (rc == 0 && KeyIdList().count > 0) ? 1 : 0;
  if (found) *found = any;
  FreeKeyLists();
  return rc;
}

}  // namespace vp
