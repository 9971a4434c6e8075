// nnotes.dll: network paths, databases, their info text, and the design refresh.
#include <string>

#include "notesemu/data_paths.h"
#include "notesemu/nnotes/win_entry.h"

using namespace nnotes;

extern "C" {

Status NNOTES_CALL OSPathNetConstruct(const char* port, const char* server, const char* file,
                                      char* path) {
  return Serialized<Status>(notesemu::kErrNoMemory,
                            [&] { return Store().BuildNetPath(port, server, file, path); });
}

Status NNOTES_CALL NSFDbOpen(const char* path, Dword* db) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] { return Store().OpenDatabase(path, db); });
}

// A new, empty database (its icon note only) at a path named as NSFDbOpen takes it; the class
// and the forcing flag are not used, and an existing file is refused.
Status NNOTES_CALL NSFDbCreate(const char* path, Word dbClass, int force) {
  (void)dbClass;
  (void)force;
  return Serialized<Status>(notesemu::kErrNoMemory, [&]() -> Status {
    if (!path) return notesemu::kErrInvalidArgument;
    return Store().CreateDatabase(notesemu::FileForNetPath(path), "");
  });
}

Status NNOTES_CALL NSFDbClose(Dword db) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] { return Store().CloseDatabase(db); });
}

Status NNOTES_CALL NSFDbCreateAndCopy(const char* source, const char* target, Word classMask,
                                      Word limit, Dword flags, Dword* db) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] {
    return Store().CreateDatabaseCopy(source, target, classMask, limit, flags, db);
  });
}

Status NNOTES_CALL NSFDbInfoGet(Dword db, char* info) {
  return Serialized<Status>(notesemu::kErrNoMemory,
                            [&] { return Store().GetDatabaseInfo(db, info); });
}

Status NNOTES_CALL NSFDbInfoSet(Dword db, const char* info) {
  return Serialized<Status>(notesemu::kErrNoMemory,
                            [&] { return Store().SetDatabaseInfo(db, info); });
}

// The Notes API's two info helpers report nothing: a field that cannot be read is empty, and
// a change that does not fit leaves the text as it was.
void NNOTES_CALL NSFDbInfoParse(const char* info, Word field, char* buffer, Word size) {
  Serialized<Status>(notesemu::kErrNoMemory, [&] {
    if (Store().ParseDatabaseInfo(info, field, buffer, size) && buffer && size) *buffer = '\0';
    return Status{0};
  });
}

void NNOTES_CALL NSFDbInfoModify(char* info, Word field, const char* value) {
  Serialized<Status>(notesemu::kErrNoMemory,
                     [&] { return Store().ModifyDatabaseInfo(info, field, value); });
}

Status NNOTES_CALL NIFFindDesignNote(Dword db, const char* name, Word classMask, Dword* id) {
  return Serialized<Status>(notesemu::kErrNoMemory,
                            [&] { return Store().FindDesignNote(db, name, classMask, id); });
}

// Only the local server's databases; flags and both callbacks are not used.
Status NNOTES_CALL DesignRefresh(const char* server, Dword db, Dword flags, void* abortCheck,
                                 void* messageProc) {
  return Serialized<Status>(notesemu::kErrNoMemory, [&] {
    notesemu::NotesStore& store = Store();
    vp::DesignRefreshEntry refresh;
    if (Status status = store.LoadApiLibrary("nnotes.dll")) return status;
    if (Status status = store.FindDesignRefresh("DesignRefresh", &refresh)) return status;
    return refresh(server, db, flags, abortCheck, messageProc);
  });
}

}  // extern "C"
