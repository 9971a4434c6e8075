// The library's sender-name buffer.
#include "hooklib/core/sender_name.h"

namespace vp {

char* SenderName() {
  static char name[kSenderNameSize];
  return name;
}

}  // namespace vp
