// The verdict on one decrypt or verify run, and the messages that tell it.
#include "hooklib/incoming/run_verdict.h"

#include <cstdio>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/strings.h"
#include "hooklib/core/text.h"
#include "hooklib/gnupg/key_listing.h"

namespace vp {
namespace {

constexpr int kUnknownSigner = 160;
constexpr int kSignedBy = 161;
constexpr int kFileUnknownSigner = 162;
constexpr int kFileSignedBy = 163;

enum class Box { kInformation, kWarning };

// How one signature verdict is told. Message formats take the kind word and the signer; file
// formats the kind word, the file name and the signer. Formats that name no signer ignore it.
struct VerdictText {
  DecryptLine kind;
  Box box;
  bool optional;     // shown only when bShowMailSignDialog is set
  int stringId;      // a string of the table, or 0 for the texts below
  int fileStringId;  // likewise in file mode
  const char* message;
  const char* file;
};

const VerdictText kVerdictTexts[] = {
    {DecryptLine::kGoodSignature, Box::kInformation, true, kSignedBy, kFileSignedBy, nullptr,
     nullptr},
    {DecryptLine::kUnknownSigner, Box::kInformation, true, kUnknownSigner, kFileUnknownSigner,
     nullptr, nullptr},
    {DecryptLine::kBadSignature, Box::kWarning, false, 0, 0,
     "This %s signed as %s has a BAD signature: the text was changed after it was signed or the "
     "signature is forged. It is not opened.",
     "The %s \"%s\" signed as %s has a BAD signature: the file was changed after it was signed or "
     "the signature is forged. It is not decrypted."},
    {DecryptLine::kExpiredKeySignature, Box::kWarning, false, 0, 0,
     "This %s is signed by %s, but the signing key has expired.",
     "The %s \"%s\" is signed by %s, but the signing key has expired."},
    {DecryptLine::kRevokedKeySignature, Box::kWarning, false, 0, 0,
     "This %s is signed by %s, but the signing key has been revoked.",
     "The %s \"%s\" is signed by %s, but the signing key has been revoked."},
    {DecryptLine::kUncheckedSignature, Box::kWarning, false, 0, 0,
     "This %s is signed, but GnuPG could not check the signature: it was made in a way this "
     "version of GnuPG does not support. Who wrote it is not confirmed.",
     "The %s \"%s\" is signed, but GnuPG could not check the signature: it was made in a way "
     "this version of GnuPG does not support. Who wrote it is not confirmed."},
    {DecryptLine::kExpiredSignature, Box::kWarning, false, 0, 0,
     "This %s is signed by %s, but the signature has expired.",
     "The %s \"%s\" is signed by %s, but the signature has expired."},
};

// Records unknown signers once per signature: GnuPG reports one in up to three lines (ERRSIG
// and NO_PUBKEY naming its key, GnuPG 1.4's log line naming none).
class UnknownSigners {
 public:
  bool IsNew(const char* line) {
    std::string key = StatusField(line, 1);
    bool fresh = !seen_ || (!key.empty() && !key_.empty() && key != key_);
    seen_ = true;
    if (!key.empty()) key_ = key;
    return fresh;
  }
  void NextSignature() {
    seen_ = false;
    key_.clear();
  }

 private:
  bool seen_ = false;
  std::string key_;
};

// The verdicts GnuPG gives only after checking the signature against the key: VALIDSIG and a
// validity line follow them.
bool IsCheckedSignature(DecryptLine kind) {
  return kind == DecryptLine::kGoodSignature || kind == DecryptLine::kExpiredKeySignature ||
         kind == DecryptLine::kRevokedKeySignature || kind == DecryptLine::kExpiredSignature;
}

// What a box says to name the key: its fingerprint, else its key id, in groups of four.
std::string KeyNameLine(const SignatureVerdict& s) {
  if (!s.fingerprint.empty())
    return "Signing key fingerprint: " + GroupedKeyReference(s.fingerprint);
  if (!s.keyId.empty()) return "Signing key ID: " + GroupedKeyReference(s.keyId);
  return "";
}

constexpr const char* kNotCertified =
    "This key is not certified as belonging to that person: anyone can make a key that carries "
    "any name. To check it, compare the fingerprint above with one you obtained from the person "
    "directly (in person or by telephone); only when they match does the signature show who "
    "wrote this.";

}  // namespace

bool RunVerdict::HasBadSignature() const {
  for (const SignatureVerdict& s : signatures) {
    if (s.kind == DecryptLine::kBadSignature) return true;
  }
  return false;
}

RunVerdict ReadDecryptRun(const char* result, int exitCode) {
  RunVerdict verdict;
  bool noData = false, broken = false, unprotected = false, failed = false, checkedData = false;
  bool plaintextFlowing = false, decrypting = false, textWritten = false;
  UnknownSigners unknown;
  // The signature the key lines that follow a checked verdict belong to (-1: none).
  int checked = -1;
  std::string text(result ? result : "");
  char* cursor = nullptr;
  for (char* line = NextToken(text.data(), "\r\n", &cursor); line;
       line = NextToken(text.data(), "\r\n", &cursor)) {
    DecryptLine kind = ClassifyDecryptLine(line);
    switch (kind) {
      case DecryptLine::kWrongPassphrase:
        verdict.outcome = RunOutcome::kWrongPassphrase;
        return verdict;
      case DecryptLine::kGoodSignature:
      case DecryptLine::kBadSignature:
      case DecryptLine::kExpiredKeySignature:
      case DecryptLine::kRevokedKeySignature:
      case DecryptLine::kExpiredSignature:
        verdict.signatures.push_back(
            {kind, SignatureSigner(line), StatusField(line, 1), "", false});
        checked = IsCheckedSignature(kind) ? static_cast<int>(verdict.signatures.size()) - 1 : -1;
        break;
      case DecryptLine::kUnknownSigner:
        if (unknown.IsNew(line)) verdict.signatures.push_back({kind, "", "", "", false});
        checked = -1;
        if (verdict.signatures.back().keyId.empty()) {
          verdict.signatures.back().keyId = StatusField(line, 1);
        }
        if (verdict.signatures.back().fingerprint.empty()) {
          verdict.signatures.back().fingerprint = SigningKeyFingerprint(line);
        }
        break;
      case DecryptLine::kUncheckedSignature:
        // A signature is there: the text is not unsigned, nor cut short, just unconfirmed.
        verdict.signatures.push_back({kind, "", StatusField(line, 1), "", false});
        checked = -1;
        break;
      case DecryptLine::kValidSignature:
        if (checked >= 0 && verdict.signatures[checked].fingerprint.empty()) {
          verdict.signatures[checked].fingerprint = SigningKeyFingerprint(line);
        }
        break;
      case DecryptLine::kKeyValidity:
        if (checked >= 0) verdict.signatures[checked].certified = IsFullValidity(line);
        checked = -1;  // one validity line per signature
        break;
      case DecryptLine::kNewSignature:
        unknown.NextSignature();
        checked = -1;
        break;
      case DecryptLine::kPlaintext:
        textWritten = true;
        break;
      case DecryptLine::kNoData:
        noData = true;
        break;
      case DecryptLine::kDamagedData:
        broken = true;
        break;
      case DecryptLine::kDecryptionBegin:
        decrypting = true;
        break;
      case DecryptLine::kUnprotectedData:
        unprotected = true;
        plaintextFlowing = true;
        break;
      case DecryptLine::kDecryptionData:
        plaintextFlowing = true;
        break;
      case DecryptLine::kDecryptionFailed:
        failed = true;
        break;
      case DecryptLine::kIntegrityChecked:
        checkedData = true;
        break;
      case DecryptLine::kDecryptionEnd:
        decrypting = false;
        break;
      case DecryptLine::kOther:
        break;
    }
  }
  // A text written out and then missing data: the armour around its signature is broken or cut
  // (GnuPG 1.4 may still judge the remains of the signature as bad). A text written out, no
  // signature judged and an error at the end: the signature never arrived.
  bool cutShort = textWritten && (noData || (!verdict.HasSignature() && exitCode != 0));
  // A failure once plaintext was flowing means part of a message was written; a failure before
  // means GnuPG never had the key and wrote nothing, which its own text explains.
  if (broken || decrypting || (failed && plaintextFlowing)) {
    verdict.outcome = RunOutcome::kDamaged;
  } else if (failed) {
    verdict.outcome = RunOutcome::kNotDecrypted;
  } else if (unprotected && !checkedData) {
    // Debian's GnuPG 2.2 reads the AEAD packets of 2.4 but names no integrity method in
    // DECRYPTION_INFO; its GOODMDC at the end still says the check held.
    verdict.outcome = RunOutcome::kUnprotected;
  } else if (cutShort) {
    verdict.outcome = RunOutcome::kDamaged;
  } else if (noData && !plaintextFlowing && !verdict.HasSignature()) {
    verdict.outcome = RunOutcome::kNoData;
  }
  return verdict;
}

void ShowSignatureVerdicts(const RunVerdict& verdict, const Subject& subject) {
  const bool optionalShown = Settings().bShowMailSignDialog != 0;
  const std::string fileName = ShownText(subject.fileName);
  for (const SignatureVerdict& s : verdict.signatures) {
    for (const VerdictText& t : kVerdictTexts) {
      if (t.kind != s.kind || (t.optional && !optionalShown)) continue;
      const int id = subject.fileName ? t.fileStringId : t.stringId;
      const char* format = id ? MessageString(id) : subject.fileName ? t.file : t.message;
      const std::string signer = ShownText(s.signer);
      char first[1024];
      if (subject.fileName) {
        snprintf(first, sizeof first, format, subject.kind, fileName.c_str(), signer.c_str());
      } else {
        snprintf(first, sizeof first, format, subject.kind, signer.c_str());
      }
      std::string text = first;
      if (std::string key = KeyNameLine(s); !key.empty()) text += "\n" + key;
      // A revoked key is told as such; whose it was no longer matters.
      if (IsCheckedSignature(s.kind) && s.kind != DecryptLine::kRevokedKeySignature &&
          !s.certified) {
        text += std::string("\n\n") + kNotCertified;
      }
      if (t.box == Box::kWarning) {
        ShowWarning("%s", text.c_str());
      } else {
        ShowInformation("%s", text.c_str());
      }
    }
  }
}

void ShowWithheld(RunOutcome outcome, const Subject& subject) {
  const std::string shownName = ShownText(subject.fileName);
  const char* fileName = subject.fileName ? shownName.c_str() : nullptr;
  if (outcome == RunOutcome::kUnprotected) {
    if (fileName) {
      ShowError(
          "The %s \"%s\" carries no protection against changes, so it may have been altered. "
          "It is not decrypted.",
          subject.kind, fileName);
    } else {
      ShowError(
          "This %s carries no protection against changes, so it may have been altered. It is "
          "not opened.",
          subject.kind);
    }
  } else if (fileName) {
    ShowError(
        "The %s \"%s\" is damaged or was altered: GnuPG found it incomplete or changed. It "
        "is not decrypted.",
        subject.kind, fileName);
  } else {
    ShowError(
        "This %s is damaged or was altered: GnuPG found it incomplete or changed. It is not "
        "opened.",
        subject.kind);
  }
}

}  // namespace vp
