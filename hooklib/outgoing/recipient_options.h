// The keys of one encryption for GnuPG: each distinct key is named once, on the command line
// while they all fit, else in an options file that GnuPG reads in place of its own.
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

// The option text of one encryption or signature run with all the keys, and the options file it
// may name. The keys go on the command line when the whole line fits kMaxCommandLine (as
// CryptoOptionText gives them); otherwise "--options FILE" names a private temporary file that
// holds the text of the user's own GnuPG configuration (GnuPG reads an options file instead of
// it, so it is copied) followed by a "recipient KEY" line per distinct key, and the command line
// keeps only `operation` and the signing key. The file is wiped when the object goes.
class CryptoOptions {
 public:
  CryptoOptions() = default;
  ~CryptoOptions();
  CryptoOptions(const CryptoOptions&) = delete;
  CryptoOptions& operator=(const CryptoOptions&) = delete;

  // False (after telling the user why) when GnuPG cannot be started for these keys and files:
  // a line still too long or holding a line break, a key that is not a plain key reference, or
  // an options file that cannot be made.
  bool Prepare(const EncryptionKeys& keys, const char* operation, bool encryptToSelf,
               const char* inputFile, const char* outputFile);
  const std::string& Text() const { return text_; }
  const std::string& File() const { return file_; }

 private:
  std::string text_, file_;
};

// The text of the configuration file GnuPG of `version` would read in `home`: the first that
// can be read of gpg.conf-MAJOR.MINOR.PATCH, gpg.conf-MAJOR.MINOR, gpg.conf-MAJOR and gpg.conf;
// "" when none can. *tooBig: the file is larger than 1 MiB (then "" as well).
std::string GnuPGConfigText(const std::string& home, int major, int minor, int patch, bool* tooBig);

// The GnuPG home folder GnuPG uses: $GNUPGHOME when set, else the platform's default.
std::string GnuPGHome();

}  // namespace vp
