// The library's string table: the message texts the library loads by number.
#include "hooklib/resources/strings.h"

#include <algorithm>
#include <iterator>

namespace vp {
namespace {

struct StringResource {
  int id;
  const char* text;
};

// Kept in ascending id order so a lookup can bisect.
constexpr StringResource kStrings[] = {
    {145, "Do you want to launch this attachment?"},
    {146, "File has been successfully detached as \"%s\"."},
    {147, "This %s is not signed!"},
    {150, "This %s does not seem to contain any PGP-encrypted text."},
    {151, "The %s \"%s\" is not signed!"},
    {152, "email"},
    {153, "file"},
    {154, "\"%s\" does not appear to be an encrypted file.\nNo decryption was performed."},
    {155, "\"%s\" does not appear to contain any PGP public keys."},
    {156, "The following key(s) was found in the message"},
    {157, "The following key(s) was found in the file"},
    {158,
     "It is not possible to decrypt this %s because your keyring does not contains the necessary "
     "private key(s) corresponding to the public key(s) used to encrypt this %s."},
    {159,
     "The passphrase you have entered is incorrect.\nPlease try again, or click on the [Cancel] "
     "button to abort."},
    {160, "This %s is signed by an unknown entity!"},
    {161, "This %s is signed by %s."},
    {162, "The %s \"%s\" is signed by an unknown entity!"},
    {163, "The %s \"%s\" is signed by %s."},
    {164,
     "The passphrase cannot be empty!\nPlease try again, or click on the [Cancel] button to "
     "abort."},
    {165, "The %s name \"%s\" is ambiguous. Please choose the correct name!"},
    {166, "Key(s) successfully imported."},
    {167, "Key(s) successfully imported and signed."},
    {168, "Unable to find public key for %s name \"%s\"!"},
    {169, "none"},
    {170, "sender"},
    {171, "recipient"},
    {172, "key"},
    {173, "Question"},
    {174, "Information"},
    {175, "Warning"},
    {176, "Error"},
    {177, "Message does not contain valid PGP data."},
};

}  // namespace

const char* FindStringResource(int id) {
  auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                             [](const StringResource& s, int key) { return s.id < key; });
  if (it == std::end(kStrings) || it->id != id) return nullptr;
  return it->text;
}

}  // namespace vp
