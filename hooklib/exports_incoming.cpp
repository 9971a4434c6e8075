// The exported C surface for opening mail: recognising, decrypting and quoting memo bodies.
#include "hooklib/export.h"
#include "hooklib/guarded.h"
#include "hooklib/incoming/attachments.h"
#include "hooklib/incoming/body_handover.h"

extern "C" {

VP_EXPORT int VP_CALL IsPgpMail(const char* body) {
  return vp::Guarded(0, [&] { return vp::IsPgpMailImpl(body); });
}

VP_EXPORT int VP_CALL DoDecryptBody(const char* name, char* body, const char* attachments) {
  return vp::Guarded(-1, [&] { return vp::DoDecryptBodyImpl(name, body, attachments); });
}

VP_EXPORT int VP_CALL DoDecryptAttachments(const char* name, const char* attachments) {
  return vp::Guarded(-1, [&] { return vp::DoDecryptAttachmentsImpl(name, attachments); });
}

VP_EXPORT int VP_CALL DoQuoteBody(const char* text) {
  return vp::Guarded(-1, [&] { return vp::DoQuoteBodyImpl(text); });
}

}  // extern "C"
