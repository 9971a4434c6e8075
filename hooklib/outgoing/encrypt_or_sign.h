// Encrypting and signing, or clear-signing, with GnuPG: the memo's body as text, or one file.
//
// Each call looks the signing key and the recipients' keys up afresh (so an ambiguous name is
// asked about once per call), adds the signing key as a recipient when encryptToSelf is on, gets
// the signing passphrase, and runs GnuPG, asking again after a wrong passphrase for as long as
// the user types one. Every failure is shown where it happens; callers only pass it on.
#pragma once
#include <cstddef>

namespace vp {

// Body mode: writes `body` (line ends made CR LF) to a new temporary file, has GnuPG write
// armoured output into a second one, and hands that out as a new heap text (*output, freed by
// the caller with free()) with LF line ends and its length. signOnly clear-signs and looks no
// recipient up. Both temporary files are wiped on every path. 0; -1 on failure or cancel
// (*output null); the wipe's value when a temporary file could not be wiped.
int EncryptOrSignBody(char* senderName, int recipientCount, char* const* recipients,
                      const char* body, bool encryptToSelf, bool signOnly, char** output,
                      size_t* outputLength);

// File mode: encrypts and signs the file `inputPath` into `outputPath` (OpenPGP data without
// armour); a retry after a wrong passphrase runs the same command line. 0 when GnuPG reported
// the encryption finished; -1 otherwise (after GnuPG's text). Leaves the input file alone.
int EncryptOrSignFile(char* senderName, int recipientCount, char* const* recipients,
                      const char* inputPath, const char* outputPath, bool encryptToSelf);

}  // namespace vp
