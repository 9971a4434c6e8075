// Small text utilities of the GnuPG engine.
#include "hooklib/gnupg/text_utils.h"

#include <cctype>
#include <cstring>

namespace vp {
namespace {

bool MatchesIgnoringCase(const char* text, const char* word, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (text[i] == '\0') return false;
    if (tolower(static_cast<unsigned char>(text[i])) !=
        tolower(static_cast<unsigned char>(word[i])))
      return false;
  }
  return true;
}

}  // namespace

int StartsWith(const char* text, const char* prefix) {
  if (!text || !prefix) return 0;
  return strncmp(text, prefix, strlen(prefix)) == 0 ? 1 : 0;
}

void GetColonField(const char* line, int n, char* dest, int capacity) {
  if (!line || !*line || n < 1 || capacity <= 0) return;
  const char* p = line;
  for (int i = 0; i < n; ++i) {
    p = strchr(p + 1, ':');
    if (!p) return;
  }
  const char* start = p + 1;
  const char* end = strchr(start, ':');
  if (!end) return;
  size_t len = static_cast<size_t>(end - start);
  if (len > static_cast<size_t>(capacity - 1)) len = static_cast<size_t>(capacity - 1);
  memcpy(dest, start, len);
  dest[len] = '\0';
}

char* NormalizeNotesName(char* name) {
  if (!name) return name;
  char work[256];
  size_t len = strnlen(name, sizeof work - 1);
  memcpy(work, name, len);
  work[len] = '\0';
  if (!strchr(work, '<')) {
    if (char* slash = strchr(work, '/')) *slash = '\0';
  }
  const size_t smtpLen = strlen("@smtp");
  const size_t siteLen = strlen(kSiteDomainSuffix);
  char out[256];
  size_t o = 0;
  for (const char* p = work; *p;) {
    if (MatchesIgnoringCase(p, "@smtp", smtpLen)) {
      p += smtpLen;
    } else if (MatchesIgnoringCase(p, kSiteDomainSuffix, siteLen)) {
      p += siteLen;
    } else {
      out[o++] = *p++;
    }
  }
  out[o] = '\0';
  memcpy(name, out, o + 1);
  return name;
}

char* GetDomainPart(char* text) {
  if (!text) return nullptr;
  char* at = strchr(text, '@');
  if (!at) return nullptr;
  char* domain = at + 1;
  if (char* gt = strchr(domain, '>')) *gt = '\0';
  return domain;
}

}  // namespace vp
