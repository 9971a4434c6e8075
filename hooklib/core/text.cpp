// The tokenizer with an explicit cursor, the file-name part of a path, and shown text.
#include "hooklib/core/text.h"

#include <cstdio>
#include <cstring>

namespace vp {

namespace {

// The Unicode code point of the UTF-8 sequence at text[i] when it is a C1 control character
// (U+0080 to U+009F), a line or paragraph separator (U+2028, U+2029) or a direction override or
// isolate (U+202A to U+202E, U+2066 to U+2069), which reorder what follows them on screen
// ("invoice\u202Efdp.exe" reads as "invoiceexe.pdf"); 0 otherwise. `length` receives the sequence's
// length.
unsigned HiddenControl(const std::string& text, size_t i, size_t* length) {
  const auto byte = [&](size_t k) {
    return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u;
  };
  if (byte(i) == 0xC2 && byte(i + 1) >= 0x80 && byte(i + 1) <= 0x9F) {
    *length = 2;
    return byte(i + 1);
  }
  if (byte(i) != 0xE2) return 0;
  unsigned point = 0x2000 | ((byte(i + 1) & 0x3F) << 6) | (byte(i + 2) & 0x3F);
  bool wellFormed = (byte(i + 1) & 0xC0) == 0x80 && (byte(i + 2) & 0xC0) == 0x80;
  if (!wellFormed ||
      !((point >= 0x2028 && point <= 0x202E) || (point >= 0x2066 && point <= 0x2069)))
    return 0;
  *length = 3;
  return point;
}

}  // namespace

std::string ShownText(const std::string& text, size_t limit) {
  std::string shown;
  char escaped[12];
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = 1;
    if (c == '\n') {
      shown += "\\n";
    } else if (c == '\r') {
      shown += "\\r";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      snprintf(escaped, sizeof escaped, "\\x%02X", c);
      shown += escaped;
    } else if (unsigned point = HiddenControl(text, i, &length); point != 0) {
      snprintf(escaped, sizeof escaped, "\\u%04X", point);
      shown += escaped;
      i += length - 1;
    } else {
      shown += static_cast<char>(c);
    }
  }
  if (shown.size() <= limit) return shown;
  size_t cut = limit;
  // A UTF-8 continuation byte (10xxxxxx) belongs to the character before it.
  while (cut > 0 && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80) --cut;
  return shown.substr(0, cut) + "...";
}

std::string ShownText(const char* text, size_t limit) {
  return ShownText(std::string(text ? text : ""), limit);
}

char* NextToken(char* text, const char* delimiters, char** cursor) {
  if (!text) {
    *cursor = nullptr;
    return nullptr;
  }
  char* start = text;
  if (*cursor) {
    if (**cursor == '\0') {
      *cursor = nullptr;
      return nullptr;
    }
    start = *cursor;
  }
  start += strspn(start, delimiters);
  if (*start == '\0') {
    *cursor = nullptr;
    return nullptr;
  }
  char* end = start + strcspn(start, delimiters);
  if (*end) {
    *end = '\0';
    *cursor = end + 1;
  } else {
    *cursor = end;
  }
  return start;
}

const char* GetFileNamePart(const char* path) {
  // Both separators on both builds: Windows takes "/" as one too, so a name "x/../../y" never
  // reaches outside the folder it is joined to there, and a name made there reads alike here.
  const char* part = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/') part = p + 1;
  }
  return part;
}

bool IsPlainFileName(const char* name) {
  return name && name[0] && strcmp(name, ".") != 0 && strcmp(name, "..") != 0 &&
         !strpbrk(name, "\\/");
}

char* GetFileNamePart(char* path) {
  return const_cast<char*>(GetFileNamePart(static_cast<const char*>(path)));
}

}  // namespace vp
