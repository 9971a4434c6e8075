// The status lines the system acts on.
#include "hooklib/gnupg/status_lines.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "hooklib/gnupg/text_utils.h"

namespace vp {

std::string StatusField(const char* line, int n) {
  if (!line || !StartsWith(line, kStatusPrefix) || n < 0) return "";
  const char* p = line + strlen(kStatusPrefix);
  for (int field = 0; field < n && p; ++field) {
    p = strchr(p, ' ');
    if (p) ++p;
  }
  return p ? std::string(p, strcspn(p, " \r\n")) : "";
}

namespace {

// GnuPG's error code for a bad passphrase, in the low 16 bits of its error values.
constexpr unsigned long kBadPassphraseCode = 11;

// Status keywords whose second field carries an error value.
const char* const kErrorStatuses[] = {"ERROR ", "FAILURE "};

bool LineHasStatus(const char* line, const char* keyword) {
  if (!StartsWith(line, kStatusPrefix)) return false;
  const char* rest = line + strlen(kStatusPrefix);
  size_t n = strlen(keyword);
  return strncmp(rest, keyword, n) == 0 &&
         (rest[n] == '\0' || rest[n] == ' ' || rest[n] == '\r' || rest[n] == '\n');
}

// Calls fn on each line of a text without changing it; stops when fn returns true.
template <typename Fn>
bool AnyLine(const char* text, Fn fn) {
  if (!text) return false;
  const char* p = text;
  while (*p) {
    size_t n = strcspn(p, "\r\n");
    if (n > 0 && fn(std::string(p, n).c_str())) return true;
    p += n;
    p += strspn(p, "\r\n");
  }
  return false;
}

// "ERRSIG <keyid> <pkalgo> <hashalgo> <class> <time> <rc> ...": rc 9 means no public key.
constexpr int kErrsigCodeField = 6;
constexpr const char* kNoPublicKeyCode = "9";

bool IsNoPublicKeyErrsig(const char* line) {
  return LineHasStatus(line, "ERRSIG") && StatusField(line, kErrsigCodeField) == kNoPublicKeyCode;
}

// A signature GnuPG found but could not check for another reason: GnuPG 1.4 knows no elliptic
// curves, so it cannot check what a key made by GnuPG 2.4 signed ("ERRSIG ... 22 ... 4").
bool IsUncheckedErrsig(const char* line) {
  return LineHasStatus(line, "ERRSIG") && !IsNoPublicKeyErrsig(line);
}

bool IsStatus(const char* line, const char* keyword) {
  return LineHasStatus(line, keyword);
}

// "NODATA <what>": 1 and 2 mean no OpenPGP data was found; 3 (invalid packet) and 4 (signature
// expected) mean the data is there but broken.
bool IsNoData(const char* line) {
  if (!LineHasStatus(line, "NODATA")) return false;
  std::string what = StatusField(line, 1);
  return what != "3" && what != "4";
}

bool IsBrokenData(const char* line) {
  return LineHasStatus(line, "NODATA") && !IsNoData(line);
}

// "DECRYPTION_INFO <mdc method> <cipher> [<aead algorithm>]": neither an MDC nor AEAD means
// nothing tells whether the ciphertext was changed.
bool IsUnprotectedData(const char* line) {
  if (!LineHasStatus(line, "DECRYPTION_INFO")) return false;
  std::string aead = StatusField(line, 3);
  return StatusField(line, 1) == "0" && (aead.empty() || aead == "0");
}

// The decrypt-run rules in the order they are tested; the first that matches decides.
struct DecryptRule {
  DecryptLine outcome;
  const char* status;         // status keyword, or null
  const char* logPrefix;      // log line prefix, or null
  bool (*test)(const char*);  // extra test, or null
};

const DecryptRule kDecryptRules[] = {
    {DecryptLine::kWrongPassphrase, nullptr, nullptr, IsWrongPassphraseLine},
    {DecryptLine::kGoodSignature, "GOODSIG", nullptr, nullptr},
    {DecryptLine::kBadSignature, "BADSIG", nullptr, nullptr},
    {DecryptLine::kExpiredKeySignature, "EXPKEYSIG", nullptr, nullptr},
    {DecryptLine::kRevokedKeySignature, "REVKEYSIG", nullptr, nullptr},
    {DecryptLine::kExpiredSignature, "EXPSIG", nullptr, nullptr},
    {DecryptLine::kUnknownSigner, nullptr, "gpg: Can't check signature: public key not found",
     nullptr},
    {DecryptLine::kUnknownSigner, "NO_PUBKEY", nullptr, nullptr},
    {DecryptLine::kUnknownSigner, nullptr, nullptr, IsNoPublicKeyErrsig},
    {DecryptLine::kUncheckedSignature, nullptr, nullptr, IsUncheckedErrsig},
    {DecryptLine::kNoData, nullptr, nullptr, IsNoData},
    {DecryptLine::kDamagedData, nullptr, nullptr, IsBrokenData},
    {DecryptLine::kDamagedData, "BADMDC", nullptr, nullptr},
    {DecryptLine::kDecryptionBegin, "BEGIN_DECRYPTION", nullptr, nullptr},
    {DecryptLine::kUnprotectedData, nullptr, nullptr, IsUnprotectedData},
    {DecryptLine::kDecryptionData, "DECRYPTION_INFO", nullptr, nullptr},
    {DecryptLine::kDecryptionFailed, "DECRYPTION_FAILED", nullptr, nullptr},
    {DecryptLine::kIntegrityChecked, "GOODMDC", nullptr, nullptr},
    {DecryptLine::kDecryptionEnd, "END_DECRYPTION", nullptr, nullptr},
    {DecryptLine::kNewSignature, "NEWSIG", nullptr, nullptr},
    {DecryptLine::kValidSignature, "VALIDSIG", nullptr, nullptr},
    {DecryptLine::kKeyValidity, "TRUST_UNDEFINED", nullptr, nullptr},
    {DecryptLine::kKeyValidity, "TRUST_NEVER", nullptr, nullptr},
    {DecryptLine::kKeyValidity, "TRUST_MARGINAL", nullptr, nullptr},
    {DecryptLine::kKeyValidity, "TRUST_FULLY", nullptr, nullptr},
    {DecryptLine::kKeyValidity, "TRUST_ULTIMATE", nullptr, nullptr},
    {DecryptLine::kPlaintext, "PLAINTEXT", nullptr, nullptr},
};

// A version 4 (40 digits) or version 5 (64 digits) fingerprint in GnuPG's upper-case hex.
bool IsFingerprint(const std::string& text) {
  if (text.size() != 40 && text.size() != 64) return false;
  return text.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

// "VALIDSIG <fpr> <date> <time> <expire> <version> <reserved> <pk algo> <hash algo> <class>
// <primary fpr>": the primary key's fingerprint is field 10.
constexpr int kValidsigPrimaryField = 10;
// "ERRSIG <keyid> <pk algo> <hash algo> <class> <time> <rc> <fpr>"
constexpr int kErrsigFingerprintField = 7;

}  // namespace

DecryptLine ClassifyDecryptLine(const char* line) {
  if (!line) return DecryptLine::kOther;
  for (const DecryptRule& rule : kDecryptRules) {
    bool match = (rule.status && IsStatus(line, rule.status)) ||
                 (rule.logPrefix && StartsWith(line, rule.logPrefix)) ||
                 (rule.test && rule.test(line));
    if (match) return rule.outcome;
  }
  return DecryptLine::kOther;
}

const char* SignatureSigner(const char* line) {
  if (!line || !StartsWith(line, kStatusPrefix)) return "";
  const char* keyword = line + strlen(kStatusPrefix);
  const char* keyId = strchr(keyword, ' ');
  const char* signer = keyId ? strchr(keyId + 1, ' ') : nullptr;
  return signer ? signer + 1 : "";
}

std::string SigningKeyFingerprint(const char* line) {
  std::string fpr;
  if (LineHasStatus(line, "VALIDSIG")) {
    fpr = StatusField(line, kValidsigPrimaryField);
    if (!IsFingerprint(fpr)) fpr = StatusField(line, 1);
  } else if (LineHasStatus(line, "ERRSIG")) {
    fpr = StatusField(line, kErrsigFingerprintField);
  }
  return IsFingerprint(fpr) ? fpr : "";
}

bool IsFullValidity(const char* line) {
  return LineHasStatus(line, "TRUST_FULLY") || LineHasStatus(line, "TRUST_ULTIMATE");
}

const char* GoodSignatureSigner(const char* line) {
  return SignatureSigner(line);
}

bool IsWrongPassphraseLine(const char* line) {
  if (StartsWith(line, "[GNUPG:] BAD_PASSPHRASE")) return true;
  if (!StartsWith(line, kStatusPrefix)) return false;
  const char* rest = line + strlen(kStatusPrefix);
  for (const char* status : kErrorStatuses) {
    if (!StartsWith(rest, status)) continue;
    // "<keyword> <location> <code>": the code is the last field.
    const char* code = strrchr(rest, ' ');
    if (!code) return false;
    char* end = nullptr;
    unsigned long value = strtoul(code + 1, &end, 10);
    if (end == code + 1) return false;
    return (value & 0xFFFF) == kBadPassphraseCode;
  }
  return false;
}

bool RunReportsWrongPassphrase(const char* result) {
  bool wrong = false;
  // The scan ends with the encryption's end: nothing after it concerns the passphrase.
  AnyLine(result, [&wrong](const char* line) {
    if (LineHasStatus(line, "END_ENCRYPTION")) return true;
    wrong = IsWrongPassphraseLine(line);
    return wrong;
  });
  return wrong;
}

bool HasStatus(const char* result, const char* keyword) {
  return AnyLine(result, [keyword](const char* line) { return LineHasStatus(line, keyword); });
}

}  // namespace vp
