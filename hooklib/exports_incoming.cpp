// The exported C surface for opening mail: recognising, decrypting and quoting memo bodies.
#include "hooklib/export.h"
#include "hooklib/incoming/body_handover.h"

extern "C" {

// Nothing may be thrown into the script that called: an exception becomes the failure result.
VP_EXPORT int IsPgpMail(const char* body) {
  try {
    return vp::IsPgpMailImpl(body);
  } catch (...) {
    return 0;
  }
}

VP_EXPORT int DoDecryptBody(const char* name, char* body, const char* attachments) {
  try {
    return vp::DoDecryptBodyImpl(name, body, attachments);
  } catch (...) {
    return -1;
  }
}

VP_EXPORT int DoQuoteBody(const char* text) {
  try {
    return vp::DoQuoteBodyImpl(text);
  } catch (...) {
    return -1;
  }
}

}  // extern "C"
