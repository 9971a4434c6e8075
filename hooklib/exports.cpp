// The exported C surface of the hook library: plain names, nothing thrown across it.
#include <cstdlib>

#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "hooklib/core/temp_files.h"
#include "hooklib/export.h"
#include "hooklib/gnupg/key_listing.h"
#include "hooklib/guarded.h"

extern "C" {

VP_EXPORT int VP_CALL InitOrlavex(const char* notesVersion, const char* subformVersion) {
  return vp::Guarded(-1, [&] { return vp::InitOrlavexImpl(notesVersion, subformVersion); });
}

// One body for both names: the script calls them around its work, and nothing is needed.
static int PgpInitExit() {
  return 0;
}
VP_EXPORT int VP_CALL PgpInit() {
  return PgpInitExit();
}
VP_EXPORT int VP_CALL PgpExit() {
  return PgpInitExit();
}

VP_EXPORT int VP_CALL GetLaunchConfig() {
  return static_cast<int>(vp::Settings().bShowProcAttDialog);
}
VP_EXPORT int VP_CALL GetAutoOpenPgpMail() {
  return static_cast<int>(vp::Settings().bAutoOpenPgpMail);
}

VP_EXPORT const char* VP_CALL GetTempDir() {
  return vp::Guarded<const char*>("", [] { return vp::GetTempDir(); });
}

VP_EXPORT int VP_CALL WipeFile(const char* path) {
  return vp::Guarded(-1, [&] { return vp::WipeFile(path); });
}

VP_EXPORT int VP_CALL PgpCheckKey(char* name, int* found) {
  return vp::Guarded(-1, [&] {
    if (!name) {
      if (found) *found = 0;
      return -1;
    }
    return vp::PgpCheckKeyImpl(name, found);
  });
}

// The whole block of shared settings, for the system's own programs (the Windows build also
// exports each variable by name as data).
VP_EXPORT vp::SharedSettings* VeilpostSharedSettings() {
  return &vp::Settings();
}

}  // extern "C"
