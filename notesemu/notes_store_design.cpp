// The store's design operations: finding design notes and copying notes between databases.
#include <cstring>
#include <filesystem>

#include "notesemu/data_paths.h"
#include "notesemu/db_info.h"
#include "notesemu/names.h"
#include "notesemu/notes_store.h"
#include "notesemu/status_codes.h"
#include "notesemu/text_list.h"
#include "platform/faults.h"

namespace notesemu {
namespace {

bool TitleMatches(const std::vector<std::string>& titles, const std::string& wanted) {
  for (const auto& title : titles) {
    size_t start = 0;
    while (true) {
      size_t bar = title.find('|', start);
      std::string alias = title.substr(start, bar == std::string::npos ? bar : bar - start);
      if (UpperAscii(alias) == wanted) return true;
      if (bar == std::string::npos) break;
      start = bar + 1;
    }
  }
  return false;
}

}  // namespace

vp::NotesStatus NotesStore::FindDesignNote(vp::DbHandle db, const char* name, uint16_t classMask,
                                           vp::NoteId* id) {
  return Guarded([&]() -> vp::NotesStatus {
    if (!name || !id) return kErrInvalidArgument;
    *id = 0;
    StoreFile& file = Database(db);
    FaultPoint("FindDesignNote", kErrIo);
    auto notes = file.Fields(classMask & ~vp::kNoteClassDocument, {"$TITLE"});
    std::string wanted = UpperAscii(name);
    for (const NoteFields& note : *notes) {
      if (note.values[0] && TitleMatches(*note.values[0], wanted)) {
        *id = note.id;
        return 0;
      }
    }
    return kErrDesignNotFound;
  });
}

vp::NotesStatus NotesStore::CopyNoteToDatabase(vp::DbHandle source, vp::NoteId id,
                                               vp::DbHandle target) {
  return Guarded([&]() -> vp::NotesStatus {
    StoreFile& from = Database(source);
    StoreFile& to = Database(target);
    FaultPoint("CopyNoteToDatabase", kErrIo);
    NoteRecord note;
    if (id == vp::kIconNoteId) id = from.FirstNoteOfClass(vp::kNoteClassIcon);
    if (id == 0 || !from.ReadNote(id, &note)) return kErrNoteNotFound;
    note.id = 0;
    to.WriteNote(note);
    return 0;
  });
}

}  // namespace notesemu
