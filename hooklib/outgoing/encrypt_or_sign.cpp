// One GnuPG encryption or signature of a body text or a file, with key lookup and passphrase.
#include "hooklib/outgoing/encrypt_or_sign.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/temp_files.h"
#include "hooklib/core/trace.h"
#include "hooklib/gnupg/passphrase.h"
#include "hooklib/gnupg/runner.h"
#include "hooklib/gnupg/status_lines.h"
#include "hooklib/gnupg/text_utils.h"
#include "hooklib/outgoing/line_ends.h"
#include "hooklib/outgoing/recipient_options.h"
#include "platform/files.h"

namespace vp {
namespace {

// A temporary file made by exclusive creation and wiped when it goes out of scope.
class TempFile {
 public:
  TempFile() = default;
  ~TempFile() { Release(); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Makes a new unique file; false (after a message) when none can be made.
  bool Create() {
    Release();
    std::string dir = TempFileDirectory();
    path_ = CreateScratchFile(dir);
    if (path_.empty()) ShowError("Unable to create a temporary file in %s.", dir.c_str());
    return !path_.empty();
  }
  void Release() {
    if (!path_.empty()) WipeFile(path_.c_str());
    path_.clear();
  }
  // Forgets a file that has been wiped already.
  void Forget() { path_.clear(); }
  const char* Path() const { return path_.c_str(); }

 private:
  std::string path_;
};

// Overwrites a copy of the body in memory once it is no longer needed.
struct ScrubbedText {
  std::string text;
  ~ScrubbedText() { std::fill(text.begin(), text.end(), '\0'); }
};

bool PassphraseGiven() {
  GetPassphrase(kSigningPassphraseDialog);
  return Passphrase()[0] != '\0';
}

char* Run(const std::string& options, const char* input, const char* output) {
  char* result = RunGnuPG(options.c_str(), input, output, Passphrase());
  WriteTrace("%s", result);
  return result;
}

void ShowWithGnuPGText(const char* caption, const char* result) {
  std::string details = std::string(caption) + "\r\n" + (result ? result : "");
  ShowErrorDetails(caption, details.c_str());
}

// GnuPG can write a complete-looking output and still fail (an input it could not read gives
// an empty signed packet and exit code 2): only a run that exited with 0 produced the output.
bool ExitedCleanly(const char* result, const char* what) {
  if (LastRunEnd().exitCode == 0) return true;
  char caption[512];
  snprintf(caption, sizeof caption, "GnuPG failed on %s (exit code %d).", what,
           LastRunEnd().exitCode);
  ShowWithGnuPGText(caption, result);
  return false;
}

// Reads GnuPG's output file as text (CR LF becomes LF) into a new heap buffer, then wipes it.
int TakeOutput(TempFile& out, const char* result, char** output, size_t* outputLength) {
  FILE* f = OpenRegularFile(out.Path(), FileUse::kRead);
  if (!f) {
    char caption[512];
    snprintf(caption, sizeof caption, "Unable to open %s for checking file length (%d).",
             out.Path(), errno);
    ShowWithGnuPGText(caption, result);
    return -1;
  }
  std::string bytes;
  char chunk[8192];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
  fclose(f);
  // The output file exists from the start (it is made exclusively), so a run that failed
  // shows as an empty file rather than a missing one.
  if (bytes.empty()) {
    char caption[512];
    snprintf(caption, sizeof caption, "GnuPG wrote nothing to %s.", out.Path());
    ShowWithGnuPGText(caption, result);
    return -1;
  }
  char* text = static_cast<char*>(malloc(bytes.size() + 1));
  if (!text) return -1;
  memcpy(text, bytes.data(), bytes.size());
  size_t length = CrLfToLf(text, bytes.size());
  text[length] = '\0';
  int wiped = WipeFile(out.Path());
  out.Forget();
  if (wiped != 0) {
    ShowError("Unable to delete temp output file.");
    free(text);
    return wiped;
  }
  *output = text;
  *outputLength = length;
  return 0;
}

}  // namespace

int EncryptOrSignBody(const EncryptionKeys& memoKeys, const char* body, bool encryptToSelf,
                      bool signOnly, char** output, size_t* outputLength) {
  *output = nullptr;
  *outputLength = 0;
  // A clear signature is for everyone: no recipient is named.
  const EncryptionKeys keys = signOnly ? EncryptionKeys{memoKeys.signing, {}} : memoKeys;
  const char* operation = signOnly ? "--armor --always-trust --clearsign "
                                   : "--armor --always-trust --encrypt --sign --textmode ";
  ScrubbedText plainText{ToCrLf(body)};
  TempFile out, plain;
  if (!out.Create() || !plain.Create()) return -1;
  // Refused before the passphrase is asked: a memo that cannot go must not cost the user it.
  CryptoOptions named;
  if (!named.Prepare(keys, operation, encryptToSelf, plain.Path(), out.Path())) return -1;
  if (!PassphraseGiven()) return -1;
  const std::string& options = named.Text();
  for (;;) {
    // Each attempt writes the body to a new exclusively made file: the name of a wiped one
    // could have been taken by someone else meanwhile.
    if (!plain.Path()[0] && !plain.Create()) return -1;
    if (!WriteFileContent(plain.Path(), plainText.text.data(), plainText.text.size())) {
      ShowError("Unable to open %s for writing.", plain.Path());
      return -1;
    }
    char* result = Run(options, plain.Path(), out.Path());
    if (RunFailed(result)) return -1;
    int wiped = WipeFile(plain.Path());
    if (wiped != 0) {
      ShowError("Unable to delete %s.", plain.Path());
      return wiped;
    }
    plain.Forget();
    if (RunReportsWrongPassphrase(result)) {
      if (!AskAgainAfterWrongPassphrase(kSigningPassphraseDialog)) return -1;
      continue;
    }
    if (!ExitedCleanly(result, "the mail body")) return -1;
    return TakeOutput(out, result, output, outputLength);
  }
}

int EncryptOrSignFile(const EncryptionKeys& keys, const char* inputPath, const char* outputPath,
                      bool encryptToSelf) {
  // Named once, so a retry runs the same command line: GnuPG refuses a command that is given
  // twice ("conflicting commands"), and a repeated group would fail every retry.
  const char* operation = "--always-trust --encrypt --sign ";
  CryptoOptions named;
  if (!named.Prepare(keys, operation, encryptToSelf, inputPath, outputPath)) return -1;
  if (!PassphraseGiven()) return -1;
  const std::string& options = named.Text();
  for (;;) {
    char* result = Run(options, inputPath, outputPath);
    if (RunFailed(result)) {
      DeleteFilePath(outputPath);
      return -1;
    }
    if (RunReportsWrongPassphrase(result)) {
      if (!AskAgainAfterWrongPassphrase(kSigningPassphraseDialog)) return -1;
      continue;
    }
    // Only a finished encryption counts: anything else would leave the mail without its file.
    if (!HasStatus(result, "END_ENCRYPTION")) {
      char caption[512];
      snprintf(caption, sizeof caption, "Unable to encrypt %s.", inputPath);
      ShowWithGnuPGText(caption, result);
      DeleteFilePath(outputPath);
      return -1;
    }
    // A broken output must not go out as the attachment.
    if (!ExitedCleanly(result, inputPath)) {
      DeleteFilePath(outputPath);
      return -1;
    }
    return 0;
  }
}

}  // namespace vp
