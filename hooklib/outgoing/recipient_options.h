// The keys of one encryption on GnuPG's command line: each distinct key is named once, and a memo
// with more recipients than one command line can name is refused before the passphrase is asked.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace vp {

struct EncryptionKeys {
  std::string signing;                  // how the sender's key is named to GnuPG
  std::vector<std::string> recipients;  // one per recipient, in table order; a key may repeat
};

// The option text of one run: "--recipient KEY " for each distinct key of the first `used`
// recipients, then `operation` (e.g. "--armor --always-trust --clearsign "), then "--default-key"
// with the signing key and, with encryptToSelf, "--recipient" with it unless already named.
std::string CryptoOptionText(const EncryptionKeys& keys, size_t used, const char* operation,
                             bool encryptToSelf);

// True when GnuPG can be started with the options for all the keys and these files. Otherwise
// the user is told why, for a line too long with how many of the recipients would fit, and the
// result is false.
bool CryptoCommandFits(const EncryptionKeys& keys, const char* operation, bool encryptToSelf,
                       const char* inputFile, const char* outputFile);

}  // namespace vp
