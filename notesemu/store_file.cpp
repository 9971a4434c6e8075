// The SQLite schema of a database file and the reads and writes of notes and info.
#include "notesemu/store_file.h"

#include <algorithm>
#include <filesystem>

#include "notesemu/status_codes.h"
#include "notesemu/text_list.h"

namespace fs = std::filesystem;

namespace notesemu {
namespace {

constexpr const char* kFormat = "veilpost-notes 1";

constexpr const char* kSchema = R"sql(
CREATE TABLE store(key TEXT PRIMARY KEY, value) WITHOUT ROWID;
CREATE TABLE notes(id INTEGER PRIMARY KEY, class INTEGER NOT NULL, flags INTEGER NOT NULL);
CREATE TABLE items(note INTEGER NOT NULL, seq INTEGER NOT NULL, name TEXT NOT NULL,
                   key TEXT NOT NULL, type INTEGER NOT NULL, flags INTEGER NOT NULL,
                   value BLOB NOT NULL, PRIMARY KEY(note, seq)) WITHOUT ROWID;
CREATE INDEX items_by_key ON items(key, note);
)sql";

std::string Upper(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

std::vector<uint8_t> WithType(uint16_t type, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> value(data.size() + 2);
  PutU16(value.data(), type);
  std::copy(data.begin(), data.end(), value.begin() + 2);
  return value;
}

}  // namespace

StoreFile::StoreFile(const std::string& path, bool create)
    : path_(path), db_(std::make_unique<Connection>(path, create)) {}

StoreFile::StoreFile(const std::string& path) : StoreFile(path, false) {
  try {
    Statement st(*db_, "SELECT value FROM store WHERE key = 'format'");
    if (!st.Step() || st.Text(0) != kFormat) Fail(kErrNotDatabase);
  } catch (const StoreFailure& f) {
    Fail(f.status == kErrBusy ? kErrBusy : kErrNotDatabase);
  }
}

void StoreFile::Create(const std::string& path, const std::string& info,
                       const std::function<void(StoreFile&)>& fill) {
  std::error_code ec;
  if (fs::exists(path, ec)) Fail(kErrFileExists);
  std::string temp = path + ".vpnew";
  fs::remove(temp, ec);
  try {
    {
      StoreFile file(temp, true);
      file.CreateSchema(info);
      fill(file);
    }
    if (fs::exists(path, ec)) Fail(kErrFileExists);
    fs::rename(temp, path, ec);
    if (ec) Fail(kErrIo);
  } catch (...) {
    fs::remove(temp, ec);
    throw;
  }
}

void StoreFile::CreateSchema(const std::string& info) {
  Savepoint sp(*db_);
  db_->Exec(kSchema);
  Statement(*db_, "INSERT INTO store VALUES('format', ?)").Bind(1, kFormat).Step();
  Statement(*db_, "INSERT INTO store VALUES('info', ?)").Bind(1, info).Step();
  sp.Commit();
}

std::string StoreFile::Info() {
  Statement st(*db_, "SELECT value FROM store WHERE key = 'info'");
  return st.Step() ? st.Text(0) : std::string();
}

void StoreFile::SetInfo(const std::string& info) {
  Statement(*db_, "INSERT OR REPLACE INTO store VALUES('info', ?)").Bind(1, info).Step();
  ++generation_;
}

bool StoreFile::ReadNote(vp::NoteId id, NoteRecord* note) {
  Statement head(*db_, "SELECT class, flags FROM notes WHERE id = ?");
  head.Bind(1, static_cast<int64_t>(id));
  if (!head.Step()) return false;
  note->id = id;
  note->noteClass = static_cast<uint16_t>(head.Int(0));
  note->flags = static_cast<uint16_t>(head.Int(1));
  note->items.clear();
  Statement items(*db_, "SELECT name, type, flags, value FROM items WHERE note = ? ORDER BY seq");
  items.Bind(1, static_cast<int64_t>(id));
  uint32_t serial = 0;
  while (items.Step()) {
    Item item;
    item.name = items.Text(0);
    item.type = static_cast<uint16_t>(items.Int(1));
    item.flags = static_cast<uint16_t>(items.Int(2));
    item.value = WithType(item.type, items.Blob(3));
    item.serial = ++serial;
    note->items.push_back(std::move(item));
  }
  return true;
}

vp::NoteId StoreFile::FirstNoteOfClass(uint16_t noteClass) {
  Statement st(*db_, "SELECT MIN(id) FROM notes WHERE class = ?");
  st.Bind(1, noteClass);
  return st.Step() && !st.IsNull(0) ? static_cast<vp::NoteId>(st.Int(0)) : 0;
}

vp::NoteId StoreFile::WriteNote(const NoteRecord& note) {
  Savepoint sp(*db_);
  vp::NoteId id = note.id;
  if (id == 0) {
    Statement next(*db_, "SELECT COALESCE(MAX(id), 0) + 4 FROM notes");
    next.Step();
    id = static_cast<vp::NoteId>(next.Int(0));
  }
  Statement(*db_, "INSERT OR REPLACE INTO notes VALUES(?, ?, ?)")
      .Bind(1, static_cast<int64_t>(id))
      .Bind(2, note.noteClass)
      .Bind(3, note.flags)
      .Step();
  Statement(*db_, "DELETE FROM items WHERE note = ?").Bind(1, static_cast<int64_t>(id)).Step();
  Statement insert(*db_, "INSERT INTO items VALUES(?, ?, ?, ?, ?, ?, ?)");
  int seq = 0;
  for (const Item& item : note.items) {
    FaultPoint("write-item", kErrIo);
    insert.Reset();
    insert.Bind(1, static_cast<int64_t>(id))
        .Bind(2, ++seq)
        .Bind(3, item.name)
        .Bind(4, Upper(item.name))
        .Bind(5, item.type)
        .Bind(6, item.flags)
        .BindBlob(7, item.value.data() + 2, item.value.size() - 2)
        .Step();
  }
  sp.Commit();
  ++generation_;
  return id;
}

void StoreFile::DeleteNote(vp::NoteId id) {
  Savepoint sp(*db_);
  Statement(*db_, "DELETE FROM items WHERE note = ?").Bind(1, static_cast<int64_t>(id)).Step();
  Statement(*db_, "DELETE FROM notes WHERE id = ?").Bind(1, static_cast<int64_t>(id)).Step();
  sp.Commit();
  ++generation_;
}

std::vector<std::pair<vp::NoteId, uint16_t>> StoreFile::ListNotes(uint16_t mask) {
  std::vector<std::pair<vp::NoteId, uint16_t>> out;
  Statement st(*db_, "SELECT id, class FROM notes WHERE (class & ?) != 0 ORDER BY id");
  st.Bind(1, mask);
  while (st.Step()) {
    out.emplace_back(static_cast<vp::NoteId>(st.Int(0)), static_cast<uint16_t>(st.Int(1)));
  }
  return out;
}

std::shared_ptr<const FieldSnapshot> StoreFile::Fields(uint16_t mask,
                                                       const std::vector<std::string>& fields) {
  std::string key = std::to_string(mask);
  for (const auto& f : fields) key += "|" + f;
  int64_t version = db_->DataVersion();
  auto it = cache_.find(key);
  if (it != cache_.end() && it->second.generation == generation_ &&
      it->second.dataVersion == version) {
    return it->second.snapshot;
  }
  std::string sql =
      "SELECT n.id, n.class, i.key, i.type, i.value FROM notes n LEFT JOIN items i "
      "ON i.note = n.id AND i.key IN (";
  for (size_t i = 0; i < fields.size(); ++i) sql += i ? ",?" : "?";
  sql += ") WHERE (n.class & ?) != 0 ORDER BY n.id, i.seq";
  Statement st(*db_, sql.c_str());
  int param = 1;
  for (const auto& f : fields) st.Bind(param++, f);
  st.Bind(param, mask);

  FieldSnapshot snapshot;
  std::vector<std::vector<bool>> seen;
  while (st.Step()) {
    auto id = static_cast<vp::NoteId>(st.Int(0));
    if (snapshot.empty() || snapshot.back().id != id) {
      NoteFields nf;
      nf.id = id;
      nf.noteClass = static_cast<uint16_t>(st.Int(1));
      nf.texts.resize(fields.size());
      snapshot.push_back(std::move(nf));
      seen.emplace_back(fields.size(), false);
    }
    if (st.IsNull(2)) continue;
    size_t f = std::find(fields.begin(), fields.end(), st.Text(2)) - fields.begin();
    if (f >= fields.size() || seen.back()[f]) continue;  // the first item of a name counts
    seen.back()[f] = true;
    snapshot.back().texts[f] = ItemTexts(WithType(static_cast<uint16_t>(st.Int(3)), st.Blob(4)));
  }
  for (size_t n = 0; n < snapshot.size(); ++n) {
    for (size_t f = 0; f < fields.size(); ++f) {
      snapshot[n].values.push_back(seen[n][f] ? &snapshot[n].texts[f] : nullptr);
    }
  }
  auto shared = std::make_shared<const FieldSnapshot>(std::move(snapshot));
  cache_[key] = Cached{generation_, version, shared};
  return shared;
}

}  // namespace notesemu
