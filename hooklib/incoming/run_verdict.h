// The verdict on one decrypt or verify run: read from its status lines, told to the user.
#pragma once
#include <string>
#include <vector>

#include "hooklib/gnupg/status_lines.h"

namespace vp {

enum class RunOutcome {
  kComplete,         // the whole input was processed
  kWrongPassphrase,  // GnuPG rejected the passphrase
  kNoData,           // the input holds no OpenPGP data
  kNotDecrypted,     // GnuPG could not decrypt at all (no secret key): it wrote no plaintext
  kDamaged,          // broken packets, a failed integrity check, or a decryption that never ended
  kUnprotected,      // decrypted data that carries no integrity check
};

// One signature's verdict: the line kind that decided it, the signer it names, and the key that
// made it. A user id proves nothing by itself (anyone can put any name on a key): the key is
// known by its fingerprint, and GnuPG tells whether it holds the key as that person's.
struct SignatureVerdict {
  DecryptLine kind = DecryptLine::kOther;
  std::string signer;
  std::string keyId;        // from the verdict line (16 hex digits); "" when none was given
  std::string fingerprint;  // the signing primary key's (VALIDSIG; ERRSIG in GnuPG 2), or ""
  bool certified = false;   // GnuPG reported full or ultimate validity for the key
};

struct RunVerdict {
  RunOutcome outcome = RunOutcome::kComplete;
  std::vector<SignatureVerdict> signatures;  // in the order GnuPG reported them
  bool HasSignature() const { return !signatures.empty(); }
  // A signature that does not match its text: the text must not be handed over as genuine.
  bool HasBadSignature() const;
};

// Reads a whole run result (left unchanged) and the exit code GnuPG ended with. A rejected
// passphrase ends the reading at once. An unknown signer is recorded once per signature, however
// many lines report it. A text GnuPG wrote out without judging any signature on it, while it also
// reported missing data or ended in an error, is a signed message cut short: damaged, never an
// unsigned text.
RunVerdict ReadDecryptRun(const char* result, int exitCode = 0);

// How the verdict messages name what was opened: the kind word ("email" or "file") and, for a
// file, its file name part (null in message mode).
struct Subject {
  const char* kind = "";
  const char* fileName = nullptr;
};

// Tells the user each signature's verdict: good and unknown signers as information when
// bShowMailSignDialog is set; bad signatures and signatures by expired or revoked keys always,
// as warnings naming the signer. Each box names the signing key by its fingerprint (by its key
// id where GnuPG gives none) below the verdict's own line, and a checked signature by a key
// GnuPG does not hold as fully valid (and has not revoked) adds that the key is not certified as
// that person's and how to check it. Names and user ids are shown through ShownText.
void ShowSignatureVerdicts(const RunVerdict& verdict, const Subject& subject);

// Tells the user why a damaged or unprotected run's output is withheld (an error box).
void ShowWithheld(RunOutcome outcome, const Subject& subject);

}  // namespace vp
