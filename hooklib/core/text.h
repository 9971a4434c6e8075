// Text services shared across the library: a tokenizer with an explicit cursor, path parts.
#pragma once
#include <string>

namespace vp {

// Returns the next token of `text`, writing a zero after it; null at the end (the cursor is
// then reset to null). The cursor alone carries the position; start it at null.
char* NextToken(char* text, const char* delimiters, char** cursor);

// The part of `path` after its last "\\" or "/", on both builds (the whole path when it has
// neither).
const char* GetFileNamePart(const char* path);
char* GetFileNamePart(char* path);

// True when `name` can be joined to a folder to name a file in it: not empty, not "." or "..",
// and without a separator.
bool IsPlainFileName(const char* name);

// Calls fn(token) for each token of a copy of `text` (null counts as empty); the caller's text
// stays whole.
template <typename Fn>
void ForEachToken(const char* text, const char* delimiters, Fn fn) {
  std::string copy(text ? text : "");
  char* cursor = nullptr;
  for (char* token = NextToken(copy.data(), delimiters, &cursor); token;
       token = NextToken(copy.data(), delimiters, &cursor)) {
    fn(token);
  }
}

}  // namespace vp
