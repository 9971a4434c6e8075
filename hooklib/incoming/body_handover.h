// Handing a decrypted or quoted memo body to the mail script through the hand-over file.
#pragma once

namespace vp {

// 1 when a line of `body` (split at LF only, so lines keep their CR) is exactly one of the
// three armour header lines followed by CR; else 0 (also for a null body).
int IsPgpMailImpl(const char* body);

// Decrypts or verifies `body` exactly as received (it is not changed), and writes the plaintext,
// without control characters other than LF and tab, and one "[Attachment: NAME]" line per entry
// of the comma-separated `attachments` (file name part, encrypted extension removed, shown
// through ShownText) to the hand-over file. The Notes window is disabled meanwhile. 0 when the
// script may read the file; -1 when the library is not initialised, decryption failed or was
// cancelled, or the file could not be written (after telling the user).
int DoDecryptBodyImpl(const char* name, char* body, const char* attachments);

// Writes `text` unchanged to the hand-over file. -1 for a null or empty text (the existing file
// stays) or when the file could not be written (after an error box).
int DoQuoteBodyImpl(const char* text);

// The hand-over file: the temporary directory and "mailbody.pgp".
const char* HandOverPath();

}  // namespace vp
