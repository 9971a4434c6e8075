// Expanding the groups of the Notes directory in the recipient set.
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "hooklib/core/messages.h"
#include "hooklib/notesdb/notes_error.h"
#include "hooklib/outgoing/recipients.h"

namespace vp {
namespace {

// The escaped, upper-cased form of a group name as the lookup formula quotes it; false when it
// is longer than kMaxEscapedGroupName.
bool EscapeGroupName(const char* name, char (&out)[kMaxEscapedGroupName + 1]) {
  size_t n = 0;
  for (const char* p = name; *p; ++p) {
    // Backslashes are escaped too, so a name holding one is looked up as it is written.
    size_t need = (*p == '"' || *p == '\\') ? 2 : 1;
    if (n + need > kMaxEscapedGroupName) return false;
    if (need == 2) out[n++] = '\\';
    char c = *p;
    out[n++] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  out[n] = 0;
  return true;
}

void RefuseGroupName(const char* name) {
  ShowError("The name is too long to be looked up as a group: %.60s...", name);
}

NotesStatus RememberMatch(void* context, const SearchMatch& match) {
  if (match.flags & kSearchMatch) *static_cast<NoteId*>(context) = match.id;
  return 0;
}

// Adds the "Members" of an open group note to the set. 0, kGroupExpansionFailed after a Notes
// failure, -1 for a member name that does not fit.
int AddMembers(NoteHandle note, const char* group, RecipientSet& set) {
  NotesApi& api = Notes();
  uint16_t count = 0;
  NotesStatus status = api.ItemTextListCount(note, "Members", &count);
  for (uint16_t i = 0; !status && i < count; ++i) {
    char member[256];
    uint16_t length = 0;
    status = api.ItemTextListEntry(note, "Members", i, member, sizeof member, &length);
    if (status == kNotesTextCut) {
      ShowError("A member of the group %.60s is longer than 255 characters.", group);
      return -1;
    }
    if (!status) {
      member[length] = 0;
      set.Add(member);
    }
  }
  if (status) {
    ShowNotesError(status);
    return kGroupExpansionFailed;
  }
  return 0;
}

}  // namespace

int FindGroupDocument(DbHandle directory, const char* name, NoteId* id) {
  NotesApi& api = Notes();
  *id = 0;
  char escaped[kMaxEscapedGroupName + 1];
  if (!EscapeGroupName(name, escaped)) {
    RefuseGroupName(name);
    return -1;
  }
  char formula[256];
  int length = std::snprintf(formula, sizeof formula,
                             "SELECT(Form = \"Group\" & @Uppercase(ListName) = \"%s\")", escaped);
  MemHandle compiled = 0;
  NotesStatus status = api.CompileFormula(nullptr, 0, formula, static_cast<uint16_t>(length),
                                          &compiled, nullptr, nullptr);
  if (status) {
    ShowNotesError(status);
    return -1;
  }
  NoteId found = 0;
  status = api.Search(directory, compiled, 0, kNoteClassDocument, RememberMatch, &found);
  api.Free(compiled);
  if (status) {
    ShowNotesError(status);
    return -1;
  }
  *id = found;
  return 0;
}

int ExpandGroups(DbHandle directory, RecipientSet& set) {
  NotesApi& api = Notes();
  std::unordered_set<NoteId> expanded;  // group documents whose members are in the set
  bool again = true;
  while (again) {
    again = false;
    RecipientSet::Position previous = set.end();  // end: the walk is at the head
    RecipientSet::Position at = set.begin();
    while (at != set.end()) {
      const char* name = at->c_str();
      if (std::strncmp(name, "CN=", 3) == 0) {
        previous = at++;
        continue;
      }
      char escaped[kMaxEscapedGroupName + 1];
      if (!EscapeGroupName(name, escaped)) {
        RefuseGroupName(name);
        return -1;
      }
      NoteId id = 0;
      if (FindGroupDocument(directory, name, &id) != 0) {
        // A pass that has expanded a group starts over, so the failed name is looked up again;
        // a pass that fails before expanding anything ends the expansion.
        if (again) break;
        return kGroupExpansionFailed;
      }
      if (id == 0) {
        previous = at++;
        continue;
      }
      if (!expanded.count(id)) {
        NoteHandle note = 0;
        NotesStatus status = api.OpenNote(directory, id, 0, &note);
        if (status) {
          ShowNotesError(status);
          if (again) break;
          return kGroupExpansionFailed;
        }
        status = api.ItemInfo(note, "Members", nullptr, nullptr, nullptr, nullptr);
        status &= kNotesStatusMask;
        // Only a missing item means "not a list of members"; a failing read is not taken for
        // one, or a group would silently stand in the recipients as if it were a person.
        if (status && status != kNotesItemNotFound) {
          api.CloseNote(note);
          ShowNotesError(status);
          return kGroupExpansionFailed;
        }
        if (status == kNotesItemNotFound) {  // not a list of members: the name stays
          api.CloseNote(note);
          previous = at++;
          continue;
        }
        int result = AddMembers(note, name, set);
        api.CloseNote(note);
        if (result) return result;
        expanded.insert(id);
        again = true;
      }
      // Members sorting after the predecessor are visited in this pass, the rest in the next.
      set.Remove(at);
      at = previous == set.end() ? set.begin() : std::next(previous);
    }
  }
  return 0;
}

}  // namespace vp
