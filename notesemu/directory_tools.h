// Tools that make and show Notes directories on real store files: people, groups, a dump.
//
// Paths are ordinary file paths (relative to the current folder). Every function returns "" on
// success or a one-line message saying what was wrong; nothing is written then.
#pragma once
#include <string>
#include <vector>

namespace notesemu {

struct PersonEntry {
  std::string fullName;     // canonical ("CN=Bob Example/O=Acme") or a flat name ("Bob")
  std::string shortName;    // optional
  std::string mail;         // optional internet address
  std::string firstName{};  // optional
  std::string lastName{};   // optional
};

struct GroupEntry {
  std::string name;
  std::vector<std::string> members;  // none: the group document gets no "Members" item
  bool membersItem = true;           // false: no "Members" item even when `members` is empty
};

// Creates a new, empty directory database, and the folder it lies in; refuses an existing path.
std::string CreateDirectoryDatabase(const std::string& path);

// Adds people and groups to the directory at `path` in one transaction (all or nothing).
std::string AddDirectoryEntries(const std::string& path, const std::vector<PersonEntry>& people,
                                const std::vector<GroupEntry>& groups);

// A readable dump of the database info, every note and every item, in note and item order.
std::string DumpDatabase(const std::string& path, std::string* dump);

// Checks a name as the tools accept it; "" when fine.
std::string CheckPersonName(const std::string& name);
std::string CheckListEntry(const char* what, const std::string& text);

}  // namespace notesemu
