// The error details dialog: a caption line and GnuPG's own text, copyable to the clipboard.
#include <string>

#include "hooklib/core/messages.h"
#include "hooklib/resources/dialogs.h"

namespace vp {
namespace {

constexpr int kDialogErrorDetails = 115;
constexpr int kCaptionLine = 1021;
constexpr int kDetails = 1022;
constexpr int kCopy = 1023;

struct DetailsTexts {
  const char* caption;
  const char* details;
};

intptr_t ErrorDetailsProc(Dialog& dialog, DialogMessage message, int controlId, void* param) {
  auto* texts = static_cast<DetailsTexts*>(param);
  if (message == DialogMessage::kInit) {
    CenterWindow(dialog.Window());
    dialog.SetText(kCaptionLine, texts->caption);
    dialog.SetText(kDetails, texts->details);
    return 1;
  }
  if (controlId == kIdOk) {
    dialog.End(0);
    return 1;
  }
  if (controlId == kCopy) {
    // A clipboard that cannot be opened or filled leaves the dialog as it is.
    Ui().SetClipboardText(dialog.Window(), texts->details);
    return 1;
  }
  return 0;
}

}  // namespace

int ShowErrorDetails(const char* caption, const char* details) {
  const DialogTemplate* tpl = FindDialogTemplate(kDialogErrorDetails);
  if (!tpl) return 0;
  DetailsTexts texts{caption ? caption : "", details ? details : ""};
  return static_cast<int>(Ui().DialogBox(*tpl, NotesWindow(), ErrorDetailsProc, &texts));
}

}  // namespace vp
