// Finding the public keys a message or file carries, without importing any of them.
#pragma once

namespace vp {

// Lists the public keys in the file at `path` and appends one entry per key: its first user id
// to the user id list, and at the same index, to the key id list, what names the key on a
// command line (its fingerprint, or its 16-digit key id where no fingerprint is listed). The
// key ring is never changed: GnuPG 2.1.14 and later list with a show-only import; older
// versions import into scratch key rings that are wiped afterwards. Works on any text, keys
// mixed with messages included. 0, or -1 when GnuPG could not be started or no scratch key
// ring could be made (after telling the user).
int DetectKeysInFile(const char* path);

// Appends the keys of a colon listing (pub/fpr/uid records) to the two lists as above. Keys
// without a user id, secret-key records, and public keys whose fingerprint the listing also
// gives for a secret key, are skipped: only keys sent as public keys are offered.
void CollectListedKeys(const char* listing);

}  // namespace vp
