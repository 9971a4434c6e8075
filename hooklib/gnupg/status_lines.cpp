// The status lines the system acts on.
#include "hooklib/gnupg/status_lines.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "hooklib/gnupg/text_utils.h"

namespace vp {
namespace {

// GnuPG's error code for a bad passphrase, in the low 16 bits of its error values.
constexpr unsigned long kBadPassphraseCode = 11;

// Status keywords whose second field carries an error value.
const char* const kErrorStatuses[] = {"ERROR ", "FAILURE "};

bool LineHasStatus(const char* line, const char* keyword) {
  if (!StartsWith(line, kStatusPrefix)) return false;
  const char* rest = line + strlen(kStatusPrefix);
  size_t n = strlen(keyword);
  return strncmp(rest, keyword, n) == 0 &&
         (rest[n] == '\0' || rest[n] == ' ' || rest[n] == '\r' || rest[n] == '\n');
}

// Calls fn on each line of a text without changing it; stops when fn returns true.
template <typename Fn>
bool AnyLine(const char* text, Fn fn) {
  if (!text) return false;
  const char* p = text;
  while (*p) {
    size_t n = strcspn(p, "\r\n");
    if (n > 0 && fn(std::string(p, n).c_str())) return true;
    p += n;
    p += strspn(p, "\r\n");
  }
  return false;
}

}  // namespace

bool IsWrongPassphraseLine(const char* line) {
  if (StartsWith(line, "[GNUPG:] BAD_PASSPHRASE")) return true;
  if (!StartsWith(line, kStatusPrefix)) return false;
  const char* rest = line + strlen(kStatusPrefix);
  for (const char* status : kErrorStatuses) {
    if (!StartsWith(rest, status)) continue;
    // "<keyword> <location> <code>": the code is the last field.
    const char* code = strrchr(rest, ' ');
    if (!code) return false;
    char* end = nullptr;
    unsigned long value = strtoul(code + 1, &end, 10);
    if (end == code + 1) return false;
    return (value & 0xFFFF) == kBadPassphraseCode;
  }
  return false;
}

bool RunReportsWrongPassphrase(const char* result) {
  return AnyLine(result, [](const char* line) { return IsWrongPassphraseLine(line); });
}

bool HasStatus(const char* result, const char* keyword) {
  return AnyLine(result, [keyword](const char* line) { return LineHasStatus(line, keyword); });
}

}  // namespace vp
