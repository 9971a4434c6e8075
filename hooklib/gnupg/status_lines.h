// Reading GnuPG's run results: line splitting and the status lines the system acts on.
#pragma once
#include <string>

namespace vp {

// The prefix of every machine-readable status line; only lines that begin with it count as
// status lines, so text that GnuPG echoes from a message can never pose as a verdict.
constexpr const char* kStatusPrefix = "[GNUPG:] ";

// Field `n` of a status line, counting the keyword as field 0 ("[GNUPG:] ERRSIG <keyid> ...":
// field 1 is the key id); "" for a log line or a line with fewer fields.
std::string StatusField(const char* line, int n);

// True when `line` reports a rejected passphrase, in either form GnuPG uses: the
// BAD_PASSPHRASE status line of GnuPG 1.4, or an ERROR/FAILURE status line whose error code
// means "bad passphrase" (GnuPG 2 reports the failed operation with the code instead).
bool IsWrongPassphraseLine(const char* line);

// True when a line of an encryption or signing run result, up to its END_ENCRYPTION line,
// reports a rejected passphrase. Does not change the text.
bool RunReportsWrongPassphrase(const char* result);

// True when a status line of `result` has the keyword (e.g. "NO_PUBKEY"), i.e. a line starts
// with the status prefix followed by the keyword and a blank or the end of the line.
bool HasStatus(const char* result, const char* keyword);

// What one line of a decrypt or verify run tells, tested in this order: a rejected passphrase,
// a good signature, a signature by a key not on the key ring, no OpenPGP data, the end of
// decryption (then the start of the next signature, which no verdict depends on). Unknown signers
// are recognised from the ERRSIG (no public key) and NO_PUBKEY status lines, which are never
// translated, and from GnuPG 1.4's English log line as well.
enum class DecryptLine {
  kOther,
  kWrongPassphrase,
  kGoodSignature,
  kUnknownSigner,
  kNoData,
  kDecryptionDone,
  kNewSignature,
};
DecryptLine ClassifyDecryptLine(const char* line);

// The signer text of a good-signature line: what follows the first blank at or after the line's
// 18th character (the blank after the key id); "" when there is none.
const char* GoodSignatureSigner(const char* line);

}  // namespace vp
