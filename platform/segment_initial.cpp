// Shared segment: the values a fresh segment starts with, on every platform.
#include <cstring>

#include "platform/segment.h"
#include "veilpost_version.h"

namespace vp {

void InitialSharedSettings(SharedSettings* s) {
  std::memset(s, 0, sizeof *s);
  static const char kVersion[] = "Veilpost Ver " VEILPOST_VERSION " for GnuPG";
  static_assert(sizeof kVersion <= sizeof s->szVersion);
  std::memcpy(s->szVersion, kVersion, sizeof kVersion);
  s->time_start = 0;
  s->cacheInterval = 0;
  s->bShowProcAttDialog = 1;
  s->bShowMailSignDialog = 1;
  s->bShowFileSignDialog = 1;
  s->bShowAttLaunchDialog = 1;
  s->bAutoOpenPgpMail = 1;
  s->bUseAgent = 0;
}

}  // namespace vp
