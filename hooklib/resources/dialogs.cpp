// The library's dialog templates: ids, titles, geometry and controls as a resource script has them.
#include "hooklib/resources/dialogs.h"

#include <vector>

namespace vp {
namespace {

constexpr uint32_t kModalStyle = kModalDialogStyle;

constexpr const char* kFont = "MS Sans Serif";
constexpr int kFontSize = 8;

using K = ControlKind;

constexpr uint32_t kButton = kStyleTabStop;
constexpr uint32_t kChoice = kStyleTabStop;

// The two passphrase dialogs differ only in title and id.
DialogTemplate PassphraseDialog(int id, const char* title) {
  return {id,
          title,
          187,
          49,
          kFont,
          kFontSize,
          kModalStyle,
          {
              {-1, K::kStatic, 0, 7, 7, 119, 8, "&Passphrase:"},
              {1005, K::kEdit, kEditPassword | kEditAutoHScroll | kStyleBorder | kStyleTabStop, 7,
               18, 119, 12, ""},
              {1, K::kDefPushButton, kButton, 130, 7, 50, 14, "OK"},
              {2, K::kPushButton, kButton, 130, 24, 50, 14, "Cancel"},
          }};
}

DialogTemplate EncryptionOptions() {
  return {101,
          "Encryption options",
          201,
          87,
          kFont,
          kFontSize,
          kModalStyle,
          {
              {1000, K::kRadio, kChoice, 7, 7, 106, 10, "Do &not attach own public key"},
              {1001, K::kRadio, kChoice, 7, 23, 124, 10, "Attach own public key as &text"},
              {1002, K::kRadio, kChoice, 7, 39, 138, 10, "Attach own public key as &attachment"},
              {1010, K::kCheckBox, kChoice, 7, 70, 187, 10, "&Encrypt file attachments"},
              {1, K::kDefPushButton, kButton, 144, 7, 50, 14, "&OK"},
              {2, K::kPushButton, kButton, 144, 24, 50, 14, "&Cancel"},
              {1011, K::kCheckBox, kChoice, 7, 57, 187, 10, "Encrypt &message"},
          }};
}

DialogTemplate DecryptAttachments() {
  return {102,
          "Decrypt attachments",
          280,
          120,
          kFont,
          kFontSize,
          kModalStyle,
          {
              {1001, K::kListBox,
               kListSort | kListNotify | kListExtendedSel | kListNoIntegralHeight | kStyleVScroll |
                   kStyleBorder | kStyleTabStop,
               7, 7, 180, 106, nullptr},
              {1012, K::kDefPushButton, kButton, 193, 7, 80, 14, "De&tach"},
              {1014, K::kPushButton, kButton, 193, 24, 80, 14, "&View"},
              {1013, K::kPushButton, kButton, 193, 41, 80, 14, "&Process public key(s)"},
              {1004, K::kPushButton, kButton, 193, 99, 80, 14, "E&xit"},
          }};
}

DialogTemplate ImportKeys() {
  return {106,
          "Import public key(s)",
          300,
          140,
          kFont,
          kFontSize,
          kModalStyle,
          {
              {1008, K::kListBox,
               kListSort | kListNotify | kListExtendedSel | kListNoIntegralHeight | kStyleVScroll |
                   kStyleHScroll | kStyleBorder | kStyleTabStop,
               7, 7, 220, 126, nullptr},
              {1009, K::kDefPushButton, kButton, 233, 7, 60, 14, "&Import"},
              {1010, K::kPushButton, kButton, 233, 24, 60, 14, "Import and &Sign"},
              {1004, K::kPushButton, kButton, 233, 119, 60, 14, "E&xit"},
          }};
}

DialogTemplate ChooseKey() {
  return {
      107,
      "List of possible names",
      220,
      137,
      kFont,
      kFontSize,
      kModalStyle,
      {
          {1012, K::kStatic, 0, 7, 7, 206, 22, ""},
          {1011, K::kListBox,
           kListSort | kListNotify | kStyleVScroll | kStyleHScroll | kStyleBorder | kStyleTabStop,
           7, 33, 150, 94, nullptr},
          {1, K::kDefPushButton, kButton, 163, 33, 50, 14, "OK"},
          {2, K::kPushButton, kButton, 163, 50, 50, 14, "Cancel"},
      }};
}

DialogTemplate MissingKeys() {
  return {
      108,
      "List of names without PGP public keys",
      242,
      182,
      kFont,
      kFontSize,
      kModalStyle,
      {
          {1011, K::kListBox,
           kListSort | kListNotify | kStyleVScroll | kStyleBorder | kStyleTabStop |
               kListNoIntegralHeight,
           7, 69, 171, 106, nullptr},
          {1016, K::kDefPushButton, kButton, 185, 69, 50, 14, "&Continue"},
          {-1, K::kStatic, 0, 7, 7, 228, 11,
           "The PGP public keys cannot be found for the following recipients."},
          {-1, K::kStatic, 0, 7, 22, 228, 17,
           "If you choose [Continue], you will need to manually choose the public key for each of "
           "these recipients."},
          {-1, K::kStatic, 0, 7, 43, 228, 15,
           "If you choose [Cancel], you will return to Notes where you can remove these recipients "
           "from the send list."},
          {2, K::kPushButton, kButton, 185, 86, 50, 14, "&Cancel"},
      }};
}

// The error details dialog has no system menu: only its own buttons close it.
DialogTemplate ErrorDetails() {
  return {115,
          "Error",
          245,
          153,
          kFont,
          kFontSize,
          kDsSetFont | kDsModalFrame | kWsPopup | kWsCaption,
          {
              {1021, K::kStatic, 0, 7, 7, 231, 19, "Error"},
              {1022, K::kEdit,
               kEditMultiLine | kEditReadOnly | kEditAutoVScroll | kEditAutoHScroll | kStyleBorder |
                   kStyleVScroll | kStyleHScroll | kStyleTabStop,
               7, 32, 231, 93, ""},
              {1, K::kDefPushButton, kButton, 63, 132, 50, 14, "&OK"},
              {1023, K::kPushButton, kButton, 116, 132, 65, 14, "&Copy to clipboard"},
          }};
}

// Built on first use, so a lookup made while the program is still starting finds them.
const std::vector<DialogTemplate>& AllDialogs() {
  static const std::vector<DialogTemplate> dialogs = {
      EncryptionOptions(),
      DecryptAttachments(),
      PassphraseDialog(103, "Enter PGP Signing Passphrase"),
      PassphraseDialog(104, "Enter PGP Decryption Passphrase"),
      ImportKeys(),
      ChooseKey(),
      MissingKeys(),
      ErrorDetails(),
  };
  return dialogs;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
  for (const DialogTemplate& tpl : AllDialogs())
    if (tpl.id == id) return &tpl;
  return nullptr;
}

}  // namespace vp
