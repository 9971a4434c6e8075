// The tokenizer with an explicit cursor, and the file-name part of a path.
#include "hooklib/core/text.h"

#include <cstring>

namespace vp {

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
