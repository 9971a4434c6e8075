// Attach and detach processing, and the version hand-shake with the subform.
#include "hooklib/core/startup.h"

#include <string_view>
#include "hooklib/core/messages.h"
#include "hooklib/core/recipient_table.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/strings.h"
#include "hooklib/core/temp_files.h"
#include "hooklib/core/trace.h"
#include "hooklib/gnupg/gnupg_version.h"

#include "platform/files.h"

namespace vp {
namespace {

char g_notes_version[256];
char g_subform_version[256];
// Set at attach when this process had to keep its settings in a private block; the user is told
// once, at the first call that may show a box (never during the load itself).
bool g_private_settings_unannounced = false;

void AnnouncePrivateSettings() {
  if (!g_private_settings_unannounced) return;
  g_private_settings_unannounced = false;
  ShowWarning(
      "Veilpost cannot share its settings and the cached passphrase with your other programs "
      "(%s).\nThis program keeps its own until it ends; the control program cannot clear its "
      "passphrase.",
      SharedSettingsFailure());
}

}  // namespace

void ProcessAttach() {
  bool shared = AttachSharedSettings() != nullptr;
  LoadConfiguration();
  if (!shared) {
    g_private_settings_unannounced = true;
    WriteTrace("Settings are private to this process: %s", SharedSettingsFailure());
  }
  WipeLeftovers();
  if (Settings().cacheInterval == 0) Settings().passphrase[0] = '\0';
  ClearRecipientTable();
  LoadMessageStrings();
}

void ProcessDetach() {
  if (Settings().cacheInterval == 0) Settings().passphrase[0] = '\0';
  WipeOwnPassphrase();
  FreeRecipientTable();
  DetachSharedSettings();
}

int InitOrlavexImpl(const char* notesVersion, const char* subformVersion) {
  CopyText(g_notes_version, notesVersion);
  CopyText(g_subform_version, subformVersion);

  int major = 0, minor = 0, build = 0;
  KernelVersion(&major, &minor, &build);
  WriteTrace("Windows version: %d.%d.%d", major, minor, build);
  WriteTrace("Notes client version: %s", g_notes_version);
  WriteTrace("Veilpost subform version: %s", g_subform_version);
  WriteTrace("Veilpost DLL version: %s", kRequiredSubformVersion);
  AnnouncePrivateSettings();
  // Learnt and traced here, within the version limit: a GnuPG that does not answer shows in the
  // trace before the first mail operation rather than hanging it.
  ProgramVersion(Settings().szGpgApp);

  if (std::string_view(g_subform_version) == kRequiredSubformVersion) return 0;
  ShowError(
      "Current 'Veilpost Plugin' subform version: %s\nRequired 'Veilpost Plugin' subform "
      "version: %s\n\nPlease update your 'Veilpost Plugin' subform!",
      g_subform_version, kRequiredSubformVersion);
  return -1;
}

bool CheckInitialised() {
  AnnouncePrivateSettings();
  if (g_notes_version[0] != '\0') return true;
  ShowError(
      "Incompatible 'Veilpost Plugin' subform.\nRequired 'Veilpost Plugin' subform version: "
      "%s\n\nPlease update your 'Veilpost Plugin' subform!",
      kRequiredSubformVersion);
  return false;
}

}  // namespace vp
