// Inside nnotes.dll the store is itself the Notes API library: asked for NNOTES.DLL it has it,
// and its DesignRefresh works on the store's own database handles.
#include <cctype>
#include <string>

#include "notesemu/design_refresh.h"
#include "notesemu/notes_store.h"
#include "notesemu/status_codes.h"
#include "platform/faults.h"

namespace notesemu {

vp::NotesStatus NotesStore::LoadApiLibrary(const char* libraryName) {
  if (!libraryName || vp::FaultHit("notes.LoadApiLibrary")) return kErrLibraryNotFound;
  std::string lower;
  for (const char* c = libraryName; *c; ++c)
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(*c))));
  if (lower != "nnotes.dll" && lower != "nnotes") return kErrLibraryNotFound;
  apiLibrary_ = this;
  return 0;
}

vp::NotesStatus NotesStore::FindDesignRefresh(const char* entryName,
                                              vp::DesignRefreshEntry* entry) {
  if (!entry) return kErrInvalidArgument;
  *entry = nullptr;
  if (!apiLibrary_ || !entryName || std::string(entryName) != "DesignRefresh" ||
      vp::FaultHit("notes.FindDesignRefresh"))
    return kErrEntryNotFound;
  *entry = [this](const char* server, vp::DbHandle db, uint32_t, void*, void*) -> vp::NotesStatus {
    if (server && *server) return kErrInvalidArgument;
    std::string file;
    if (vp::NotesStatus status = DatabaseFile(db, &file)) return status;
    return RefreshDesign(file);
  };
  return 0;
}

vp::NotesStatus NotesStore::DatabaseFile(vp::DbHandle db, std::string* file) {
  return Guarded([&]() -> vp::NotesStatus {
    *file = Database(db).Path();
    return 0;
  });
}

}  // namespace notesemu
