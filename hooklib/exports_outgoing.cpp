// The exported C surface of sending mail.
#include "hooklib/export.h"
#include "hooklib/outgoing/encrypt.h"

extern "C" {

// Nothing may be thrown back into the mail client: any exception is a failed send.
VP_EXPORT int DoEncrypt(const char* server, const char* sender, const char* recipients,
                        const char* body, char* attachments) {
  try {
    return vp::DoEncryptImpl(server, sender, recipients, body, attachments);
  } catch (...) {
    return -1;
  }
}

}  // extern "C"
