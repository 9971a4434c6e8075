// Attach and detach processing, and the version hand-shake with the subform.
#include "hooklib/core/startup.h"

#include <string_view>
#include "hooklib/core/messages.h"
#include "hooklib/core/recipient_table.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/strings.h"
#include "hooklib/core/trace.h"

#include "platform/files.h"

namespace vp {
namespace {

char g_notes_version[256];
char g_subform_version[256];

}  // namespace

void ProcessAttach() {
  AttachSharedSettings();
  LoadConfiguration();
  if (Settings().cacheInterval == 0) Settings().passphrase[0] = '\0';
  ClearRecipientTable();
  LoadMessageStrings();
}

void ProcessDetach() {
  if (Settings().cacheInterval == 0) Settings().passphrase[0] = '\0';
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

  if (std::string_view(g_subform_version) == kRequiredSubformVersion) return 0;
  ShowError(
      "Current 'Veilpost Plugin' subform version: %s\nRequired 'Veilpost Plugin' subform "
      "version: %s\n\nPlease update your 'Veilpost Plugin' subform!",
      g_subform_version, kRequiredSubformVersion);
  return -1;
}

bool CheckInitialised() {
  if (g_notes_version[0] != '\0') return true;
  ShowError(
      "Incompatible 'Veilpost Plugin' subform.\nRequired 'Veilpost Plugin' subform version: "
      "%s\n\nPlease update your 'Veilpost Plugin' subform!",
      kRequiredSubformVersion);
  return false;
}

}  // namespace vp
