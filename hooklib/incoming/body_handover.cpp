// The hand-over file between the library and the mail script: decrypted and quoted bodies.
#include "hooklib/incoming/body_handover.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hooklib/core/messages.h"
#include "hooklib/core/sender_name.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "hooklib/core/temp_files.h"
#include "hooklib/core/text.h"
#include "hooklib/incoming/attachment_files.h"
#include "hooklib/incoming/decrypt_verify.h"
#include "platform/files.h"

namespace vp {
namespace {

const char* const kArmourHeaders[] = {
    "-----BEGIN PGP MESSAGE-----\r",
    "-----BEGIN PGP SIGNED MESSAGE-----\r",
    "-----BEGIN PGP SIGNATURE-----\r",
};

char g_handover_path[256];

// The cleaning of the text handed to the script: control characters other than line feed and
// tab go (a stray carriage return, an escape sequence, a NUL); everything the signer wrote in any
// script stays. The body GnuPG checks is never cleaned: a signature holds only on the bytes as
// they were signed.
void CleanHandOver(std::string* text) {
  size_t out = 0;
  for (char ch : *text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c == '\n' || c == '\t' || (c >= 0x20 && c != 0x7F)) (*text)[out++] = ch;
  }
  std::fill(text->begin() + out, text->end(), '\0');
  text->resize(out);
}

// "" when the temporary folder is refused.
std::string WantedHandOverPath() {
  const char* dir = TempDirQuietly();
  if (!dir[0]) return "";
  return std::string(dir) + kPathSeparator + "mailbody.pgp";
}

// True (after telling the user) when the temporary folder is refused or too long for the
// hand-over name.
bool HandOverPathTooLong() {
  if (HandOverPath()[0]) return false;
  std::string wanted = WantedHandOverPath();
  if (wanted.empty()) {
    GetTempDir();  // tells why the folder was refused
  } else {
    ShowError("Unable to open %s for writing.", wanted.c_str());
  }
  return true;
}

// Scrubs the hand-over text in memory once it has been written.
struct ScrubbedText {
  std::string text;
  ~ScrubbedText() { std::fill(text.begin(), text.end(), '\0'); }
};

void AppendAttachmentLines(std::string* out, const char* attachments) {
  size_t size = strlen(attachments) + 1;
  char* copy = static_cast<char*>(malloc(size));
  if (!copy) {
    ShowError(
        "Insufficient memory for allocating string buffer of size %d.\nFile attachment details "
        "will not be included in decrypted email.",
        static_cast<int>(size - 1));
    return;
  }
  memcpy(copy, attachments, size);
  char* cursor = nullptr;
  for (char* entry = NextToken(copy, ",", &cursor); entry; entry = NextToken(copy, ",", &cursor)) {
    std::string name = GetFileNamePart(entry);
    StripEncryptedExtension(name);
    // The sender chose the name: it must not add lines after a text reported as signed.
    *out += "[Attachment: " + ShownText(name) + "]\n";
  }
  free(copy);
}

// The whole text goes into a fresh private file that then takes the hand-over name; a short
// write (a full disk) fails the call instead of handing over a cut text.
int WriteHandOver(const std::string& text) {
  return WritePrivateFile(HandOverPath(), text.data(), text.size());
}

}  // namespace

const char* HandOverPath() {
  std::string wanted = WantedHandOverPath();
  // A cut name would be another file: the script would read an old one or none.
  if (!wanted.empty() && wanted.size() < sizeof g_handover_path) {
    memcpy(g_handover_path, wanted.c_str(), wanted.size() + 1);
  } else {
    g_handover_path[0] = '\0';
  }
  return g_handover_path;
}

int IsPgpMailImpl(const char* body) {
  if (!body) return 0;
  std::string copy(body);
  char* cursor = nullptr;
  for (char* line = NextToken(copy.data(), "\n", &cursor); line;
       line = NextToken(copy.data(), "\n", &cursor)) {
    for (const char* header : kArmourHeaders) {
      if (strcmp(line, header) == 0) return 1;
    }
  }
  return 0;
}

int DoDecryptBodyImpl(const char* name, char* body, const char* attachments) {
  if (!CheckInitialised()) return -1;
  NotesWindowDisabled disabled;
  CopyText(SenderName(), kSenderNameSize, name ? name : "");
  if (!body || HandOverPathTooLong()) return -1;

  char* text = nullptr;
  size_t length = 0;
  int rc = DecryptMessage(body, &text, &length);
  if (rc != 0) {
    // A failure after the hand-over (a temporary file that would not wipe) leaves plaintext here.
    if (text) memset(text, 0, length);
    free(text);
    return -1;
  }
  WipeFile(HandOverPath());
  if (!text) return 0;

  ScrubbedText handOver;
  handOver.text.assign(text, length);
  memset(text, 0, length);
  free(text);
  CleanHandOver(&handOver.text);
  const char* names = attachments ? attachments : "";
  // An empty text has no last character: the attachment lines then start the file.
  if (!handOver.text.empty() && handOver.text.back() != '\n' && names[0]) {
    handOver.text += "\n\n";
  }
  AppendAttachmentLines(&handOver.text, names);
  return WriteHandOver(handOver.text);
}

int DoQuoteBodyImpl(const char* text) {
  NotesWindowDisabled disabled;
  if (!text || !text[0] || HandOverPathTooLong()) return -1;
  WipeFile(HandOverPath());
  return WriteHandOver(text);
}

}  // namespace vp
