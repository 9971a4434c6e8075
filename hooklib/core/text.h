// Text services shared across the library: a tokenizer with an explicit cursor, path parts,
// and the one way text another person chose is shown.
#pragma once
#include <cstddef>
#include <string>

namespace vp {

// The longest text ShownText returns by default before its "...": short enough that a box
// holding two such texts and its own sentences is never cut by the box's limit.
constexpr size_t kShownTextLimit = 255;

// Text another person chose (an attachment or file name, a user id), made fit to be written
// into a text, a list or a box: a line feed becomes the two characters "\n", a carriage return
// "\r", a tab "\t", every other control character (below 0x20, and 0x7F) "\xNN", and the
// UTF-8 characters that change what text around them looks like (C1 controls, line and
// paragraph separators, direction overrides and isolates) "\uNNNN"; all else stays. So such a text
// is always one line and cannot add lines to a verdict or a decrypted text. Longer than `limit`
// bytes, it is cut there (never inside a UTF-8 character) and "..." follows. Null counts as empty.
std::string ShownText(const char* text, size_t limit = kShownTextLimit);
std::string ShownText(const std::string& text, size_t limit = kShownTextLimit);

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
