// Export of the sender's own public key, armoured, for the memo to carry.
#pragma once

namespace vp {

// Normalises `senderName` in place and has GnuPG write the sender's public key to `path`: the key
// that signed this memo (LastSigningKey), else the one FindSigningKey finds for the name (which
// may ask the user). -1 when no signing key was found or chosen, or GnuPG did not start (after
// its text); otherwise 0, also when GnuPG exported nothing (its text is then shown as an error
// and the mail goes on).
int ExportOwnPublicKey(char* senderName, const char* path);

}  // namespace vp
