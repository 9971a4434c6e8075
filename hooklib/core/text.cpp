// The tokenizer with an explicit cursor, and the file-name part of a path.
#include "hooklib/core/text.h"

#include <cstring>

#include "platform/files.h"

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
  const char* last = strrchr(path, kPathSeparator);
  return last ? last + 1 : path;
}

char* GetFileNamePart(char* path) {
  return const_cast<char*>(GetFileNamePart(static_cast<const char*>(path)));
}

}  // namespace vp
