// Message strings: loaded from the string table at attach and kept for the process's life.
#include "hooklib/core/strings.h"

#include <cstdlib>
#include <cstring>

#include "hooklib/core/settings.h"
#include "hooklib/resources/strings.h"

namespace vp {
namespace {

constexpr int kFirstMessage = 145;
constexpr int kLastMessage = 177;
constexpr const char* kNotFound = "<Resource not found>";

char* g_messages[kLastMessage - kFirstMessage + 1];

}  // namespace

char* LoadResString(int id) {
  char buffer[1024];
  const char* text = FindStringResource(id);
  CopyText(buffer, text && *text ? text : kNotFound);
  return strdup(buffer);
}

void LoadMessageStrings() {
  for (int id = kFirstMessage; id <= kLastMessage; ++id) {
    char*& slot = g_messages[id - kFirstMessage];
    if (!slot) slot = LoadResString(id);
  }
}

const char* MessageString(int id) {
  if (id < kFirstMessage || id > kLastMessage) return kNotFound;
  const char* text = g_messages[id - kFirstMessage];
  return text ? text : kNotFound;
}

}  // namespace vp
