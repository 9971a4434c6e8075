// Texts of the embedded store's statuses.
#include "notesemu/status_codes.h"

namespace notesemu {

const char* StatusText(vp::NotesStatus status) {
  switch (status & vp::kNotesStatusMask) {
    case 0:
      return "No error";
    case kErrFileNotFound:
      return "File does not exist";
    case kErrFileExists:
      return "File already exists";
    case kErrNotDatabase:
      return "File is not a Notes database";
    case kErrIo:
      return "Unable to read or write the database file";
    case kErrPathTooLong:
      return "Path name is too long";
    case kErrBusy:
      return "Database is in use by another process";
    case kErrNoMemory:
      return "Insufficient memory";
    case kErrInvalidHandle:
      return "Invalid handle";
    case kErrHandleLocked:
      return "Memory handle is locked";
    case kErrNotLocked:
      return "Memory handle is not locked";
    case kErrInvalidBlock:
      return "Invalid item or value block";
    case kErrInvalidArgument:
      return "Invalid argument";
    case kErrTextCut:
      return "Text does not fit the buffer";
    case kErrItemNotFound:
      return "Note item not found";
    case kErrNoteNotFound:
      return "Invalid or nonexistent document";
    case kErrItemTooBig:
      return "Item value is too large";
    case kErrNotTextList:
      return "Item is not a text list";
    case kErrListIndex:
      return "List index is out of range";
    case kErrListFull:
      return "Text list is too large";
    case kErrDesignNotFound:
      return "Design note not found";
    case kErrInfoFull:
      return "Database info text is full";
    case kErrFormulaSyntax:
      return "Formula syntax error";
    case kErrFormulaUnterminated:
      return "Unterminated string in formula";
    case kErrFormulaFunction:
      return "Unknown @function in formula";
    case kErrFormulaType:
      return "Incorrect data type for operator in formula";
    case kErrFormulaTooLong:
      return "Formula is too long";
    case kErrNotFormula:
      return "Handle is not a compiled formula";
    case kErrFormulaTooDeep:
      return "Formula is nested too deeply";
    case kErrNameTooLong:
      return "Name is too long";
    case kErrRichText:
      return "Rich text record is damaged";
    case kErrStructureType:
      return "Unknown structure type";
    case kErrStructureRoom:
      return "No room left for the structure";
    case kErrLibraryNotFound:
      return "Notes API library not found";
    case kErrEntryNotFound:
      return "Notes API entry point not found";
    case kErrNoTemplate:
      return "Database does not inherit its design from a template";
    case kErrTemplateNotFound:
      return "Design template not found";
    default:
      return "Unknown Notes error";
  }
}

}  // namespace notesemu
