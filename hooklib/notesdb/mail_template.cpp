// Building the plug-in's mail template from a standard one.
#include "hooklib/notesdb/mail_template.h"

#include <cstring>

#include "hooklib/core/messages.h"
#include "hooklib/notesdb/notes_error.h"
#include "hooklib/notesdb/notes_handles.h"
#include "hooklib/notesdb/plugin_subform.h"
#include "platform/notes_api.h"

namespace vp {
namespace {

// "PGP " + a title must fit the 127 characters of a parsed field.
constexpr size_t kMaxTitle = kDbInfoSize - 1 - 4;

int Failed(NotesStatus status, const char* step, const char* subject = nullptr) {
  ShowNotesError(status, step, subject);
  return -1;
}

}  // namespace

int CreateVeilpostTemplateImpl(const char* subformDatabase, const char* standardTemplate,
                               const char* newTemplate) {
  if (!subformDatabase || !standardTemplate || !newTemplate) return -1;
  NotesApi& notes = Notes();
  DatabaseScope newDb, subformDb;
  NoteScope icon, subform;
  NotesStatus s =
      notes.CreateDatabaseCopy(standardTemplate, newTemplate, kNoteClassAll, 0, 0, &newDb.handle);
  if (s) return Failed(s, "copying the mail template to", newTemplate);

  char info[kDbInfoSize] = {};
  char title[kDbInfoSize] = {};
  char templateName[kDbInfoSize] = {};
  if ((s = notes.GetDatabaseInfo(newDb.handle, info))) {
    return Failed(s, "reading the information of", newTemplate);
  }
  notes.ParseDatabaseInfo(info, kInfoTitle, title, sizeof title);
  notes.ParseDatabaseInfo(info, kInfoTemplateName, templateName, sizeof templateName);

  if (std::strncmp(templateName, "StdR", 4) != 0) {
    ShowError("%s", "Mail template name does not begin with 'StdR'!");
    return -1;
  }
  std::memcpy(templateName, "PGP", 3);
  if ((s = notes.ModifyDatabaseInfo(info, kInfoTemplateName, templateName))) {
    return Failed(s, "renaming the template", templateName);
  }
  if (std::strncmp(title, "Mail (", 6) != 0) {
    ShowError("%s", "Mail template title does not begin with 'Mail ('!");
    return -1;
  }
  if (std::strlen(title) > kMaxTitle) {
    ShowError("The mail template title is longer than %d characters.", static_cast<int>(kMaxTitle));
    return -1;
  }
  char newTitle[kDbInfoSize] = "PGP ";
  std::strcat(newTitle, title);
  if ((s = notes.ModifyDatabaseInfo(info, kInfoTitle, newTitle))) {
    return Failed(s, "renaming the template", newTitle);
  }
  if ((s = notes.SetDatabaseInfo(newDb.handle, info))) {
    return Failed(s, "writing the information of", newTemplate);
  }

  if ((s = notes.OpenNote(newDb.handle, kIconNoteId, 0, &icon.handle)) ||
      (s = notes.SetTextItem(icon.handle, "$TITLE", info, 0xFFFF)) ||
      (s = notes.UpdateNote(icon.handle, 0))) {
    return Failed(s, "setting the title of the icon note of", newTemplate);
  }

  NoteId id = 0;
  if ((s = notes.OpenDatabase(subformDatabase, &subformDb.handle))) {
    return Failed(s, "opening", subformDatabase);
  }
  if ((s = notes.FindDesignNote(subformDb.handle, kPluginSubform, kNoteClassAll, &id))) {
    return Failed(s, "finding the subform in", subformDatabase);
  }
  if ((s = notes.CopyNoteToDatabase(subformDb.handle, id, newDb.handle))) {
    return Failed(s, "copying the subform to", newTemplate);
  }
  if ((s = notes.FindDesignNote(newDb.handle, kPluginSubform, kNoteClassAll, &id)) ||
      (s = notes.OpenNote(newDb.handle, id, 0, &subform.handle))) {
    return Failed(s, "opening the copied subform in", newTemplate);
  }

  for (const char* form : {"Memo", "Reply", "Reply With History"}) {
    if (InsertPluginSubform(newDb.handle, form)) return -1;
  }
  return 0;
}

}  // namespace vp
