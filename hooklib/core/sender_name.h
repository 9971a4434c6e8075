// The user's own name as the script last passed it to a mail operation.
#pragma once
#include <cstddef>

namespace vp {

constexpr size_t kSenderNameSize = 256;

// The library's one sender-name buffer (kSenderNameSize bytes, at most 255 characters), filled
// by the sending and opening operations; the key lookups of sending normalise it in place.
char* SenderName();

}  // namespace vp
