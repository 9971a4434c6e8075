// Text-mode line ends.
#include "hooklib/outgoing/line_ends.h"

namespace vp {

std::string ToCrLf(const char* text) {
  std::string out;
  if (!text) return out;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n') out += '\r';
    out += *p;
  }
  return out;
}

size_t CrLfToLf(char* text, size_t length) {
  size_t o = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == '\r' && i + 1 < length && text[i + 1] == '\n') continue;
    text[o++] = text[i];
  }
  return o;
}

}  // namespace vp
