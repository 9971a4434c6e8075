// Reads the configuration key into the shared settings.
#include <cstring>

#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "platform/default_paths.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace vp {
namespace {

uint32_t ReadFlag(RegistryKey key, const char* name, uint32_t fallback) {
  uint32_t value = 0;
  return RegistryReadDword(key, name, &value) ? value : fallback;
}

}  // namespace

void LoadConfiguration() {
  char gpgDefault[260];
  char gpg2Default[260];
  CopyText(gpgDefault, kDefaultGpgPath);
  CopyText(gpg2Default, kDefaultGpg2Path);

  // Settings that cannot be opened read as if every value were missing: each setting takes its
  // default rather than whatever an earlier load left (a fresh segment has no GnuPG path).
  RegistryKey key = nullptr;
  RegistryOpenOrCreate(kConfigKeyPath, kConfigKeyClass, &key);

  SharedSettings& s = Settings();
  char path[256];
  if (RegistryReadString(key, "GpgProgramPath", path, sizeof path)) {
    CopyText(s.szGpgApp, path);
  } else {
    CopyText(s.szGpgApp, gpgDefault);
  }

  // A configured program that is gone is replaced by a default that exists.
  if (!PathExists(s.szGpgApp)) {
    if (strcmp(s.szGpgApp, gpgDefault) != 0 && PathExists(gpgDefault)) {
      CopyText(s.szGpgApp, gpgDefault);
    } else if (strcmp(s.szGpgApp, gpg2Default) != 0 && PathExists(gpg2Default)) {
      CopyText(s.szGpgApp, gpg2Default);
    }
  }

  s.cacheInterval = ReadFlag(key, "CacheInterval", 0);
  s.bShowProcAttDialog = ReadFlag(key, "ShowProcAttDlg", 1);
  s.bShowMailSignDialog = ReadFlag(key, "ShowMailSignDlg", 1);
  s.bShowFileSignDialog = ReadFlag(key, "ShowFileSignDlg", 1);
  s.bShowAttLaunchDialog = ReadFlag(key, "ShowLaunchAttDlg", 1);
  s.bAutoOpenPgpMail = ReadFlag(key, "AutoOpenPgpMail", 1);
  GnuPGTimeoutSeconds() = ReadFlag(key, "GpgTimeout", 0);

  uint32_t useAgent = 0;
  if (RegistryReadDword(key, "UseAgent", &useAgent)) {
    s.bUseAgent = useAgent;
  } else {
    s.bUseAgent = 0;
    const char* sep = strrchr(s.szGpgApp, kPathSeparator);
    if (sep && strcmp(sep + 1, kGpg2FileName) == 0) s.bUseAgent = 1;
  }
  if (key) RegistryClose(key);
}

}  // namespace vp
