// The store's design operations: finding and copying design notes, and the design refresh.
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

// The classes a design refresh replaces.
constexpr uint16_t kDesignClasses =
    vp::kNoteClassForm | vp::kNoteClassView | vp::kNoteClassDesign | vp::kNoteClassHelpIndex |
    vp::kNoteClassHelp | vp::kNoteClassFilter | vp::kNoteClassField | vp::kNoteClassReplFormula;

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

vp::NotesStatus NotesStore::LoadApiLibrary(const char* libraryName) {
  if (!libraryName || UpperAscii(libraryName) != "NNOTES.DLL") return kErrLibraryNotFound;
  if (vp::FaultHit("notes.LoadApiLibrary")) return kErrLibraryNotFound;
  return 0;
}

vp::NotesStatus NotesStore::FindDesignRefresh(const char* entryName,
                                              vp::DesignRefreshEntry* entry) {
  if (!entry) return kErrInvalidArgument;
  *entry = nullptr;
  if (!entryName || std::strcmp(entryName, "DesignRefresh") != 0) return kErrEntryNotFound;
  if (vp::FaultHit("notes.FindDesignRefresh")) return kErrEntryNotFound;
  *entry = [this](const char* server, vp::DbHandle db, uint32_t, void*, void*) {
    return DesignRefresh(server, db);
  };
  return 0;
}

vp::NotesStatus NotesStore::DesignRefresh(const char* server, vp::DbHandle db) {
  return Guarded([&]() -> vp::NotesStatus {
    StoreFile& target = Database(db);
    FaultPoint("DesignRefresh", kErrIo);
    (void)server;
    std::string inherits = UpperAscii(InfoField(target.Info(), vp::kInfoInheritsFrom));
    if (inherits.empty()) return kErrNoTemplate;
    std::filesystem::path folder = std::filesystem::path(target.Path()).parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
      std::string ext = UpperAscii(entry.path().extension().string());
      if (!entry.is_regular_file(ec) || (ext != ".NSF" && ext != ".NTF")) continue;
      if (std::filesystem::equivalent(entry.path(), target.Path(), ec)) continue;
      std::unique_ptr<StoreFile> source;
      try {
        source = std::make_unique<StoreFile>(entry.path().string());
      } catch (const StoreFailure&) {
        continue;  // not a database of ours
      }
      if (UpperAscii(InfoField(source->Info(), vp::kInfoTemplateName)) != inherits) continue;
      Savepoint sp(target.Db());
      for (const auto& [id, cls] : target.ListNotes(kDesignClasses)) target.DeleteNote(id);
      for (const auto& [id, cls] : source->ListNotes(kDesignClasses)) {
        NoteRecord note;
        if (!source->ReadNote(id, &note)) continue;
        note.id = 0;
        target.WriteNote(note);
      }
      sp.Commit();
      return 0;
    }
    return kErrTemplateNotFound;
  });
}

}  // namespace notesemu
