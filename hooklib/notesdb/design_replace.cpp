// Replacing a database's design with a template's.
#include "hooklib/notesdb/design_replace.h"

#include "hooklib/core/messages.h"
#include "hooklib/notesdb/notes_error.h"
#include "hooklib/notesdb/notes_handles.h"
#include "platform/notes_api.h"

namespace vp {
namespace {

int Failed(NotesStatus status) {
  ShowNotesError(status);
  return -1;
}

}  // namespace

int ReplaceDatabaseDesignImpl(const char* templatePath, const char* databasePath) {
  if (!templatePath || !databasePath) return -1;
  NotesApi& notes = Notes();
  DatabaseScope templateDb, target;
  NoteScope icon;
  char templateInfo[kDbInfoSize] = {};
  char targetInfo[kDbInfoSize] = {};
  char templateName[kDbInfoSize] = {};
  NotesStatus s;
  if ((s = notes.OpenDatabase(templatePath, &templateDb.handle)) ||
      (s = notes.GetDatabaseInfo(templateDb.handle, templateInfo))) {
    return Failed(s);
  }
  notes.ParseDatabaseInfo(templateInfo, kInfoTemplateName, templateName, sizeof templateName);

  if ((s = notes.OpenDatabase(databasePath, &target.handle)) ||
      (s = notes.GetDatabaseInfo(target.handle, targetInfo)) ||
      (s = notes.ModifyDatabaseInfo(targetInfo, kInfoInheritsFrom, templateName)) ||
      (s = notes.SetDatabaseInfo(target.handle, targetInfo))) {
    return Failed(s);
  }
  if ((s = notes.OpenNote(target.handle, kIconNoteId, 0, &icon.handle)) ||
      (s = notes.SetTextItem(icon.handle, "$TITLE", targetInfo, 0xFFFF)) ||
      (s = notes.UpdateNote(icon.handle, 0))) {
    return Failed(s);
  }

  // Bound at run time, as the Notes API library offers it; the library stays loaded.
  if (notes.LoadApiLibrary("NNOTES.DLL")) {
    ShowError("%s", "Unable to load NNOTES.DLL");
    return -1;
  }
  DesignRefreshEntry refresh;
  if (notes.FindDesignRefresh("DesignRefresh", &refresh) || !refresh) {
    ShowError("%s", "Missing DLL function 'DesignRefresh'");
    return -1;
  }
  if ((s = refresh("", target.handle, 0, nullptr, nullptr))) return Failed(s);
  return 0;
}

}  // namespace vp
