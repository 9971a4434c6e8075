// The recipient table of the memo being sent, and the found flags beside it.
#pragma once
#include <cstdint>

namespace vp {

constexpr int kMaxRecipients = 8192;

struct RecipientTable {
  char* entries[kMaxRecipients];  // owned heap texts (malloc), null when empty
  int32_t count;
  uint32_t found[kMaxRecipients];
};

RecipientTable& Recipients();
// Empties every slot without freeing (attach: the slots hold nothing yet).
void ClearRecipientTable();
// Frees every non-empty slot (detach).
void FreeRecipientTable();
// Stores a heap copy of `name` at `index`, freeing what the slot held.
void SetRecipient(int index, const char* name);

}  // namespace vp
