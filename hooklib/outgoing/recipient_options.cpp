// Naming the keys of one encryption: on the command line, or in an options file when too many.
#include "hooklib/outgoing/recipient_options.h"

#include <cstdio>
#include <cstdlib>
#include <unordered_set>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/temp_files.h"
#include "hooklib/core/text.h"
#include "hooklib/gnupg/command_line.h"
#include "hooklib/gnupg/gnupg_version.h"
#include "platform/default_paths.h"
#include "platform/files.h"
#include "platform/process.h"

namespace vp {
namespace {

constexpr size_t kMaxConfigText = 1 << 20;

// Keys come from GnuPG's listings: a fingerprint or key id is hex digits only. Anything else
// could add a line to the options file.
bool IsKeyReference(const std::string& key) {
  if (key.empty()) return false;
  for (char c : key) {
    bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    if (!hex) return false;
  }
  return true;
}

std::string ReadSmallFile(const std::string& path, bool* found, bool* tooBig) {
  *found = false;
  FILE* f = OpenRegularFile(path, FileUse::kRead);
  if (!f) return "";
  *found = true;
  std::string text;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0 && text.size() <= kMaxConfigText)
    text.append(chunk, n);
  fclose(f);
  if (text.size() > kMaxConfigText) {
    *tooBig = true;
    return "";
  }
  return text;
}

}  // namespace

std::string CryptoOptionText(const EncryptionKeys& keys, size_t used, const char* operation,
                             bool encryptToSelf) {
  std::string text;
  std::unordered_set<std::string> named;
  for (size_t i = 0; i < used && i < keys.recipients.size(); ++i) {
    // Members of several groups, or a key picked for two names, are named once: GnuPG would
    // encrypt to them once anyway, and each repeat costs room a big group needs.
    if (named.insert(keys.recipients[i]).second) text += "--recipient " + keys.recipients[i] + " ";
  }
  text += operation;
  text += "--default-key " + keys.signing + " ";
  if (encryptToSelf && named.insert(keys.signing).second) {
    text += "--recipient " + keys.signing + " ";
  }
  return text;
}

std::string GnuPGHome() {
  const char* env = std::getenv("GNUPGHOME");
  return env && *env ? std::string(env) : DefaultGnuPGHome();
}

std::string GnuPGConfigText(const std::string& home, int major, int minor, int patch,
                            bool* tooBig) {
  *tooBig = false;
  if (home.empty()) return "";
  const std::string base = home + kPathSeparator + "gpg.conf";
  const std::string names[] = {base + "-" + std::to_string(major) + "." + std::to_string(minor) +
                                   "." + std::to_string(patch),
                               base + "-" + std::to_string(major) + "." + std::to_string(minor),
                               base + "-" + std::to_string(major), base};
  for (const std::string& name : names) {
    bool found = false;
    std::string text = ReadSmallFile(name, &found, tooBig);
    if (found) return text;
  }
  return "";
}

CryptoOptions::~CryptoOptions() {
  if (!file_.empty()) WipeFile(file_.c_str());
}

bool CryptoOptions::Prepare(const EncryptionKeys& keys, const char* operation, bool encryptToSelf,
                            const char* inputFile, const char* outputFile) {
  text_ = CryptoOptionText(keys, keys.recipients.size(), operation, encryptToSelf);
  std::string line = GnuPGCommandLine(text_.c_str(), inputFile, outputFile);
  if (line.size() > kMaxCommandLine) {
    // Too many keys for one command line (about 600 fingerprints): GnuPG reads them from a file.
    std::string content;
    std::unordered_set<std::string> named;
    std::vector<const std::string*> order;
    for (const std::string& key : keys.recipients)
      if (named.insert(key).second) order.push_back(&key);
    if (encryptToSelf && named.insert(keys.signing).second) order.push_back(&keys.signing);
    for (const std::string* key : order) {
      if (!IsKeyReference(*key)) {
        ShowError("GnuPG cannot take the key \"%.60s\" of this memo.",
                  ShownText(key->c_str()).c_str());
        return false;
      }
      content += "recipient " + *key + "\n";
    }
    const GnuPGVersion version = ProgramVersion(Settings().szGpgApp);
    bool tooBig = false;
    std::string own =
        GnuPGConfigText(GnuPGHome(), version.major, version.minor, version.patch, &tooBig);
    if (tooBig) {
      ShowError("The GnuPG configuration file in %s is larger than 1 MiB.", GnuPGHome().c_str());
      return false;
    }
    if (!own.empty() && own.back() != '\n') own += '\n';
    content = own + content;
    std::string dir = TempFileDirectory();
    file_ = CreateScratchFile(dir);
    if (file_.empty() || !WriteFileContent(file_, content.data(), content.size())) {
      ShowError("Unable to write the recipients' keys to a temporary file in %s.", dir.c_str());
      return false;
    }
    text_ = "--options " + QuoteWindowsArgument(file_) + " " + operation + "--default-key " +
            keys.signing + " ";
    line = GnuPGCommandLine(text_.c_str(), inputFile, outputFile);
  }
  std::string problem = CommandLineProblem(line);
  if (problem.empty()) return true;
  ShowError("%s", problem.c_str());
  return false;
}

}  // namespace vp
