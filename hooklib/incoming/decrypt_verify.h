// Decryption and verification of incoming mail: messages, files, and keys carried in files.
//
// Every operation asks for the decryption passphrase first (none when one is cached), runs
// GnuPG, judges the run from its status lines (see run_verdict.h), asks again after a wrong
// passphrase, and ends with the key id and user id lists empty. The result is 0 when done,
// -1 when cancelled or failed after the user was told why. A damaged, altered or unprotected
// message, a signed text cut short, and a text whose signature is bad, is never handed over: -1,
// and whatever GnuPG wrote of it is wiped. The text is given to GnuPG exactly as received.
#pragma once
#include <cstddef>

namespace vp {

// Decrypts or verifies a message text. On 0, *output is a malloc'ed text (the caller frees it)
// with CR LF read as LF, and *outputLength its length; a text without OpenPGP data gives an
// empty text after string 177, but one that begins a message or signed message in which GnuPG
// finds no data is damaged. Public keys found in the text are offered in the key import
// dialog. The temporary copies of the text and of GnuPG's output are wiped on every path.
// On a non-zero result *output may still hold a text the caller must free.
int DecryptMessage(const char* text, char** output, size_t* outputLength);

// Decrypts or verifies the file at `path` into `outputPath`, which receives the result only when
// it is complete (a failure leaves what stood there as it was). -2 with string 154 when there is
// nothing to decrypt: GnuPG found no OpenPGP data, or data that is neither encrypted nor signed
// (a key block), and wrote no output; the caller may then take the file as it is. A file GnuPG
// could not decrypt (no secret key: string 158) is -1, as is a damaged one.
int DecryptFile(const char* path, const char* outputPath);

// Offers the public keys in the file at `path` in the key import dialog; -1 with string 155
// when it holds none.
int FindKeysInFile(const char* path);

}  // namespace vp
