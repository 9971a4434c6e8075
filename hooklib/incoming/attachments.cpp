// The attachment dialog: detach, view and look for keys in the files the mail script detached.
#include "hooklib/incoming/attachments.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "hooklib/core/messages.h"
#include "hooklib/core/sender_name.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "hooklib/core/strings.h"
#include "hooklib/core/temp_files.h"
#include "hooklib/core/text.h"
#include "hooklib/incoming/attachment_files.h"
#include "hooklib/incoming/decrypt_verify.h"
#include "hooklib/resources/dialogs.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace vp {
namespace {

constexpr int kAttachmentsDialog = 102;
constexpr int kList = 1001;
constexpr int kExit = 1004;
constexpr int kDetach = 1012;
constexpr int kProcessKeys = 1013;
constexpr int kView = 1014;
constexpr int kLaunchQuestion = 145;
constexpr int kDetachedMessage = 146;
constexpr size_t kPathSize = 256;
constexpr size_t kMaxNameLength = 255;

// The attachment list while the dialog is open; each list item's data points into it.
std::string g_attachments;

// `dir`, the separator and `name`; false when that does not fit a path buffer.
bool JoinPath(const char* dir, const char* name, std::string* path) {
  *path = std::string(dir) + kPathSeparator + name;
  if (path->size() < kPathSize) return true;
  ShowError("The path %s is too long.", ShownText(*path).c_str());
  return false;
}

std::string WorkDir() {
  return std::string(TempDirQuietly()) + kPathSeparator + "pgptemp";
}

// What the list shows for a file name part, and what its view copy is called: the sender chose
// the name, so its control characters are shown escaped.
std::string DisplayName(const char* part) {
  std::string name(part, strnlen(part, kMaxNameLength));
  StripEncryptedExtension(name);
  return ShownText(name);
}

// The name a copy of the attachment gets (view copy, proposed save name): the shown name with
// the backslashes of its escapes made underscores, so no escape reads as a folder separator.
std::string CopyName(const char* part) {
  std::string name = DisplayName(part);
  for (char& c : name)
    if (c == '\\') c = '_';
  return name;
}

// The selected items in ascending order.
std::vector<int> Selection(Dialog& dialog) {
  std::vector<int> selected;
  for (int i = 0, n = dialog.ListCount(kList); i < n; ++i)
    if (dialog.ListIsSelected(kList, i)) selected.push_back(i);
  return selected;
}

const char* FileNamePart(Dialog& dialog, int index) {
  return reinterpret_cast<const char*>(dialog.ListData(kList, index));
}

void DetachAttachments(Dialog& dialog) {
  for (int index : Selection(dialog)) {
    const char* part = FileNamePart(dialog, index);
    std::string source;
    if (!JoinPath(GetTempDir(), part, &source)) return;
    char target[kPathSize];
    CopyText(target, CopyName(part).c_str());
    if (!AskSaveAsPath(target, sizeof target)) return;
    // Both ways write a private file beside the target that replaces it only when complete: a
    // cancelled or failed run leaves the user's file as it was.
    int rc = -2;
    {
      WaitCursor busy;
      if (HasEncryptedExtension(part)) rc = DecryptFile(source.c_str(), target);
      if (rc == -2) rc = CopyFileOver(source.c_str(), target);
    }
    if (rc != 0) return;
    if (Settings().bShowAttLaunchDialog) {
      if (ShowQuestion("%s", MessageString(kLaunchQuestion)) == kIdYes) OpenWithShell(target);
    } else {
      ShowInformation(MessageString(kDetachedMessage), target);
    }
  }
}

void ViewAttachments(Dialog& dialog) {
  for (int index : Selection(dialog)) {
    const char* part = FileNamePart(dialog, index);
    std::string source, view;
    const std::string name = CopyName(part);
    // "..pgp" would name the working folder itself, "...pgp" the folder above it.
    if (!IsPlainFileName(name.c_str())) {
      ShowError("The attachment \"%s\" cannot be viewed: its name is not a file name.",
                ShownText(part).c_str());
      return;
    }
    if (!JoinPath(GetTempDir(), part, &source) || !JoinPath(WorkDir().c_str(), name.c_str(), &view))
      return;
    int rc = -2;
    {
      WaitCursor busy;
      if (HasEncryptedExtension(part)) rc = DecryptFile(source.c_str(), view.c_str());
      // A plain copy is made exclusively: a view copy still there is not written over.
      if (rc == -2) rc = CopyFileData(source.c_str(), view.c_str());
    }
    if (rc != 0) return;
    SetFileReadOnly(view, true);
    OpenWithShell(view.c_str());
  }
}

void ProcessAttachmentKeys(Dialog& dialog) {
  for (int index : Selection(dialog)) {
    const char* part = FileNamePart(dialog, index);
    std::string source, keyCopy;
    if (!JoinPath(GetTempDir(), part, &source) || !JoinPath(WorkDir().c_str(), part, &keyCopy))
      return;
    std::string examined = source;
    bool decrypted = false;
    if (HasEncryptedExtension(part)) {
      int rc = DecryptFile(source.c_str(), keyCopy.c_str());
      if (rc != 0 && rc != -2) return;
      decrypted = rc == 0;
      if (decrypted) examined = keyCopy;
    }
    int rc = FindKeysInFile(examined.c_str());
    if (decrypted) WipeFile(keyCopy.c_str());
    if (rc != 0) return;
  }
}

// Actions never overlap: the dialog takes no input while one runs.
void RunAction(Dialog& dialog, void (*action)(Dialog&)) {
  Ui().EnableWindow(dialog.Window(), false);
  action(dialog);
  Ui().EnableWindow(dialog.Window(), true);
}

intptr_t AttachmentsProc(Dialog& dialog, DialogMessage message, int controlId, void*) {
  if (message == DialogMessage::kInit) {
    char* cursor = nullptr;
    for (char* entry = NextToken(g_attachments.data(), ",", &cursor); entry;
         entry = NextToken(g_attachments.data(), ",", &cursor)) {
      char* part = GetFileNamePart(entry);
      if (!IsPlainFileName(part)) continue;
      int index = dialog.ListAdd(kList, DisplayName(part));
      dialog.ListSetData(kList, index, reinterpret_cast<intptr_t>(part));
    }
    CenterWindow(dialog.Window());
    BringToFront(dialog.Window(), kList);
    dialog.ListSelect(kList, 0);
    return 0;
  }
  switch (controlId) {
    case kDetach:
      RunAction(dialog, DetachAttachments);
      return 1;
    case kView:
      RunAction(dialog, ViewAttachments);
      return 1;
    case kProcessKeys:
      RunAction(dialog, ProcessAttachmentKeys);
      return 1;
    case kExit:
    case kIdCancel:
      dialog.End(kExit);
      return 1;
    default:
      return 0;
  }
}

// Deletes the files the script detached: only the temporary folder's file of each entry's name,
// never a file an entry names elsewhere.
void WipeDetachedFiles(const char* attachments) {
  const char* dir = TempDirQuietly();
  if (!dir[0]) return;
  ForEachToken(attachments, ",", [&](char* entry) {
    const char* part = GetFileNamePart(entry);
    std::string path = std::string(dir) + kPathSeparator + part;
    if (IsPlainFileName(part) && path.size() < kPathSize) WipeFile(path.c_str());
  });
}

}  // namespace

void RemoveViewCopies(const char* attachments) {
  const std::string dir = WorkDir();
  ForEachToken(attachments, ",", [&](char* entry) {
    std::string name = CopyName(GetFileNamePart(entry));
    std::string path = dir + kPathSeparator + name;
    if (!IsPlainFileName(name.c_str()) || path.size() >= kPathSize) return;
    SetFileReadOnly(path, false);
    // The program showing the copy may still hold it; the user can close it and retry.
    while (WipeFile(path.c_str()) == 0 && FileHeldByOther(path)) {
      std::string text =
          "Unable to remove temp file \"" + path +
          "\". It may be in use by another application.\n\nPlease close the application and "
          "click on [Retry] to try again, or click on [Cancel] to manually delete this file "
          "yourself at a later time.";
      if (Ui().MessageBox(NotesWindow(), text, "Warning",
                          kMbRetryCancel | kMbIconWarning | kMbSetForeground) != kIdRetry) {
        break;
      }
    }
  });
  RemoveEmptyDirectory(dir);
}

int DoDecryptAttachmentsImpl(const char* name, const char* attachments) {
  if (!CheckInitialised()) return -1;
  NotesWindowDisabled disabled;
  CopyText(SenderName(), kSenderNameSize, name ? name : "");
  const char* list = attachments ? attachments : "";
  if (CreateTempWorkDir() == 0) {
    g_attachments = list;
    const DialogTemplate* tpl = FindDialogTemplate(kAttachmentsDialog);
    if (tpl) Ui().DialogBox(*tpl, NotesWindow(), AttachmentsProc, nullptr);
    g_attachments.clear();
    RemoveViewCopies(list);
  }
  WipeDetachedFiles(list);
  return 0;
}

}  // namespace vp
