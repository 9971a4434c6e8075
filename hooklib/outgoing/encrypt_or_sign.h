// Encrypting and signing, or clear-signing, with GnuPG: the memo's body as text, or one file.
//
// Each call takes the keys the caller looked up (once per memo, so each name is asked about at
// most once), adds the signing key as a recipient when encryptToSelf is on, gets the signing
// passphrase, and runs GnuPG, asking again after a wrong passphrase for as long as the user
// types one. Every failure is shown where it happens; callers only pass it on.
#pragma once
#include <cstddef>

#include "hooklib/outgoing/recipient_options.h"

namespace vp {

// Body mode: writes `body` (line ends made CR LF) to a new temporary file, has GnuPG write
// armoured output into a second one, and hands that out as a new heap text (*output, freed by
// the caller with free()) with LF line ends and its length. signOnly clear-signs and names no
// recipient but the signing key. Both temporary files are wiped on every path. 0; -1 on failure or
// cancel
// (*output null); the wipe's value when a temporary file could not be wiped.
int EncryptOrSignBody(const EncryptionKeys& keys, const char* body, bool encryptToSelf,
                      bool signOnly, char** output, size_t* outputLength);

// File mode: encrypts and signs the file `inputPath` into `outputPath` (OpenPGP data without
// armour); a retry after a wrong passphrase runs the same command line. 0 when GnuPG reported
// the encryption finished; -1 otherwise (after GnuPG's text). Leaves the input file alone.
int EncryptOrSignFile(const EncryptionKeys& keys, const char* inputPath, const char* outputPath,
                      bool encryptToSelf);

}  // namespace vp
