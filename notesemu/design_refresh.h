// The stand-in's design refresh: a database takes over the design of the template it inherits
// from. It is built into the stand-in's Notes API library (libnnotes.so), where the system
// finds it by name.
#pragma once
#include <string>

#include "platform/notes_api.h"

namespace notesemu {

// The classes a design refresh replaces: every design class, not documents, the icon note or
// the access control list.
constexpr uint16_t kDesignClasses =
    vp::kNoteClassForm | vp::kNoteClassView | vp::kNoteClassDesign | vp::kNoteClassHelpIndex |
    vp::kNoteClassHelp | vp::kNoteClassFilter | vp::kNoteClassField | vp::kNoteClassReplFormula;

// Replaces every design note of the database file `target` with those of the database (.nsf or
// .ntf) in the same folder whose template name equals the target's "inherits from" field,
// ignoring case, in one transaction. kErrNoTemplate when the target inherits from nothing,
// kErrTemplateNotFound when no database has that template name.
vp::NotesStatus RefreshDesign(const std::string& target);

}  // namespace notesemu
