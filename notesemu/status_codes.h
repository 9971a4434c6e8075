// The statuses the embedded store returns, and their texts.
#pragma once
#include "platform/notes_api.h"

namespace notesemu {

enum : vp::NotesStatus {
  kErrFileNotFound = 0x0103,
  kErrFileExists = 0x0104,
  kErrNotDatabase = 0x0105,
  kErrIo = 0x0106,  // also what an injected storage failure returns
  kErrPathTooLong = 0x0107,
  kErrBusy = 0x0108,
  kErrNoMemory = 0x0110,  // also what an injected memory failure returns
  kErrInvalidHandle = 0x0120,
  kErrHandleLocked = 0x0121,
  kErrNotLocked = 0x0122,
  kErrInvalidBlock = 0x0123,
  kErrInvalidArgument = 0x0124,
  kErrTextCut = vp::kNotesTextCut,
  kErrItemNotFound = vp::kNotesItemNotFound,
  kErrNoteNotFound = 0x0226,
  kErrItemTooBig = 0x0227,
  kErrNotTextList = 0x0228,
  kErrListIndex = 0x0229,
  kErrListFull = 0x022A,
  kErrDesignNotFound = 0x0230,
  kErrInfoFull = 0x0232,
  kErrFormulaSyntax = 0x0301,
  kErrFormulaUnterminated = 0x0302,
  kErrFormulaFunction = 0x0303,
  kErrFormulaType = 0x0304,
  kErrFormulaTooLong = 0x0305,
  kErrNotFormula = 0x0306,
  kErrFormulaTooDeep = 0x0307,
  kErrNameTooLong = 0x0401,
  kErrRichText = 0x0501,
  kErrStructureType = 0x0502,
  kErrStructureRoom = 0x0503,
  kErrLibraryNotFound = 0x0601,
  kErrEntryNotFound = 0x0602,
  kErrNoTemplate = 0x0603,
  kErrTemplateNotFound = 0x0604,
};

// The text of a status (masked to its low 14 bits); a generic text for unknown codes.
const char* StatusText(vp::NotesStatus status);

}  // namespace notesemu
