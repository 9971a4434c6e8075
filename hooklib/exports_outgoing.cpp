// The exported C surface of sending mail.
#include "hooklib/export.h"
#include "hooklib/guarded.h"
#include "hooklib/outgoing/encrypt.h"

extern "C" {

VP_EXPORT int VP_CALL DoEncrypt(const char* server, const char* sender, const char* recipients,
                                const char* body, char* attachments) {
  return vp::Guarded(
      -1, [&] { return vp::DoEncryptImpl(server, sender, recipients, body, attachments); });
}

}  // extern "C"
