// Resolving the typed recipients through Notes and filling the recipient table.
#include "hooklib/outgoing/recipients.h"

#include <cstring>

#include "hooklib/core/messages.h"
#include "hooklib/core/recipient_table.h"
#include "hooklib/core/text.h"
#include "hooklib/notesdb/abbreviated_name.h"
#include "hooklib/notesdb/notes_error.h"

namespace vp {
namespace {

constexpr size_t kMaxRecipientText = 1023;

// A text list handle of the resolution, unlocked and freed at the end if still held.
struct HeldList {
  MemHandle handle = 0;
  bool locked = false;
  ~HeldList() {
    if (!handle) return;
    if (locked) Notes().Unlock(handle);
    Notes().Free(handle);
  }
};

// Adds the pieces of `text` to the typed list, which is locked at `*list` on entry and exit;
// 0 or the failing status.
NotesStatus AddTypedNames(HeldList& typed, void** list, uint16_t* size, char* text) {
  NotesApi& api = Notes();
  char* cursor = nullptr;
  for (char* piece = NextToken(text, ";", &cursor); piece; piece = NextToken(text, ";", &cursor)) {
    uint16_t count = 0;
    NotesStatus status = api.ListEntryCount(*list, true, &count);
    if (status) return status;
    api.Unlock(typed.handle);  // adding may move the list
    typed.locked = false;
    status = api.ListAddEntry(typed.handle, true, size, count, piece,
                              static_cast<uint16_t>(std::strlen(piece)));
    if (status) return status;
    status = api.Lock(typed.handle, list);
    if (status) return status;
    typed.locked = true;
  }
  return 0;
}

}  // namespace

int ResolveRecipients(const char* server, const char* recipients) {
  NotesApi& api = Notes();
  RecipientSet set;
  if (!server) server = "";
  if (!recipients) recipients = "";
  if (std::strlen(recipients) > kMaxRecipientText) {
    ShowError("The recipient list is longer than %zu characters and cannot be resolved.",
              kMaxRecipientText);
    return -1;
  }
  HeldList typed, spare, resolved;
  uint16_t typedSize = 0, spareSize = 0;
  void* typedList = nullptr;
  void* spareList = nullptr;
  NotesStatus status = api.ListAllocate(0, 0, true, &typed.handle, &typedList, &typedSize);
  typed.locked = typed.handle != 0;
  if (!status) status = api.ListAllocate(0, 0, true, &spare.handle, &spareList, &spareSize);
  spare.locked = spare.handle != 0;
  if (status) {
    ShowNotesError(status);
    return -1;
  }

  char buffer[kMaxRecipientText + 1];
  std::memcpy(buffer, recipients, std::strlen(recipients) + 1);
  status = AddTypedNames(typed, &typedList, &typedSize, buffer);
  if (status) {
    ShowNotesError(status);
    return -1;
  }

  uint16_t unused = 0;
  MemHandle typedHandle = typed.handle;
  typed.handle = 0;  // handed over to Notes, whatever the call returns
  status =
      api.ResolveEnteredNames(typedHandle, typedSize, &resolved.handle, &unused, 1, spare.handle);
  void* names = nullptr;
  uint16_t count = 0;
  if (!status) status = api.Lock(resolved.handle, &names);
  resolved.locked = status == 0 && resolved.handle;
  if (!status) status = api.ListEntryCount(names, true, &count);
  for (uint16_t i = 0; !status && i < count; ++i) {
    const char* text = nullptr;
    uint16_t length = 0;
    status = api.ListGetText(names, true, i, &text, &length);
    if (status) break;
    if (length > kMaxRecipientText) {
      ShowError("A resolved recipient name is longer than %zu characters.", kMaxRecipientText);
      return -1;
    }
    std::memcpy(buffer, text, length);
    buffer[length] = 0;
    if (!set.Add(buffer)) {
      ShowError("A recipient name is longer than %zu characters: %.60s...", RecipientSet::kMaxName,
                buffer);
      return -1;
    }
  }
  if (status) {
    ShowNotesError(status);
    return -1;
  }
  return BuildRecipientTable(server, set);
}

int BuildRecipientTable(const char* server, RecipientSet& set) {
  NotesApi& api = Notes();
  char path[kNotesPathSize];
  api.BuildNetPath(nullptr, server, "names.nsf", path);
  DbHandle directory = 0;
  NotesStatus status = api.OpenDatabase(path, &directory);
  if (status) {
    ShowNotesError(status);
    set.Clear();
    return -1;
  }
  int result = ExpandGroups(directory, set);
  if (result == 0) {
    RecipientTable& table = Recipients();
    table.count = 0;
    for (auto it = set.begin(); it != set.end(); ++it) {
      char abbreviated[256];  // held names fit 255 characters
      AbbreviateNotesName(it->c_str(), abbreviated, sizeof abbreviated);
      SetRecipient(table.count, abbreviated);
      if (++table.count >= kMaxRecipients) {
        ShowError("Maximum number of recipients exceeded!");
        result = -1;
        break;
      }
    }
  }
  set.Clear();
  api.CloseDatabase(directory);
  return result;
}

}  // namespace vp
