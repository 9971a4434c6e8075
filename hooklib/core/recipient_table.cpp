// The per-process recipient table.
#include "hooklib/core/recipient_table.h"

#include <cstdlib>
#include <cstring>

namespace vp {

RecipientTable& Recipients() {
  static RecipientTable table;
  return table;
}

void ClearRecipientTable() {
  RecipientTable& t = Recipients();
  for (char*& e : t.entries) e = nullptr;
  for (uint32_t& f : t.found) f = 0;
  t.count = 0;
}

void FreeRecipientTable() {
  RecipientTable& t = Recipients();
  for (char*& e : t.entries) {
    free(e);
    e = nullptr;
  }
  t.count = 0;
}

void SetRecipient(int index, const char* name) {
  if (index < 0 || index >= kMaxRecipients) return;
  char*& slot = Recipients().entries[index];
  free(slot);
  slot = strdup(name ? name : "");
}

}  // namespace vp
