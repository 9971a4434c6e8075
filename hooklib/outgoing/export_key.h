// Export of the sender's own public key, armoured, for the memo to carry.
#pragma once

namespace vp {

// Normalises `senderName` in place and has GnuPG write the sender's public key to `path`: the
// keys of the sender's secret keys, named by fingerprint, or what the name itself matches when
// no secret key does. -1 when GnuPG did not start (after its failure text); otherwise 0, also
// when GnuPG exported nothing (its text is then shown as an error and the mail goes on).
int ExportOwnPublicKey(char* senderName, const char* path);

}  // namespace vp
