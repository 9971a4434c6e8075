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

// What one line of a decrypt or verify run tells; the first rule that matches decides, a
// rejected passphrase first. Every verdict is read from status lines, which GnuPG never
// translates; GnuPG 1.4's English "Can't check signature" log line is an extra trigger only.
enum class DecryptLine {
  kOther,
  kWrongPassphrase,
  kGoodSignature,
  kBadSignature,         // BADSIG: the signed text does not match its signature
  kExpiredKeySignature,  // EXPKEYSIG
  kRevokedKeySignature,  // REVKEYSIG
  kExpiredSignature,     // EXPSIG
  kUnknownSigner,        // ERRSIG with "no public key", NO_PUBKEY, GnuPG 1.4's log line
  kUncheckedSignature,   // any other ERRSIG: e.g. an algorithm this GnuPG does not know
  kNoData,               // NODATA 1 or 2: no OpenPGP data at all
  kDamagedData,          // NODATA 3 or 4 (an invalid packet), BADMDC
  kDecryptionBegin,      // BEGIN_DECRYPTION
  kDecryptionData,       // DECRYPTION_INFO of integrity-protected data: plaintext is flowing
  kUnprotectedData,      // DECRYPTION_INFO of data without integrity protection (no MDC, no AEAD)
  kDecryptionFailed,     // DECRYPTION_FAILED
  kIntegrityChecked,     // GOODMDC: the data's integrity check (MDC or AEAD tag) held
  kDecryptionEnd,        // END_DECRYPTION
  kNewSignature,         // NEWSIG: the lines that follow concern the next signature
  kValidSignature,       // VALIDSIG: the fingerprints of the key that made a checked signature
  kKeyValidity,          // TRUST_UNDEFINED ... TRUST_ULTIMATE: how valid GnuPG holds that key
  kPlaintext,            // PLAINTEXT: GnuPG is writing out the (signed or decrypted) text
};
DecryptLine ClassifyDecryptLine(const char* line);

// The signer text of a "<KEYWORD> <keyid> <user id>" signature status line (GOODSIG, BADSIG,
// EXPKEYSIG, ...): what follows the blank after the key id; "" when there is none or the line
// is no status line. GoodSignatureSigner is the same reader under the name of its first use.
const char* SignatureSigner(const char* line);

// The fingerprint of the primary key in a "VALIDSIG <fpr> ... [<primary fpr>]" line (its last
// field; the first fingerprint when GnuPG gives no primary one), or that of the issuer in an
// "ERRSIG ... <rc> <fpr>" line (GnuPG 2 only). "" for other lines, or when it is not a
// fingerprint (GnuPG writes "-" when it does not know it).
std::string SigningKeyFingerprint(const char* line);

// True for a TRUST_FULLY or TRUST_ULTIMATE line: GnuPG holds the key as belonging to the
// person its user id names. TRUST_UNDEFINED, TRUST_NEVER and TRUST_MARGINAL are below full.
bool IsFullValidity(const char* line);
const char* GoodSignatureSigner(const char* line);

}  // namespace vp
