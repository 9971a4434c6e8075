// Making directory databases and their Person and Group documents, and dumping databases.
#include "notesemu/directory_tools.h"

#include <cstdio>
#include <filesystem>

#include "notesemu/db_info.h"
#include "notesemu/names.h"
#include "notesemu/notes_store.h"
#include "notesemu/rich_text.h"
#include "notesemu/status_codes.h"
#include "notesemu/text_list.h"

namespace notesemu {
namespace {

constexpr const char* kDirectoryInfo = "Directory\n\nVeilpostDirectory\n";

std::string Absolute(const std::string& path) {
  std::error_code ec;
  auto abs = std::filesystem::absolute(path, ec);
  return ec ? path : abs.string();
}

std::string Failed(const std::string& path, vp::NotesStatus status) {
  return path + ": " + StatusText(status);
}

// Appends items to an open note, remembering the first failure.
struct NoteWriter {
  NotesStore& store;
  vp::NoteHandle note;
  vp::NotesStatus status = 0;

  void Text(const char* name, const std::string& value) {
    if (!status) {
      status = store.AppendItem(note, vp::kItemSummary, name, vp::kTypeText, value.data(),
                                static_cast<uint32_t>(value.size()));
    }
  }
  void List(const char* name, const std::vector<std::string>& values, uint16_t flags) {
    if (status) return;
    std::vector<uint8_t> list = BuildTextList(values, false);
    status = list.empty() ? vp::NotesStatus{kErrListFull}
                          : store.AppendItem(note, flags, name, vp::kTypeTextList, list.data(),
                                             static_cast<uint32_t>(list.size()));
  }
};

vp::NotesStatus WriteDocument(NotesStore& store, vp::DbHandle db,
                              const std::function<void(NoteWriter&)>& fill) {
  vp::NoteHandle note = 0;
  vp::NotesStatus status = store.CreateNote(db, vp::kNoteClassDocument, &note);
  if (status) return status;
  NoteWriter writer{store, note};
  fill(writer);
  status = writer.status ? writer.status : store.UpdateNote(note, 0);
  store.CloseNote(note);
  return status;
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20 || c == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out + "\"";
}

const char* ClassName(uint16_t cls) {
  switch (cls) {
    case vp::kNoteClassDocument:
      return "document";
    case vp::kNoteClassForm:
      return "form";
    case vp::kNoteClassView:
      return "view";
    case vp::kNoteClassIcon:
      return "icon";
    case vp::kNoteClassAcl:
      return "acl";
    default:
      return "design";
  }
}

std::string DescribeValue(const Item& item) {
  std::string out;
  if (item.type == vp::kTypeText || item.type == vp::kTypeTextList) {
    std::vector<std::string> texts = ItemTexts(item.value);
    for (size_t i = 0; i < texts.size(); ++i) out += (i ? "; " : "") + Quote(texts[i]);
    return (item.type == vp::kTypeText ? "text: " : "text list: ") + out;
  }
  if (item.type == vp::kTypeComposite) {
    return "rich text, records:\n" +
           DescribeRecords(item.value.data() + 2, item.value.size() - 2, "    ");
  }
  char head[48];
  std::snprintf(head, sizeof head, "type 0x%04X, %zu bytes:", item.type, item.value.size() - 2);
  out = head;
  for (size_t i = 2; i < item.value.size() && i < 66; ++i) {
    std::snprintf(head, sizeof head, " %02X", item.value[i]);
    out += head;
  }
  return out;
}

}  // namespace

std::string CheckListEntry(const char* what, const std::string& text) {
  if (text.empty()) return std::string(what) + " is empty";
  if (text.size() > 255) return std::string(what) + " is longer than 255 characters: " + text;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return std::string(what) + " holds a control character";
  }
  return "";
}

std::string CheckPersonName(const std::string& name) {
  std::string error = CheckListEntry("the person's name", name);
  if (!error.empty()) return error;
  if (name.find('/') == std::string::npos && name.find('=') == std::string::npos) return "";
  if (name.rfind("CN=", 0) != 0 || !IsCanonicalName(name)) {
    return "give the person's name in canonical form, e.g. CN=Bob Example/O=Acme: " + name;
  }
  size_t start = 0;
  while (start <= name.size()) {
    size_t slash = name.find('/', start);
    std::string part = name.substr(start, slash == std::string::npos ? slash : slash - start);
    size_t eq = part.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == part.size() || !HasComponentKey(part)) {
      return "the component \"" + part + "\" of " + name + " is not KEY=value";
    }
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return "";
}

std::string CreateDirectoryDatabase(const std::string& path) {
  // A server's folder comes into being with its first database.
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(Absolute(path)).parent_path(), ignored);
  NotesStore store;
  vp::NotesStatus status = store.CreateDatabase(Absolute(path), kDirectoryInfo);
  return status ? Failed(path, status) : "";
}

std::string AddDirectoryEntries(const std::string& path, const std::vector<PersonEntry>& people,
                                const std::vector<GroupEntry>& groups) {
  for (const auto& p : people) {
    std::string error = CheckPersonName(p.fullName);
    if (error.empty() && !p.shortName.empty())
      error = CheckListEntry("the short name", p.shortName);
    if (error.empty() && !p.mail.empty()) {
      error = CheckListEntry("the mail address", p.mail);
      if (error.empty() && p.mail.find('@') == std::string::npos) {
        error = "the mail address has no @: " + p.mail;
      }
    }
    if (error.empty() && !p.firstName.empty())
      error = CheckListEntry("the first name", p.firstName);
    if (error.empty() && !p.lastName.empty()) error = CheckListEntry("the last name", p.lastName);
    if (!error.empty()) return error;
  }
  for (const auto& g : groups) {
    std::string error = CheckListEntry("the group name", g.name);
    for (const auto& m : g.members) {
      if (error.empty()) error = CheckListEntry("a member name", m);
    }
    if (!error.empty()) return error;
  }

  NotesStore store;
  vp::DbHandle db = 0;
  vp::NotesStatus status = store.OpenDatabase(Absolute(path).c_str(), &db);
  if (status) return Failed(path, status);
  status = store.BeginBatch(db);
  for (const auto& p : people) {
    if (status) break;
    status = WriteDocument(store, db, [&](NoteWriter& w) {
      w.Text("Form", "Person");
      w.Text("Type", "Person");
      std::vector<std::string> full = {p.fullName};
      w.List("FullName", full, vp::kItemSummary | vp::kItemNames);
      if (!p.shortName.empty()) w.List("ShortName", {p.shortName}, vp::kItemSummary);
      if (!p.mail.empty()) w.Text("InternetAddress", p.mail);
      if (!p.firstName.empty()) w.Text("FirstName", p.firstName);
      if (!p.lastName.empty()) w.Text("LastName", p.lastName);
    });
  }
  for (const auto& g : groups) {
    if (status) break;
    status = WriteDocument(store, db, [&](NoteWriter& w) {
      w.Text("Form", "Group");
      w.Text("Type", "Group");
      w.Text("ListName", g.name);
      w.Text("GroupType", "0");
      if (g.membersItem) w.List("Members", g.members, vp::kItemSummary | vp::kItemNames);
    });
  }
  if (status == kErrListFull) {
    store.EndBatch(db, false);
    store.CloseDatabase(db);
    return path + ": too many members for one group (the list exceeds 65535 bytes)";
  }
  vp::NotesStatus end = store.EndBatch(db, status == 0);
  if (!status) status = end;
  store.CloseDatabase(db);
  return status ? Failed(path, status) : "";
}

std::string DumpDatabase(const std::string& path, std::string* dump) {
  try {
    StoreFile file(Absolute(path));
    std::string info = file.Info();
    std::string out = "database " + path + "\n";
    out += "  title: " + Quote(InfoField(info, vp::kInfoTitle)) + "\n";
    out += "  template name: " + Quote(InfoField(info, vp::kInfoTemplateName)) + "\n";
    out += "  inherits from: " + Quote(InfoField(info, vp::kInfoInheritsFrom)) + "\n";
    for (const auto& [id, cls] : file.ListNotes(vp::kNoteClassAll | 0x8000)) {
      NoteRecord note;
      if (!file.ReadNote(id, &note)) continue;
      char head[80];
      std::snprintf(head, sizeof head, "note 0x%08X class 0x%04X (%s)\n", id, cls, ClassName(cls));
      out += head;
      for (const Item& item : note.items) {
        std::snprintf(head, sizeof head, " [flags 0x%04X] ", item.flags);
        std::string value = DescribeValue(item);
        if (value.empty() || value.back() != '\n') value += "\n";
        out += "  " + item.name + head + value;
      }
    }
    *dump = std::move(out);
    return "";
  } catch (const StoreFailure& failure) {
    return Failed(path, failure.status);
  }
}

}  // namespace notesemu
