// The key import dialog and the import of the keys it lists.
#pragma once

namespace vp {

constexpr int kImportKeysDialog = 106;

// Shows dialog 106 modally over the key lines in the user id list, titled `caption`; its Import
// buttons import every key that `source` (a file path) holds, and sign the listed keys. Both
// texts are copied (at most 255 characters); a source path that does not fit is refused with an
// error box, since a cut path would name another file.
void ShowKeyImportDialog(const char* caption, const char* source);

// Imports the listed public keys of the current import source, by fingerprint, and nothing else
// (no secret key, no key the list does not show), then, when `sign` is 1, certifies each listed
// key locally (non-exportable) with the default key, naming it by the key id list entry at its
// index (a fingerprint). Answer-yes is on for the signing runs only. String 166 or 167, and the
// number of public keys imported, only when GnuPG reported every listed key imported
// (IMPORT_OK) and, when signing, each key carries a local certification afterwards; otherwise
// the user sees what failed and the result is -1, as when GnuPG could not be started. Dialog 106
// shows each key with its fingerprint, and its default button imports without signing.
int ImportListedKeys(int sign);

}  // namespace vp
