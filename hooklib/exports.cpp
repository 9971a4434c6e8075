// The exported C surface of the hook library: plain names, nothing thrown across it.
#include <cstdlib>

#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "hooklib/core/temp_files.h"
#include "hooklib/export.h"
#include "hooklib/gnupg/key_listing.h"
#include "hooklib/guarded.h"

extern "C" {

VP_EXPORT int InitOrlavex(const char* notesVersion, const char* subformVersion) {
  return vp::Guarded(-1, [&] { return vp::InitOrlavexImpl(notesVersion, subformVersion); });
}

// One body for both names: the script calls them around its work, and nothing is needed.
static int PgpInitExit() {
  return 0;
}
VP_EXPORT int PgpInit() {
  return PgpInitExit();
}
VP_EXPORT int PgpExit() {
  return PgpInitExit();
}

VP_EXPORT int GetLaunchConfig() {
  return static_cast<int>(vp::Settings().bShowProcAttDialog);
}
VP_EXPORT int GetAutoOpenPgpMail() {
  return static_cast<int>(vp::Settings().bAutoOpenPgpMail);
}

VP_EXPORT const char* GetTempDir() {
  return vp::Guarded<const char*>("", [] { return vp::GetTempDir(); });
}

VP_EXPORT int WipeFile(const char* path) {
  return vp::Guarded(-1, [&] { return vp::WipeFile(path); });
}

VP_EXPORT int PgpCheckKey(char* name, int* found) {
  return vp::Guarded(-1, [&] {
    if (!name) {
      if (found) *found = 0;
      return -1;
    }
    return vp::PgpCheckKeyImpl(name, found);
  });
}

// The control program's way to the shared settings where no shared data section exists.
VP_EXPORT vp::SharedSettings* VeilpostSharedSettings() {
  return &vp::Settings();
}

}  // extern "C"
