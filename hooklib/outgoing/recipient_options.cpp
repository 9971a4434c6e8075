// Naming the keys of one encryption on the command line.
#include "hooklib/outgoing/recipient_options.h"

#include <unordered_set>

#include "hooklib/core/messages.h"
#include "hooklib/gnupg/command_line.h"

namespace vp {

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

bool CryptoCommandFits(const EncryptionKeys& keys, const char* operation, bool encryptToSelf,
                       const char* inputFile, const char* outputFile) {
  auto line = [&](size_t used) {
    return GnuPGCommandLine(CryptoOptionText(keys, used, operation, encryptToSelf).c_str(),
                            inputFile, outputFile);
  };
  const size_t all = keys.recipients.size();
  std::string whole = line(all);
  if (whole.size() > kMaxCommandLine && line(0).size() <= kMaxCommandLine) {
    // The longest prefix of the recipients that still fits; the length grows with their number.
    size_t fits = 0, tooMany = all;
    while (tooMany - fits > 1) {
      size_t middle = fits + (tooMany - fits) / 2;
      (line(middle).size() <= kMaxCommandLine ? fits : tooMany) = middle;
    }
    ShowError(
        "This memo has %zu recipients, but a GnuPG command line (at most %zu characters) can "
        "name the keys of only %zu of them. Please send it to at most %zu recipients at a time.",
        all, kMaxCommandLine, fits, fits);
    return false;
  }
  std::string problem = CommandLineProblem(whole);
  if (problem.empty()) return true;
  ShowError("%s", problem.c_str());
  return false;
}

}  // namespace vp
