// The abbreviated form of a Notes name, as the user's own and the recipients' names are looked up.
#pragma once
#include <cstddef>

namespace vp {

// Writes the abbreviated form of `name` into `buffer` (`size` bytes, cut to fit):
// "CN=Alice Example/O=Acme" becomes "Alice Example/Acme". A name Notes leaves alone or cannot
// abbreviate is copied as it is.
void AbbreviateNotesName(const char* name, char* buffer, size_t size);

}  // namespace vp
