// The recipient set's blank test and ordered insertion.
#include "hooklib/outgoing/recipient_set.h"

#include <cstring>

namespace vp {

bool RecipientSet::IsBlank(const char* name) {
  while (*name == ' ') ++name;
  return *name == 0 || *name == '\n';
}

bool RecipientSet::Add(const char* name) {
  if (IsBlank(name)) return true;
  if (std::strlen(name) > kMaxName) return false;
  names_.emplace(name);
  return true;
}

}  // namespace vp
