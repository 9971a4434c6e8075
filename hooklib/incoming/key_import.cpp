// The "Import public key(s)" dialog and the import and signing runs behind its buttons.
#include "hooklib/incoming/key_import.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/strings.h"
#include "hooklib/core/temp_files.h"
#include "hooklib/core/text.h"
#include "hooklib/core/trace.h"
#include "hooklib/gnupg/gnupg_version.h"
#include "hooklib/gnupg/key_listing.h"
#include "hooklib/gnupg/runner.h"
#include "hooklib/gnupg/status_lines.h"
#include "hooklib/gnupg/string_list.h"
#include "hooklib/gnupg/text_utils.h"
#include "hooklib/incoming/scratch_file.h"
#include "hooklib/incoming/scratch_home.h"
#include "hooklib/resources/dialogs.h"
#include "platform/files.h"
#include "platform/process.h"

namespace vp {
namespace {

constexpr int kKeyList = 1008;
constexpr int kImport = 1009;
constexpr int kImportAndSign = 1010;
constexpr int kExit = 1004;
constexpr int kImportedMessage = 166;
constexpr int kImportedAndSignedMessage = 167;

char g_caption[256];
char g_source[256];

// True when `fingerprint` ends with `reference` (a fingerprint or a 16-digit key id); GnuPG
// writes both in the same upper-case hex.
bool SameKey(const std::string& fingerprint, const char* reference) {
  size_t n = strlen(reference);
  return n > 0 && fingerprint.size() >= n &&
         fingerprint.compare(fingerprint.size() - n, n, reference) == 0;
}

// What the key ring holds of one key, from its colon listing.
struct RingEntry {
  bool listed = false;            // a "pub" record
  bool locallyCertified = false;  // a signature whose class ends in "l" (not exportable)
};

RingEntry LookOnRing(const char* reference) {
  RingEntry entry;
  const char* listing =
      RunGnuPG("--with-colons --fixed-list-mode --list-sigs", reference, nullptr, Passphrase());
  WriteTrace("%s", listing);
  ForEachToken(listing, "\r\n", [&](const char* line) {
    if (StartsWith(line, "pub:")) entry.listed = true;
    if (!StartsWith(line, "sig:")) return;
    char signatureClass[16];
    GetColonField(line, 10, signatureClass, sizeof signatureClass);
    size_t n = strlen(signatureClass);
    entry.locallyCertified = entry.locallyCertified || (n > 0 && signatureClass[n - 1] == 'l');
  });
  return entry;
}

// GnuPG names every key it took, new or already known, in an IMPORT_OK line
// ("IMPORT_OK <reason> <fingerprint>"); GnuPG 1.4 does so even when writing the key ring then
// fails, so each key must also be found on the ring. (The IMPORT_RES sum is no help: GnuPG 1.4
// writes it onto the end of a log line, where it is no status line.)
bool ImportedEveryListedKey(const char* result) {
  std::vector<std::string> taken;
  ForEachToken(result, "\r\n", [&](const char* line) {
    if (StartsWith(line, "[GNUPG:] IMPORT_OK ")) taken.push_back(StatusField(line, 2));
  });
  const StringList& keys = KeyIdList();
  for (int i = 0; i < keys.count; ++i) {
    bool found = false;
    for (const std::string& fpr : taken) found = found || SameKey(fpr, keys.items[i]);
    if (!found) return false;
  }
  for (int i = 0; i < keys.count; ++i) {
    if (!LookOnRing(keys.items[i]).listed) return false;
  }
  return keys.count > 0;
}

// One traced run; its result, copied (the runner's buffer serves the next run), or false after
// the runner's failure was shown.
bool RunTraced(const std::string& options, const char* input, std::string* result) {
  char* run = RunGnuPG(options.c_str(), input, nullptr, Passphrase());
  WriteTrace("%s", run);
  if (RunFailed(run)) return false;
  *result = run;
  return true;
}

// Puts into `exported` the public keys of the key id list, and nothing else, from the import
// source: its keys go into a throwaway home first, whence only the listed fingerprints are
// exported, without any secret part. So a secret key or a key the user was not shown never
// reaches the user's key ring. False after telling the user why.
bool ExportListedKeys(const ScratchFile& exported) {
  ScratchHome home;
  if (!home.Make()) {
    ShowError("Unable to create a temporary folder in %s.", TempFileDirectory().c_str());
    return false;
  }
  std::string homeOption = "--homedir " + QuoteWindowsArgument(home.Path());
  // GnuPG 2 hands secret keys to an agent: with none started for the throwaway home, they stay
  // out of every key store.
  if (ProgramVersion(Settings().szGpgApp).NeedsLoopback()) homeOption += " --no-autostart";
  std::string report;
  if (!RunTraced(homeOption + " --import", g_source, &report)) return false;
  std::string exportOptions =
      homeOption + " --output " + QuoteWindowsArgument(exported.Path()) + " --export --";
  const StringList& keys = KeyIdList();
  for (int i = 0; i < keys.count; ++i) exportOptions += " " + QuoteWindowsArgument(keys.items[i]);
  if (!RunTraced(exportOptions, nullptr, &report)) return false;
  const std::string homePath = home.Path();
  if (home.Remove() != 0) {
    ShowError("Unable to delete %s.", homePath.c_str());
    return false;
  }
  return true;
}

// "1 public key imported." or "N public keys imported." (with " and signed" when signing).
std::string ImportedCount(int count, bool sign) {
  char text[96];
  snprintf(text, sizeof text, "%d public key%s imported%s.", count, count == 1 ? "" : "s",
           sign ? " and signed" : "");
  return text;
}

intptr_t ImportKeysProc(Dialog& dialog, DialogMessage message, int controlId, void*) {
  if (message == DialogMessage::kInit) {
    CenterWindow(dialog.Window());
    const StringList& lines = UserIdList();
    const StringList& keys = KeyIdList();
    for (int i = lines.count - 1; i >= 0; --i) {
      const char* reference = i < keys.count ? keys.items[i] : "";
      dialog.ListAdd(kKeyList, KeyDisplayLine(lines.items[i], reference).c_str());
    }
    dialog.ListSelect(kKeyList, 0);
    dialog.SetTitle(g_caption);
    BringToFront(dialog.Window(), kKeyList);
    return 0;
  }
  switch (controlId) {
    case kImport:
      ImportListedKeys(0);
      return 1;
    case kImportAndSign:
      ImportListedKeys(1);
      return 1;
    case kExit:
    case kIdCancel:
      dialog.End(kExit);
      return 1;
    default:
      return 0;
  }
}

}  // namespace

void ShowKeyImportDialog(const char* caption, const char* source) {
  if (!source || strlen(source) >= sizeof g_source) {
    ShowError("The file name is too long to import keys from.");
    return;
  }
  CopyText(g_caption, caption ? caption : "");
  CopyText(g_source, source);
  const DialogTemplate* tpl = FindDialogTemplate(kImportKeysDialog);
  if (tpl) Ui().DialogBox(*tpl, NotesWindow(), ImportKeysProc, nullptr);
}

int ImportListedKeys(int sign) {
  const char* passphrase = Passphrase();
  // An export naming no key would take every key the source holds.
  if (KeyIdList().count == 0) {
    ShowError("There are no listed keys to import.");
    return -1;
  }
  ScratchFile exported;
  if (!exported.Reserve()) {
    ShowError("Unable to create a temporary file in %s.", TempFileDirectory().c_str());
    return -1;
  }
  if (!ExportListedKeys(exported)) return -1;
  std::string report;
  if (!RunTraced("--import", exported.Path(), &report)) return -1;
  exported.Wipe();
  if (!ImportedEveryListedKey(report.c_str())) {
    ShowErrorDetails("GnuPG did not import every key listed. Its report:", report.c_str());
    return -1;
  }
  std::string uncertified;
  if (sign == 1) {
    RunnerSwitches& switches = GnuPGSwitches();
    switches.answerYes = true;
    // Local certifications only: they never leave this key ring, so a key nobody checked is
    // never vouched for in public. In the order collected; the key id list names each key by
    // its fingerprint. A key with several user ids is first asked "sign all user ids?" and only
    // then for the confirmation the runner answers: hence the extra "Y".
    char answers[kPassphraseCapacity + 2];
    snprintf(answers, sizeof answers, "%s\nY", passphrase);
    const StringList& keys = KeyIdList();
    const StringList& users = UserIdList();
    for (int i = 0; i < keys.count; ++i) {
      WriteTrace("%s", RunGnuPG("--lsign-key", keys.items[i], nullptr, answers));
    }
    memset(answers, 0, sizeof answers);
    switches.answerYes = false;
    for (int i = 0; i < keys.count; ++i) {
      if (!LookOnRing(keys.items[i]).locallyCertified) {
        uncertified += "\n" + ShownText(i < users.count ? users.items[i] : keys.items[i]);
      }
    }
  }
  if (!uncertified.empty()) {
    ShowError("The key(s) were imported, but GnuPG did not sign these:%s", uncertified.c_str());
    return -1;
  }
  ShowInformation("%s\n\n%s",
                  MessageString(sign == 1 ? kImportedAndSignedMessage : kImportedMessage),
                  ImportedCount(KeyIdList().count, sign == 1).c_str());
  return 0;
}

}  // namespace vp
