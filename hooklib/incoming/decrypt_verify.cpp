// Decryption and verification: the decrypt run, its verdicts, and the key offer that follows.
#include "hooklib/incoming/decrypt_verify.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/strings.h"
#include "hooklib/core/temp_files.h"
#include "hooklib/core/text.h"
#include "hooklib/core/trace.h"
#include "hooklib/gnupg/key_listing.h"
#include "hooklib/gnupg/passphrase.h"
#include "hooklib/gnupg/runner.h"
#include "hooklib/gnupg/status_lines.h"
#include "hooklib/gnupg/string_list.h"
#include "hooklib/gnupg/text_utils.h"
#include "hooklib/incoming/key_detection.h"
#include "hooklib/incoming/key_import.h"
#include "hooklib/incoming/run_verdict.h"
#include "hooklib/incoming/scratch_file.h"
#include "platform/files.h"

namespace vp {
namespace {

constexpr int kNotSigned = 147;
constexpr int kNoEncryptedText = 150;
constexpr int kFileNotSigned = 151;
constexpr int kKindEmail = 152;
constexpr int kKindFile = 153;
constexpr int kNotEncryptedFile = 154;
constexpr int kNoKeysInFile = 155;
constexpr int kNoSecretKey = 158;
constexpr int kKeysInMessage = 156;
constexpr int kKeysInFile = 157;
constexpr int kNoDataInMessage = 177;
// What the failed open of a file GnuPG never wrote reports: "file not found".
constexpr int kFileNotFoundError = 2;

// Empties the key lists however the call ends.
struct KeyListsCleanup {
  ~KeyListsCleanup() { FreeKeyLists(); }
};

// The traced run result, or null after the runner's failure (GnuPG not started, not answering
// or killed) was shown.
const char* RunDecrypt(const char* input, const char* output) {
  char* result = RunGnuPG("--decrypt", input, output, Passphrase());
  WriteTrace("%s", result);
  return RunFailed(result) ? nullptr : result;
}

bool WriteWholeFile(const char* path, const char* data, size_t size) {
  return WriteFileContent(path, data, size);
}

// Reads a whole file as text: CR LF arrives as LF. False when it cannot be opened.
bool ReadTextFile(const char* path, std::string* text) {
  FILE* f = OpenRegularFile(path, FileUse::kRead);
  if (!f) return false;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) text->append(chunk, n);
  memset(chunk, 0, sizeof chunk);
  fclose(f);
  size_t out = 0;
  for (size_t i = 0; i < text->size(); ++i) {
    if ((*text)[i] == '\r' && i + 1 < text->size() && (*text)[i + 1] == '\n') continue;
    (*text)[out++] = (*text)[i];
  }
  std::fill(text->begin() + out, text->end(), '\0');
  text->resize(out);
  return true;
}

// True when the file holds at least one byte.
bool FileHasContent(const char* path) {
  FILE* f = OpenRegularFile(path, FileUse::kRead);
  if (!f) return false;
  bool content = fgetc(f) != EOF;
  fclose(f);
  return content;
}

void ShowNoTemporaryFile() {
  ShowError("Unable to create a temporary file in %s.", TempFileDirectory().c_str());
}

// True when a line of `text` begins an armoured message or a signed message. GnuPG reporting no
// OpenPGP data in such a text means it found the start and nothing usable after it: a message
// cut short or broken (GnuPG 1.4 reports a cut compressed message that way), not a plain text.
bool HasMessageArmour(const char* text) {
  static const char* const kHeaders[] = {"-----BEGIN PGP MESSAGE-----",
                                         "-----BEGIN PGP SIGNED MESSAGE-----"};
  for (const char* line = text; line && *line;) {
    for (const char* header : kHeaders) {
      size_t n = strlen(header);
      if (strncmp(line, header, n) == 0 && strchr("\r\n", line[n])) return true;
    }
    line = strchr(line, '\n');
    if (line) ++line;
  }
  return false;
}

bool PassphraseReady() {
  GetPassphrase(kDecryptionPassphraseDialog);
  return Passphrase()[0] != '\0';
}

// Hands the plaintext to the caller as a malloc'ed text; false when memory ran out.
bool HandOver(std::string& plaintext, char** output, size_t* outputLength) {
  char* buffer = static_cast<char*>(malloc(plaintext.size() + 1));
  if (buffer) {
    memcpy(buffer, plaintext.data(), plaintext.size());
    buffer[plaintext.size()] = '\0';
    *output = buffer;
    *outputLength = plaintext.size();
  }
  std::fill(plaintext.begin(), plaintext.end(), '\0');
  return buffer != nullptr;
}

}  // namespace

int DecryptMessage(const char* text, char** output, size_t* outputLength) {
  KeyListsCleanup lists;
  *output = nullptr;
  *outputLength = 0;
  const Subject subject{MessageString(kKindEmail), nullptr};
  if (!PassphraseReady()) return -1;

  const size_t textLength = text ? strlen(text) : 0;
  ScratchFile input;
  ScratchFile outputFile;
  std::string runResult;
  RunVerdict verdict;
  for (;;) {
    WriteTraceData(text, textLength);
    if (!input.Reserve() || !outputFile.Reserve() ||
        !WriteWholeFile(input.Path(), text ? text : "", textLength)) {
      ShowNoTemporaryFile();
      return -1;
    }
    const char* result = RunDecrypt(input.Path(), outputFile.Path());
    if (!result) return -1;
    runResult = result;
    verdict = ReadDecryptRun(runResult.c_str(), LastRunEnd().exitCode);
    if (verdict.outcome == RunOutcome::kWrongPassphrase) {
      if (!AskAgainAfterWrongPassphrase(kDecryptionPassphraseDialog)) return -1;
      continue;
    }
    if (verdict.outcome == RunOutcome::kNoData && HasMessageArmour(text)) {
      verdict.outcome = RunOutcome::kDamaged;
    }
    if (verdict.outcome == RunOutcome::kNoData) {
      *output = static_cast<char*>(calloc(1, 1));
      ShowError("%s", MessageString(kNoDataInMessage));
      return *output ? 0 : -1;
    }
    break;
  }
  // Whatever GnuPG wrote of a damaged message is wiped with the output file on return.
  if (verdict.outcome == RunOutcome::kDamaged || verdict.outcome == RunOutcome::kUnprotected) {
    ShowWithheld(verdict.outcome, subject);
    return -1;
  }
  ShowSignatureVerdicts(verdict, subject);
  if (verdict.HasBadSignature()) return -1;

  // The output file was reserved before the run, so GnuPG wrote it only when it reports
  // plaintext or left bytes in it; otherwise its explanation is in the run result.
  std::string plaintext;
  errno = 0;
  bool readable = ReadTextFile(outputFile.Path(), &plaintext);
  // An open that failed tells its own error number; an output GnuPG never wrote is reported
  // as the missing file it would have been.
  int openError = !readable && errno != 0 ? errno : kFileNotFoundError;
  if (!readable || verdict.outcome == RunOutcome::kNotDecrypted ||
      (plaintext.empty() && !HasStatus(runResult.c_str(), "PLAINTEXT"))) {
    char caption[256];
    snprintf(caption, sizeof caption, "Unable to open %s for checking file length (%d).",
             outputFile.Path(), openError);
    ShowErrorDetails(caption, runResult.c_str());
    return -1;
  }
  if (!HandOver(plaintext, output, outputLength)) {
    ShowError("Insufficient memory for the decrypted text.");
    return -1;
  }
  if (int wiped = outputFile.Wipe(); wiped != 0) {
    ShowError("Unable to delete temp output file.");
    return wiped;
  }

  if (DetectKeysInFile(input.Path()) != 0) return -1;
  if (UserIdList().count > 0) ShowKeyImportDialog(MessageString(kKeysInMessage), input.Path());
  std::string inputPath = input.Path();
  if (int wiped = input.Wipe(); wiped != 0) {
    ShowError("Unable to delete %s.", inputPath.c_str());
    return wiped;
  }

  if (*outputLength == 0) {
    ShowInformation(MessageString(kNoEncryptedText), subject.kind);
  } else if (!verdict.HasSignature()) {
    ShowWarning(MessageString(kNotSigned), subject.kind);
  }
  return 0;
}

int DecryptFile(const char* path, const char* outputPath) {
  KeyListsCleanup lists;
  if (!path || !outputPath) return -1;
  const Subject subject{MessageString(kKindFile), GetFileNamePart(path)};
  const std::string shownName = ShownText(subject.fileName);
  // GnuPG would wait for ever on a FIFO, or read a device without end.
  if (!IsReadableRegularFile(path)) {
    ShowError("Unable to decrypt %s: it is not a file that can be read.", ShownText(path).c_str());
    return -1;
  }
  if (!PassphraseReady()) return -1;
  // GnuPG writes into a fresh private file, which takes the output name only after the run.
  ScratchFile written;
  if (!written.ReserveBeside(outputPath)) {
    ShowError("Unable to open %s for writing.", ShownText(outputPath).c_str());
    return -1;
  }

  RunVerdict verdict;
  bool plaintext = false;
  std::string runResult;
  for (;;) {
    const char* result = RunDecrypt(path, written.Path());
    if (!result) return -1;
    runResult = result;
    plaintext = HasStatus(result, "PLAINTEXT");
    verdict = ReadDecryptRun(result, LastRunEnd().exitCode);
    if (verdict.outcome == RunOutcome::kWrongPassphrase) {
      if (!AskAgainAfterWrongPassphrase(kDecryptionPassphraseDialog)) return -1;
      continue;
    }
    break;
  }
  // No OpenPGP data at all: there is nothing to decrypt, and the caller may take the file as it
  // is, which is what the user sees then.
  if (verdict.outcome == RunOutcome::kNoData) {
    ShowWarning(MessageString(kNotEncryptedFile), subject.fileName);
    return -2;
  }
  if (verdict.outcome == RunOutcome::kDamaged || verdict.outcome == RunOutcome::kUnprotected) {
    ShowWithheld(verdict.outcome, subject);
    written.Wipe();
    return -1;
  }
  // Encrypted, but not for a key we hold (or GnuPG could not decrypt it for another reason): a
  // failure, never a file to copy as it is over what the user chose.
  if (verdict.outcome == RunOutcome::kNotDecrypted) {
    written.Wipe();
    if (HasStatus(runResult.c_str(), "NO_SECKEY")) {
      ShowError(MessageString(kNoSecretKey), subject.kind, subject.kind);
    } else {
      char caption[256];
      snprintf(caption, sizeof caption, "GnuPG could not decrypt %s.", subject.fileName);
      ShowErrorDetails(caption, runResult.c_str());
    }
    return -1;
  }
  ShowSignatureVerdicts(verdict, subject);
  if (verdict.HasBadSignature()) {
    written.Wipe();
    return -1;
  }
  if (!verdict.HasSignature()) {
    ShowWarning(MessageString(kFileNotSigned), subject.kind, shownName.c_str());
  }
  // The output file exists from the start: what GnuPG wrote, or said it wrote, tells.
  if (plaintext || FileHasContent(written.Path())) return written.InstallAs(outputPath);
  ShowWarning(MessageString(kNotEncryptedFile), shownName.c_str());
  return -2;
}

int FindKeysInFile(const char* path) {
  KeyListsCleanup lists;
  if (!path) return -1;
  if (!PassphraseReady()) return -1;
  if (!IsReadableRegularFile(path)) {
    ShowError("Unable to read %s: it is not a file that can be read.", ShownText(path).c_str());
    return -1;
  }
  if (DetectKeysInFile(path) != 0) return -1;
  if (UserIdList().count > 0) {
    ShowKeyImportDialog(MessageString(kKeysInFile), path);
    return 0;
  }
  ShowWarning(MessageString(kNoKeysInFile), ShownText(GetFileNamePart(path)).c_str());
  return -1;
}

}  // namespace vp
