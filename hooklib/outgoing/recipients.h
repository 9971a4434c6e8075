// Recipient resolution: the memo's typed recipients, resolved by Notes and with the groups of the
// server's directory expanded, become the recipient table (abbreviated names, byte-wise order).
//
// Every failure is shown to the user where it happens ("Notes error: %s" with the Notes text,
// "Maximum number of recipients exceeded!", or a refusal of over-long input) and is then only
// reported upward. After any outcome the working set is empty and every Notes handle of the
// resolution is released; the table's count is meaningful only after success.
#pragma once
#include "hooklib/outgoing/recipient_set.h"
#include "platform/notes_api.h"

namespace vp {

// The result of a failed group expansion.
constexpr int kGroupExpansionFailed = 65535;

// Resolves `recipients` (names separated by ";", at most 1023 characters) through the directory
// of `server` ("" the local one) into the recipient table. 0 on success; -1 on failure or refused
// input; kGroupExpansionFailed when a Notes failure arose while expanding groups.
int ResolveRecipients(const char* server, const char* recipients);

// Opens the server's directory, expands the groups in `set`, and fills the table with the
// abbreviated names (at most 8191). Empties `set` on every path. 0, -1 or kGroupExpansionFailed.
int BuildRecipientTable(const char* server, RecipientSet& set);

// Replaces every group name in `set` by its members, nested groups included, until no group is
// left. A group met again (a cycle) is dropped, its members being in the set already, so a cycle
// yields the union of its non-group members. Names beginning with "CN=" are never looked up; a
// group document without a "Members" item leaves its name in place.
// 0; kGroupExpansionFailed after a Notes failure; -1 when a name is too long to look up.
int ExpandGroups(DbHandle directory, RecipientSet& set);

// The id of the group document named `name` (ignoring case) in the directory, 0 when none; when
// several match, the last the search reports. 0, or -1 after a message (Notes failure, or a name
// whose escaped form would not fit the selection formula).
int FindGroupDocument(DbHandle directory, const char* name, NoteId* id);

// The longest group name (after escaping) that fits the lookup formula in 255 characters.
constexpr size_t kMaxEscapedGroupName = 205;

}  // namespace vp
